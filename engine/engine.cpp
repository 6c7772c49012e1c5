#include "engine.h"

#include "logicctrl.h"
#include "velocityupdater.h"

Engine::Engine(EngineState &shared)
    : state(shared), velocityUpdater(new VelocityUpdater(shared)), logicCtrl(new LogicCtrl(shared))
{
    state.velocityUpdater = velocityUpdater;
    state.logicCtrl = logicCtrl;
}

Engine::~Engine()
{
    stop();
    state.velocityUpdater = nullptr;
    state.logicCtrl = nullptr;
    delete logicCtrl;
    delete velocityUpdater;
}

void Engine::start()
{
    if (isRunning)
        return;
    isRunning = true;
    state.threadsRunning = true;
    velocityUpdater->start(QThread::InheritPriority);
    logicCtrl->start(QThread::InheritPriority);
}

void Engine::stop()
{
    if (!isRunning)
        return;
    isRunning = false;
    state.threadsRunning = false;
    // Neither thread need wait out its sleep.
    velocityUpdater->wakeUp.ring();
    state.wakeEngine();
    velocityUpdater->wait();
    logicCtrl->wait();
    state.threadsJoined();
}
