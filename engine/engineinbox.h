#pragma once

#include "published.h"
#include "snapshot.h"

#include <atomic>
#include <cstdint>

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
    // A move asked for from outside (a key bound to `pellmar --jump`): the
    // point, x in the high half and y in the low one, taken once when
    // `jumpWanted` is set.
    std::atomic<std::uint64_t> jumpTo{0};
    std::atomic<bool> jumpWanted{false};

    static std::uint64_t pack(int x, int y)
    {
        return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y);
    }
    static void unpack(std::uint64_t point, int &x, int &y)
    {
        x = int(std::uint32_t(point >> 32));
        y = int(std::uint32_t(point));
    }
};
