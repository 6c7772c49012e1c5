#pragma once

#include "samplesource.h"

// Samples where the window system reports no device motion: reads the
// pointer every activePauseUs while it moves, less and less often once it
// stands still, up to idlePauseBoundUs. Costly while the mouse moves; the
// watching source is the usual one.
class PollingSource : public SampleSource
{
public:
    using SampleSource::SampleSource;

    static constexpr unsigned long activePauseUs = 100;
    static constexpr unsigned long idlePauseBoundUs = 8000;
    // Unchanged samples before the pause starts to grow.
    static constexpr unsigned stillSamplesBeforeBackoff = 64;

    unsigned long turn(qint64 nowMs, bool lookNow, SampleSink &sink) override;
    void wait(unsigned long us) override;

private:
    unsigned stillSamples = 0;
    unsigned long idlePauseUs = activePauseUs;
};
