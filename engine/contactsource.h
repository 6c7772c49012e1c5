#pragma once

#include "samplesource.h"

// Samples where the pointer is seen only on the watch's sensor strips: each
// contact is a sample, and between contacts there is nothing to look at, so
// the engine sleeps until the next one, with no timer at all.
class ContactSource : public SampleSource
{
public:
    using SampleSource::SampleSource;

    unsigned long turn(qint64 nowMs, bool lookNow, SampleSink &sink) override;
    void wait(unsigned long us) override;
};
