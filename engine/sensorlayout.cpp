#include "sensorlayout.h"

#include "cursorrules.h"

#include <algorithm>

namespace SensorLayout {

namespace {

// A column of rows [top, bottom] at x on the side of screen `r`, but for
// its guarded corners; nothing if empty.
void column(std::vector<SensorStrip> &out, const Snapshot &s, const ScreenRect &r, int x, int top,
            int bottom)
{
    const int guard = std::max(0, s.choices.cornerGuard);
    top = std::max(top, r.top + guard);
    bottom = std::min(bottom, r.bottom - guard);
    if (bottom >= top)
        out.push_back(SensorStrip{x, top, 1, bottom - top + 1});
}

// Screen `r`'s top or bottom row at y, but for its guarded corners.
void row(std::vector<SensorStrip> &out, const Snapshot &s, const ScreenRect &r, int y)
{
    const int guard = std::max(0, s.choices.cornerGuard);
    const int left = r.left + guard, right = r.right - guard;
    if (right >= left)
        out.push_back(SensorStrip{left, y, right - left + 1, 1});
}

// Easy Move carries from the rows of `c` beside which the shorter
// neighbour `n` has none, as CursorRules::inOverhang and inUnderhang say.
void beside(std::vector<SensorStrip> &out, const Snapshot &s, int x, const ScreenRect &c,
            const ScreenRect &n)
{
    if (n.height() >= c.height())
        return;
    if (n.top == c.top)
        column(out, s, c, x, n.bottom + 1, c.bottom);
    else if (n.bottom == c.bottom)
        column(out, s, c, x, c.top, n.top - 1);
}

} // namespace

std::vector<SensorStrip> strips(const Snapshot &s)
{
    std::vector<SensorStrip> out;
    const ScreenTable &t = s.screens;
    if (CursorRules::quiet(s) || t.rects.empty())
        return out;
    for (int i = 0; i < t.size(); ++i) {
        const ScreenRect &r = t.rects[i];
        if (s.choices.allowLeftWrap && r.left == t.desktopLeft)
            column(out, s, r, r.left, r.top, r.bottom);
        if (s.choices.allowRightWrap && r.right == t.desktopRight)
            column(out, s, r, r.right, r.top, r.bottom);
        if (t.wraps[i].top)
            row(out, s, r, r.top);
        if (t.wraps[i].bottom)
            row(out, s, r, r.bottom);
        if (s.choices.easyMove && t.screenHeightsDiffer) {
            const int left = t.neighbour(i, true);
            if (left >= 0)
                beside(out, s, r.left, r, t.rects[left]);
            const int right = t.neighbour(i, false);
            if (right >= 0)
                beside(out, s, r.right, r, t.rects[right]);
        }
    }
    return out;
}

} // namespace SensorLayout
