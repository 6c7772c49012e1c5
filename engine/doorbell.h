#pragma once

#include "relaxed.h"

#include <QSemaphore>
#include <atomic>

// Wakes the engine out of a long idle pause as soon as the pointer device
// moves, where the platform reports device motion (X11 with XInput 2). It is
// a wake-up only: no shared data is guarded by it. Without it the engine
// keeps polling at its short idle bound.
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
