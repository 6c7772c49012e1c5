#pragma once

#include "screentable.h"
#include "sensorlayout.h"

#include <QPoint>
#include <QRect>
#include <vector>

// A pointer barrier as Pellmar's GNOME Shell extension draws it: a line
// along one axis between two points of the desktop, and the directions in
// which it lets the pointer through (Mutter's barrier directions).
struct ShellSegment
{
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    unsigned directions = 0;

    enum Direction : unsigned
    {
        PositiveX = 1,
        PositiveY = 2,
        NegativeX = 4,
        NegativeY = 8
    };
    bool operator==(const ShellSegment &o) const
    {
        return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2 && directions == o.directions;
    }
};

// Where barriers go on GNOME, as plain functions: a barrier takes no clicks,
// so where a sensor strip lies one pixel inside a screen's edge, the barrier
// runs along the edge itself and holds back the pointer that pushes across.
namespace ShellGeometry {

// A barrier and the strip it senses for.
struct Barrier
{
    SensorStrip strip;
    ShellSegment line;
    bool operator==(const Barrier &o) const { return strip == o.strip && line == o.line; }
};

// One barrier per strip, on the outer side of the strip's screen edge,
// letting the pointer through inwards only; a strip on no screen gets none.
std::vector<Barrier> barriers(const std::vector<SensorStrip> &strips, const ScreenTable &screens);

// Where a push against a strip's barrier at (x, y) (the Shell reports the
// pointer on the barrier's line, which for a right or bottom edge is one
// past the screen) touches the strip.
QPoint pixelOnStrip(const SensorStrip &strip, double x, double y);

// Four barriers that keep the pointer inside `screen` (desktop pixels).
std::vector<ShellSegment> around(const QRect &screen);

} // namespace ShellGeometry
