#include "waylandgeometry.h"

#include <algorithm>
#include <cmath>

namespace WaylandGeometry {

namespace {

// One axis: the strip's span [from, from + size) on the output's
// [start, start + length). Sets the anchors and margins of that axis and
// returns the size to ask for.
int placeAxis(int from, int size, int start, int length, std::uint32_t near, std::uint32_t far,
              std::uint32_t &anchor, int &nearMargin, int &farMargin)
{
    const int end = start + length;
    if (from == start && from + size == end) {
        anchor |= near | far;
        return 0;
    }
    if (from + size == end) {
        anchor |= far;
        farMargin = 0;
        return size;
    }
    anchor |= near;
    nearMargin = from - start;
    return size;
}

} // namespace

LayerPlacement place(const SensorStrip &strip, const QRect &output)
{
    LayerPlacement p;
    const QRect r(strip.x, strip.y, strip.width, strip.height);
    if (strip.width <= 0 || strip.height <= 0 || !output.contains(r))
        return p;
    p.fits = true;
    p.width = placeAxis(strip.x, strip.width, output.x(), output.width(), AnchorLeft, AnchorRight,
                        p.anchor, p.left, p.right);
    p.height = placeAxis(strip.y, strip.height, output.y(), output.height(), AnchorTop,
                         AnchorBottom, p.anchor, p.top, p.bottom);
    return p;
}

QRect extent(const ScreenTable &screens)
{
    QRect box;
    for (const ScreenRect &r : screens.rects)
        box |= QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom));
    return box;
}

AbsoluteMotion absoluteMotion(int x, int y, const QRect &extent)
{
    if (extent.isEmpty())
        return {};
    const int dx = std::clamp(x, extent.left(), extent.right()) - extent.left();
    const int dy = std::clamp(y, extent.top(), extent.bottom()) - extent.top();
    return AbsoluteMotion{std::uint32_t(2 * dx + 1), std::uint32_t(2 * dy + 1),
                          std::uint32_t(2 * extent.width()), std::uint32_t(2 * extent.height())};
}

QPoint pixelAt(const SensorStrip &strip, double sx, double sy)
{
    return QPoint(strip.x + int(std::floor(sx)), strip.y + int(std::floor(sy)));
}

} // namespace WaylandGeometry
