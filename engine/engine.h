#pragma once

#include "enginestate.h"

class LogicCtrl;
class VelocityUpdater;

// The life of the two worker threads in one place: creates them (the
// velocity sampler first, then the engine) and publishes them in the engine
// state; start() sets the run flag and starts the sampler, then the engine;
// stop() clears the flag, wakes both out of any wait and joins the sampler,
// then the engine. Start and stop may alternate any number of times.
class Engine
{
public:
    explicit Engine(EngineState &state = engineState);
    ~Engine(); // stops, then frees the threads
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    void start();
    void stop();
    bool running() const { return isRunning; }

    LogicCtrl *logic() const { return logicCtrl; }
    VelocityUpdater *velocity() const { return velocityUpdater; }

private:
    EngineState &state;
    VelocityUpdater *velocityUpdater;
    LogicCtrl *logicCtrl;
    bool isRunning = false;
};
