#include "pollingsource.h"

#include <QThread>
#include <algorithm>

unsigned long PollingSource::turn(qint64 now, bool lookNow, SampleSink &sink)
{
    const PointerReading before = last;
    const bool firstSample = sampledAt == longAgoMs;
    if (sample(now, sink) || lookNow || firstSample || last.x != before.x || last.y != before.y) {
        stillSamples = 0;
        idlePauseUs = activePauseUs;
        return activePauseUs;
    }
    // Standing still: lengthen the pause step by step to its bound.
    if (++stillSamples > stillSamplesBeforeBackoff)
        idlePauseUs = std::min(idlePauseUs * 2, idlePauseBoundUs);
    return idlePauseUs;
}

void PollingSource::wait(unsigned long us)
{
    // Never longer than idlePauseBoundUs: a stop or a wish to look now is
    // seen soon enough without a wake-up of its own.
    QThread::usleep(std::min(us, idlePauseBoundUs));
}
