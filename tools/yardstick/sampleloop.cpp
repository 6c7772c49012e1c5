#include "sampleloop.h"

void SampleLoop::stop()
{
    stopping.store(true, std::memory_order_relaxed);
}

void SampleLoop::run()
{
    while (!stopping.load(std::memory_order_relaxed)) {
        emit sampleWanted();
        emit readoutDue();
        QThread::usleep(100);
    }
}
