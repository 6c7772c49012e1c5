#include "velocityupdater.h"

#include <cstdlib>

VelocityUpdater::VelocityUpdater(EngineState &shared) : QThread(nullptr), state(shared) {}

VelocityUpdater::~VelocityUpdater() = default;

void VelocityUpdater::sample()
{
    if (state.samplesStored.load(std::memory_order_acquire) == 0)
        return;
    const int x = state.cursorX;
    if (seeded)
        deltaX = std::abs(x - lastX);
    seeded = true;
    lastX = x;
}

void VelocityUpdater::run()
{
    while (state.threadsRunning) {
        sample();
        if (seeded && deltaX == 0) {
            // x has not changed for a whole interval: sleep until it does
            // (the engine rings) instead of every 150 ms. Announce the sleep
            // before the last look, so a change is either seen here or rung.
            asleep.store(true, std::memory_order_seq_cst);
            if (state.cursorX.load() == lastX && state.threadsRunning)
                wakeUp.doze(stillPauseMs);
            asleep.store(false, std::memory_order_seq_cst);
            continue;
        }
        wakeUp.doze(static_cast<int>(pauseMs));
    }
    state.threadEnds();
}
