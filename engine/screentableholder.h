#pragma once

#include "screentable.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// The screen table the engine works on, replaced whole when the desktop
// changes. The GUI thread publishes a complete new table with one atomic
// store; the engine loads the pointer inside a pass and never sees a
// half-built table. A replaced table is freed only once the engine can no
// longer hold it: the engine counts its passes in and out (odd while inside
// one), and a table swapped out while a pass was running waits until that
// pass has ended. All of it sequentially consistent, so the one order of
// swap, count and load is the same for both threads.
class ScreenTableHolder
{
public:
    ScreenTableHolder();
    ~ScreenTableHolder();
    ScreenTableHolder(const ScreenTableHolder &) = delete;
    ScreenTableHolder &operator=(const ScreenTableHolder &) = delete;

    // Any thread; the engine only between enterPass and leavePass.
    const ScreenTable &current() const { return *table.load(); }

    // GUI thread: the current table, to flip its wrap switches.
    ScreenTable &editable() { return *table.load(); }

    // Engine thread: brackets every use of the table.
    void enterPass() { passes.fetch_add(1); }
    void leavePass() { passes.fetch_add(1); }

    // GUI thread: makes `next` the current table.
    void publish(std::unique_ptr<ScreenTable> next);

    // GUI thread: frees the replaced tables the engine cannot hold any more.
    // Cheap when there are none.
    void reclaim();

    std::size_t retiredCount() const { return retired.size(); }

    // GUI thread: counts the tables published, so that a view can tell that
    // the one it laid out for has been replaced.
    std::uint64_t generation() const { return published; }

private:
    struct Retired
    {
        std::unique_ptr<ScreenTable> table;
        std::uint64_t passesAtSwap;
    };

    std::atomic<ScreenTable *> table;
    std::atomic<std::uint64_t> passes{0};
    std::vector<Retired> retired; // GUI thread only
    std::uint64_t published = 0;  // GUI thread only
};
