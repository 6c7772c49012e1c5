#include "watchingsource.h"

#include <algorithm>

unsigned long WatchingSource::turn(qint64 now, bool lookNow, SampleSink &sink)
{
    const bool want = lookNow || followUp || now - lastLookAt >= warpCheckMs ||
                      (motionSeen && now - lastMotionSampleAt >= motionIntervalMs);
    if (want) {
        // A read that fails counts as a look too: the next comes when it
        // would have, never at once over and over.
        if (motionSeen)
            lastMotionSampleAt = now;
        motionSeen = false;
        lastLookAt = now;
        followUp = sample(now, sink);
    }
    if (followUp)
        return 0; // look where the cursor went, at once
    qint64 wait = lastLookAt + warpCheckMs - now;
    // Right after a sample taken on motion, sleep out the interval deaf to
    // motion (more is likely to come); motion meanwhile is read once when
    // it is up. Otherwise motion wakes at once, and nothing else before the
    // next look.
    motionWakes = now - lastMotionSampleAt >= motionIntervalMs;
    if (!motionWakes)
        wait = std::min(wait, lastMotionSampleAt + motionIntervalMs - now);
    return static_cast<unsigned long>(std::max<qint64>(wait, 1)) * 1000;
}

void WatchingSource::wait(unsigned long us)
{
    const int ms = static_cast<int>((us + 999) / 1000);
    motionSeen = watch.waitForMotion(ms, motionWakes) || motionSeen;
}
