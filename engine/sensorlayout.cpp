#include "sensorlayout.h"

#include "cursorrules.h"

namespace SensorLayout {

namespace {

// A column of rows [top, bottom] at x; nothing if empty.
void column(std::vector<SensorStrip> &out, int x, int top, int bottom)
{
    if (bottom >= top)
        out.push_back(SensorStrip{x, top, 1, bottom - top + 1});
}

// Easy Move carries from the rows of `c` beside which the shorter
// neighbour `n` has none, as CursorRules::inOverhang and inUnderhang say.
void beside(std::vector<SensorStrip> &out, int x, const ScreenRect &c, const ScreenRect &n)
{
    if (n.height() >= c.height())
        return;
    if (n.top == c.top)
        column(out, x, n.bottom + 1, c.bottom);
    else if (n.bottom == c.bottom)
        column(out, x, c.top, n.top - 1);
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
            column(out, r.left, r.top, r.bottom);
        if (s.choices.allowRightWrap && r.right == t.desktopRight)
            column(out, r.right, r.top, r.bottom);
        if (t.wraps[i].top)
            out.push_back(SensorStrip{r.left, r.top, r.width(), 1});
        if (t.wraps[i].bottom)
            out.push_back(SensorStrip{r.left, r.bottom, r.width(), 1});
        if (s.choices.easyMove && t.screenHeightsDiffer) {
            const int left = t.neighbour(i, true);
            if (left >= 0)
                beside(out, r.left, r, t.rects[left]);
            const int right = t.neighbour(i, false);
            if (right >= 0)
                beside(out, r.right, r, t.rects[right]);
        }
    }
    return out;
}

} // namespace SensorLayout
