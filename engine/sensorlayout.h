#pragma once

#include "snapshot.h"

#include <vector>

// One sensor strip: a rectangle of the desktop one pixel thick, in desktop
// pixels (x, y its top left corner).
struct SensorStrip
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const SensorStrip &o) const
    {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// Where a window system that shows a program the pointer only over its own
// surfaces must sense it: exactly the edge segments where a switched-on rule
// can act, and nothing else of the desktop, since a strip takes the clicks
// on the row it covers. A plain function of a snapshot, like the rules.
namespace SensorLayout {

// The desktop's outer left and right columns where those wraps are on, each
// monitor's top and bottom rows where its wraps are on, and with Easy Move
// the stretches of a taller monitor's side edge beside which its shorter
// neighbour has no rows (by size, wherever the neighbour has none). Crossing
// by size, each monitor's seam column (row) facing a touching neighbour
// where the crossing lands elsewhere than the pixels meet, over the rows
// (columns) the two share. None while paused.
std::vector<SensorStrip> strips(const Snapshot &snapshot);

} // namespace SensorLayout
