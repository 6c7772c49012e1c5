#pragma once

#include "doorbell.h"
#include "enginestate.h"

#include <QThread>

// Samples the stored cursor x every 150 ms and keeps the horizontal speed,
// the absolute change of x per 150 ms, for the readout and the velocity
// thresholds.
class VelocityUpdater : public QThread
{
public:
    explicit VelocityUpdater(EngineState &state = engineState);
    ~VelocityUpdater() override;

    static constexpr unsigned long intervalMs = 150;
    // The pause between samples; set before the thread starts.
    unsigned long pauseMs = intervalMs;

    Relaxed<int> deltaX{0}; // read by the GUI and engine threads
    int lastX = 0;

    // Ends the current wait at once, so that a stop need not wait it out.
    Doorbell wakeUp;
    // While x stands still the sampler sleeps, and the engine wakes it as x
    // changes again; it looks every stillPauseMs all the same.
    static constexpr int stillPauseMs = 5000;
    // Engine thread: the stored x has changed.
    void cursorMoved()
    {
        if (asleep.load(std::memory_order_seq_cst))
            wakeUp.ring();
    }

    // One sampling step. Until the GUI thread has stored a first sample there
    // is nothing to measure; the first real sample only seeds lastX, so the
    // start-up does not read as one large jump from x = 0.
    void sample();

protected:
    void run() override;

private:
    EngineState &state;
    bool seeded = false;
    std::atomic<bool> asleep{false};
};
