#pragma once

#include "published.h"
#include "snapshot.h"

#include <atomic>

// What the GUI thread hands the engine thread. Every field is shared by the
// two threads and says so in its type; nothing else is.
struct EngineInbox
{
    // The choices and the screens, replaced whole.
    Published<Snapshot> snapshot;
    // Cleared to end the engine thread.
    std::atomic<bool> running{false};
    // Whether anyone can see the readout: while the window is hidden it is
    // not refreshed.
    std::atomic<bool> readoutShown{true};
    // Take a sample now, out of any sleep (the pointer watch is woken too).
    std::atomic<bool> lookNow{false};
};
