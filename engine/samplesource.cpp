#include "samplesource.h"

SampleSink::~SampleSink() = default;

SampleSource::~SampleSource() = default;

bool SampleSource::sample(qint64 nowMs, SampleSink &sink)
{
    PointerReading r;
    if (!watch.readPointer(r))
        return false;
    double dx = 0, dy = 0;
    watch.takeDeviceMotion(dx, dy);
    sampledAt = nowMs;
    last = r;
    return sink.onSample(r, dx, dy, nowMs);
}
