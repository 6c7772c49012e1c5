#pragma once

#include <QSemaphore>
#include <atomic>

// Wakes a sleeping thread at once: the velocity sampler when the cursor
// moves again or the engine stops. A wake-up only: no shared data is
// guarded by it.
class Doorbell
{
public:
    // Any thread. Ends the current or next doze.
    void ring();

    // The sleeping thread. Sleeps up to timeoutMs, less if rung since the last
    // doze ended; returns whether it was rung.
    bool doze(int timeoutMs);

private:
    std::atomic<bool> pending{false};
    QSemaphore bell;
};
