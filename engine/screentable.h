#pragma once

#include "relaxed.h"

#include <vector>

// One screen's rectangle in desktop pixels, all four edges inclusive.
struct ScreenRect
{
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;

    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    bool operator==(const ScreenRect &o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// A screen's vertical wrap switches: flipped on the GUI thread by the canvas,
// read by the engine thread every pass.
struct ScreenWrapFlags
{
    Relaxed<bool> wrapTop{false};
    Relaxed<bool> wrapBottom{false};
};

// The desktop as it was at start-up: the screens sorted by their left edge,
// and one set of wrap switches per screen in the same order. Built once,
// before the worker threads start; only the switches change afterwards.
class ScreenTable
{
public:
    std::vector<ScreenRect> rects;
    std::vector<ScreenWrapFlags> wrapFlags;

    // Replaces the table with the screens as the platform enumerates them.
    // The sort by left edge is stable, so screens sharing a left edge keep
    // their enumeration order.
    void build(const std::vector<ScreenRect> &enumerated);

    // The first screen whose columns hold x, or -1 when x lies on none.
    // With one screen the answer is always 0, wherever x is.
    int screenIndexAt(int x) const;

    int size() const { return static_cast<int>(rects.size()); }
};
