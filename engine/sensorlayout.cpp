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

// Screen `r`'s row at y over columns [left, right], but for its guarded
// corners.
void row(std::vector<SensorStrip> &out, const Snapshot &s, const ScreenRect &r, int y, int left,
         int right)
{
    const int guard = std::max(0, s.choices.cornerGuard);
    left = std::max(left, r.left + guard);
    right = std::min(right, r.right - guard);
    if (right >= left)
        out.push_back(SensorStrip{left, y, right - left + 1, 1});
}

// Crossing by size from screen i to every screen that touches it where
// that lands elsewhere than the pixels meet: a strip on i's seam column
// (row) over what the two share, as CursorRules::crossSeam takes it.
void seams(std::vector<SensorStrip> &out, const Snapshot &s, int i)
{
    const ScreenTable &t = s.screens;
    const ScreenRect &r = t.rects[i];
    for (int j = 0; j < t.size(); ++j) {
        if (!CursorRules::seamRemaps(s, i, j))
            continue;
        const ScreenRect &n = t.rects[j];
        const int top = std::max(r.top, n.top), bottom = std::min(r.bottom, n.bottom);
        const int left = std::max(r.left, n.left), right = std::min(r.right, n.right);
        if (n.left == r.right + 1 || n.right == r.left - 1)
            column(out, s, r, n.left > r.right ? r.right : r.left, top, bottom);
        else if (n.top == r.bottom + 1 || n.bottom == r.top - 1)
            row(out, s, r, n.top > r.bottom ? r.bottom : r.top, left, right);
    }
}

// Easy Move carries from the rows of screen i beside which its shorter
// neighbour n has none, as CursorRules::inOverhang and inUnderhang say;
// crossing by size, Easy Move or not, from every row beside which n has none.
void beside(std::vector<SensorStrip> &out, const Snapshot &s, int x, int i, int n)
{
    const ScreenRect &c = s.screens.rects[i], &q = s.screens.rects[n];
    if (CursorRules::crossesBySize(s, i, n)) {
        column(out, s, c, x, c.top, q.top - 1);
        column(out, s, c, x, q.bottom + 1, c.bottom);
        return;
    }
    if (!s.choices.easyMove || q.height() >= c.height())
        return;
    if (q.top == c.top)
        column(out, s, c, x, q.bottom + 1, c.bottom);
    else if (q.bottom == c.bottom)
        column(out, s, c, x, c.top, q.top - 1);
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
            row(out, s, r, r.top, r.left, r.right);
        if (t.wraps[i].bottom)
            row(out, s, r, r.bottom, r.left, r.right);
        if ((s.choices.easyMove && t.screenHeightsDiffer) || s.choices.crossByPhysicalSize) {
            const int left = t.neighbour(i, true);
            if (left >= 0)
                beside(out, s, r.left, i, left);
            const int right = t.neighbour(i, false);
            if (right >= 0)
                beside(out, s, r.right, i, right);
        }
        if (s.choices.crossByPhysicalSize)
            seams(out, s, i);
    }
    return out;
}

} // namespace SensorLayout
