#include "velocityupdater.h"

#include <cstdlib>

VelocityUpdater::VelocityUpdater(EngineState &state) : QThread(nullptr), state(state) {}

VelocityUpdater::~VelocityUpdater() = default;

void VelocityUpdater::sample()
{
    if (state.samplesStored.load(std::memory_order_acquire) == 0)
        return;
    const int x = state.cursorX;
    if (seeded)
        deltaX = std::abs(x - lastX);
    seeded = true;
    lastX = x;
}

void VelocityUpdater::run()
{
    while (state.threadsRunning) {
        sample();
        QThread::msleep(intervalMs);
    }
    state.threadEnds();
}
