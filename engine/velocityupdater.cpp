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
        wakeUp.doze(static_cast<int>(pauseMs));
    }
    state.threadEnds();
}
