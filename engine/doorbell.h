#pragma once

#include "relaxed.h"

#include <QSemaphore>
#include <atomic>

// Wakes a sleeping worker thread at once: the engine on device motion, on a
// stored sample or a stop, the velocity sampler on a stop. It is a wake-up
// only: no shared data is guarded by it. For the engine, available() tells
// whether the platform reports device motion (X11 with XInput 2), so that
// it may sleep between events; without it the engine polls.
class Doorbell
{
public:
    void setAvailable(bool on) { isAvailable = on; }
    bool available() const { return isAvailable; }

    // Any thread. Ends the engine's current or next doze.
    void ring();

    // Engine thread. Sleeps up to timeoutMs, less if rung since the last
    // doze ended; returns whether it was rung.
    bool doze(int timeoutMs);

private:
    Relaxed<bool> isAvailable{false};
    std::atomic<bool> pending{false};
    QSemaphore bell;
};
