#pragma once

#include "pointerwatch.h"

#include <QtGlobal>

// Where the engine's samples go: the one entry point that applies the rules
// to a sample, whichever source took it.
class SampleSink
{
public:
    virtual ~SampleSink();
    // A fresh reading, with the device motion since the last one (0 where
    // none is reported); returns whether the pointer was moved.
    virtual bool onSample(const PointerReading &reading, double pushX, double pushY,
                          qint64 nowMs) = 0;
};

// How the engine thread comes by its samples: by watching device motion and
// sleeping in between, or by polling. Engine thread only, but for the
// pointer watch's wake().
class SampleSource
{
public:
    explicit SampleSource(PointerWatch &pointer) : watch(pointer) {}
    virtual ~SampleSource();
    SampleSource(const SampleSource &) = delete;
    SampleSource &operator=(const SampleSource &) = delete;

    // One turn: takes a sample if one is due (at once if `lookNow`) and
    // hands it to `sink`; returns how long to wait before the next turn, in
    // microseconds.
    virtual unsigned long turn(qint64 nowMs, bool lookNow, SampleSink &sink) = 0;
    // A turn that asks for this waits until something happens.
    static constexpr unsigned long untilWoken = ~0ul;
    // Waits that long, or less where something happens meanwhile.
    virtual void wait(unsigned long us) = 0;
    // The last sample's time, or a time long past when there was none.
    qint64 lastSampleAt() const { return sampledAt; }

    PointerWatch &pointer() { return watch; }

protected:
    // Reads the pointer and hands the reading on; returns whether the sink
    // moved the pointer. A failed read hands nothing on.
    bool sample(qint64 nowMs, SampleSink &sink);

    static constexpr qint64 longAgoMs = -(qint64(1) << 40);
    PointerWatch &watch;
    qint64 sampledAt = longAgoMs;
    PointerReading last; // the last reading handed on
};
