#include "engine.h"

#include "contactsource.h"
#include "logicctrl.h"
#include "pollingsource.h"
#include "watchingsource.h"

Engine::Engine(QObject *parent) : QObject(parent) {}

Engine::~Engine()
{
    stop();
}

void Engine::publish(std::shared_ptr<const Snapshot> snapshot)
{
    inbox.snapshot.publish(std::move(snapshot));
    if (watch)
        watch->wake();
}

void Engine::start(PointerWatch *pointer)
{
    if (running() || !pointer)
        return;
    watch = pointer;
    if (pointer->contactsOnly())
        source = std::make_unique<ContactSource>(*pointer);
    else if (pointer->reportsMotion())
        source = std::make_unique<WatchingSource>(*pointer);
    else
        source = std::make_unique<PollingSource>(*pointer);
    logicCtrl = std::make_unique<LogicCtrl>(inbox, *source);
    // The engine's signals come from its thread: queued to whoever listens
    // on this one.
    connect(logicCtrl.get(), &LogicCtrl::readout, this, &Engine::readout);
    connect(logicCtrl.get(), &LogicCtrl::pointerUnseen, this, &Engine::pointerUnseen);
    connect(logicCtrl.get(), &LogicCtrl::focusScreen, this, &Engine::focusScreen);
    inbox.running.store(true, std::memory_order_release);
    thread = std::thread([this] { logicCtrl->run(); });
}

void Engine::stop()
{
    if (!running())
        return;
    inbox.running.store(false, std::memory_order_release);
    watch->wake(); // no need to wait out a sleep
    thread.join();
    logicCtrl.reset();
    source.reset();
    watch = nullptr;
}

void Engine::setReadoutShown(bool shown)
{
    inbox.readoutShown.store(shown, std::memory_order_relaxed);
    if (shown)
        lookAgain(); // a fresh readout at once
}

void Engine::jumpTo(int x, int y)
{
    inbox.jumpTo.store(EngineInbox::pack(x, y), std::memory_order_relaxed);
    inbox.jumpWanted.store(true, std::memory_order_release);
    lookAgain();
}

void Engine::lookAgain()
{
    inbox.lookNow.store(true, std::memory_order_release);
    if (watch)
        watch->wake();
}
