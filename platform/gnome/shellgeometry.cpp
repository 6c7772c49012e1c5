#include "shellgeometry.h"

#include <algorithm>
#include <cmath>

namespace ShellGeometry {

namespace {

// Mutter, like X11, stops a slanting move at a barrier unless it lets
// through each way the move goes: a barrier lets through along itself, so
// that it holds back only what crosses it.
unsigned along(bool vertical)
{
    return vertical ? ShellSegment::PositiveY | ShellSegment::NegativeY
                    : ShellSegment::PositiveX | ShellSegment::NegativeX;
}

} // namespace

std::vector<Barrier> barriers(const std::vector<SensorStrip> &strips, const ScreenTable &screens)
{
    std::vector<Barrier> out;
    for (const SensorStrip &s : strips) {
        const int i = screens.screenIndexAt(s.x, s.y);
        if (i < 0 || !screens.rects[std::size_t(i)].contains(s.x, s.y))
            continue;
        const ScreenRect &r = screens.rects[std::size_t(i)];
        // A one-pixel strip lies along a row only where it is on the top or
        // bottom row.
        const bool column = s.height > 1 || (s.width == 1 && s.y != r.top && s.y != r.bottom);
        ShellSegment b;
        if (column) {
            const bool left = s.x == r.left;
            b.x1 = b.x2 = left ? s.x : s.x + 1;
            b.y1 = s.y;
            b.y2 = s.y + s.height;
            b.directions = (left ? ShellSegment::PositiveX : ShellSegment::NegativeX) | along(true);
        } else {
            const bool top = s.y == r.top;
            b.y1 = b.y2 = top ? s.y : s.y + 1;
            b.x1 = s.x;
            b.x2 = s.x + s.width;
            b.directions = (top ? ShellSegment::PositiveY : ShellSegment::NegativeY) | along(false);
        }
        out.push_back(Barrier{s, b});
    }
    return out;
}

QPoint pixelOnStrip(const SensorStrip &strip, double x, double y)
{
    const auto clamp = [](double v, int first, int length) {
        if (!std::isfinite(v))
            return first;
        const double last = first + length - 1;
        return int(std::clamp(std::floor(v), double(first), last));
    };
    return QPoint(clamp(x, strip.x, strip.width), clamp(y, strip.y, strip.height));
}

std::vector<ShellSegment> around(const QRect &r)
{
    // Mutter stops the pointer on a barrier's line itself: the right and
    // bottom ones stand on the last column and row, not one past them,
    // which would belong to the next monitor.
    const int right = r.x() + r.width() - 1, bottom = r.y() + r.height() - 1;
    return {
        {r.x(), r.y(), r.x(), bottom, ShellSegment::PositiveX | along(true)},
        {right, r.y(), right, bottom, ShellSegment::NegativeX | along(true)},
        {r.x(), r.y(), right, r.y(), ShellSegment::PositiveY | along(false)},
        {r.x(), bottom, right, bottom, ShellSegment::NegativeY | along(false)},
    };
}

} // namespace ShellGeometry
