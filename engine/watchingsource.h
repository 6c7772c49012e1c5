#pragma once

#include "samplesource.h"

// Samples where the window system reports device motion: sleeps until
// something happens. One sample per burst of device motion (motion within
// motionIntervalMs of a sample taken on motion is one more sample when that
// time is up), none while nothing moves, and a slow look every warpCheckMs
// for a pointer that another program moved, which makes no device motion.
// After a jump it reads at once where the pointer went.
class WatchingSource : public SampleSource
{
public:
    using SampleSource::SampleSource;

    // A look this often finds a pointer warped by another program.
    static constexpr qint64 warpCheckMs = 240;
    // While the device keeps moving, the pointer is read at most this
    // often, whatever the mouse's report rate: about once a frame of a
    // 60 Hz screen, so a cursor that runs onto an edge is seldom drawn
    // there. Each read is a round trip that also costs the window system.
    // A motion after a pause is read at once.
    static constexpr qint64 motionIntervalMs = 16;

    unsigned long turn(qint64 nowMs, bool lookNow, SampleSink &sink) override;
    void wait(unsigned long us) override;

private:
    bool motionSeen = false; // by the last wait
    bool motionWakes = true; // whether the next wait ends on motion
    bool followUp = false;   // the position after a jump is still to be read
    qint64 lastLookAt = longAgoMs;
    qint64 lastMotionSampleAt = longAgoMs; // the last look taken on motion
};
