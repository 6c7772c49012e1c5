#pragma once

#include "screentable.h"
#include "sensorlayout.h"

#include <QPoint>
#include <QRect>
#include <cstdint>

// The arithmetic between the engine's desktop pixels and what a wlroots
// compositor takes: where a layer surface sits on its output, and where an
// absolute move of the virtual pointer lands. Plain functions, so that they
// are tested without a compositor.
namespace WaylandGeometry {

// The layer surface's anchor bits (zwlr_layer_surface_v1.anchor).
constexpr std::uint32_t AnchorTop = 1;
constexpr std::uint32_t AnchorBottom = 2;
constexpr std::uint32_t AnchorLeft = 4;
constexpr std::uint32_t AnchorRight = 8;

// Where a layer surface goes so that it covers one strip exactly.
struct LayerPlacement
{
    bool fits = false; // the strip lies on the output
    std::uint32_t anchor = 0;
    int top = 0; // margins from the anchored edges
    int right = 0;
    int bottom = 0;
    int left = 0;
    int width = 0; // 0: stretched between the two anchored edges
    int height = 0;
    bool operator==(const LayerPlacement &o) const
    {
        return fits == o.fits && anchor == o.anchor && top == o.top && right == o.right &&
               bottom == o.bottom && left == o.left && width == o.width && height == o.height;
    }
    bool operator!=(const LayerPlacement &o) const { return !(*this == o); }
};

// The strip on the output `output` (both in desktop pixels). A strip along
// an output's whole side is stretched between its corners and one at a far
// edge is anchored to that edge, so that the output's own rounding of its
// logical size (fractional scales) cannot leave a gap between strip and
// edge.
LayerPlacement place(const SensorStrip &strip, const QRect &output);

// The desktop's bounding box: the rectangle an absolute move maps onto.
QRect extent(const ScreenTable &screens);

// An absolute move of the virtual pointer, as the compositor takes it: a
// point in a box of the given extent, scaled onto the desktop's bounding box.
struct AbsoluteMotion
{
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t xExtent = 0;
    std::uint32_t yExtent = 0;
    bool operator==(const AbsoluteMotion &o) const
    {
        return x == o.x && y == o.y && xExtent == o.xExtent && yExtent == o.yExtent;
    }
};

// The move to pixel (x, y), aimed at the pixel's centre: aimed at its
// corner, the compositor's scaling could land a hair short, one pixel off.
// A point outside `extent` goes to its nearest pixel inside.
AbsoluteMotion absoluteMotion(int x, int y, const QRect &extent);

// The desktop pixel under a point of a strip's surface (surface-local
// coordinates; outside the surface too, while a button held there keeps the
// pointer's events coming).
QPoint pixelAt(const SensorStrip &strip, double sx, double sy);

} // namespace WaylandGeometry
