#include "mapgeometry.h"

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

// How many gaps lie before each screen along one axis: the distinct far
// edges of the screens wholly before it that share a row (or a column) with
// it, so a screen beside a column of two is not pushed down by the column's
// inner gap.
std::vector<int> gapsBefore(const std::vector<ScreenRect> &rects, bool alongX)
{
    std::vector<int> out;
    for (const ScreenRect &c : rects) {
        std::set<int> before;
        for (const ScreenRect &r : rects) {
            const bool shares = alongX ? r.top <= c.bottom && c.top <= r.bottom
                                       : r.left <= c.right && c.left <= r.right;
            const int end = alongX ? r.right : r.bottom;
            if (shares && end < (alongX ? c.left : c.top))
                before.insert(end);
        }
        out.push_back(static_cast<int>(before.size()));
    }
    return out;
}

} // namespace

MapGeometry MapGeometry::compute(const std::vector<ScreenRect> &rects, QSize canvas)
{
    MapGeometry m;
    if (rects.empty())
        return m;
    const long availW = canvas.width() - 3;
    const long availH = canvas.height() - 3;
    const int n = static_cast<int>(rects.size());

    int left = rects.front().left, right = rects.front().right;
    int top = rects.front().top, bottom = rects.front().bottom;
    for (const ScreenRect &r : rects) {
        left = std::min(left, r.left);
        right = std::max(right, r.right);
        top = std::min(top, r.top);
        bottom = std::max(bottom, r.bottom);
    }
    const std::vector<int> gx = gapsBefore(rects, true);
    const std::vector<int> gy = gapsBefore(rects, false);

    auto widthAt = [&](long k) {
        long w = 0;
        for (int i = 0; i < n; ++i)
            w = std::max(w, (long(rects[i].right) + 1 - left) / k + long(gx[i]) * screenGap);
        return w;
    };
    auto heightAt = [&](long k) {
        long h = 0;
        for (int i = 0; i < n; ++i)
            h = std::max(h, (long(rects[i].bottom) - top) / k + long(gy[i]) * screenGap);
        return h;
    };
    // Past this divisor every screen is drawn zero pixels wide; stop there
    // even if the gaps alone do not fit.
    const long lastK = std::max(long(right) - left + 1, std::labs(long(bottom) - top)) + 1;
    long k = 1;
    while (k < lastK && !(widthAt(k) <= availW && heightAt(k) <= availH))
        ++k;
    m.scaleDivisor = static_cast<unsigned>(k);
    m.layoutWidth = static_cast<unsigned>(widthAt(k));
    m.layoutHeight = static_cast<unsigned>(heightAt(k));

    const int offX = static_cast<int>((availW - long(m.layoutWidth)) / 2 + 1);
    const int offY = static_cast<int>((availH - long(m.layoutHeight)) / 2 + 1);
    const int a = markerDepth;
    for (int i = 0; i < n; ++i) {
        const ScreenRect &r = rects[i];
        const int L = offX + static_cast<int>((long(r.left) - left) / k) + gx[i] * screenGap;
        const int R = offX + static_cast<int>((long(r.right) + 1 - left) / k) + gx[i] * screenGap;
        const int T = offY + static_cast<int>((long(r.top) - top) / k) + gy[i] * screenGap;
        const int B = offY + static_cast<int>((long(r.bottom) + 1 - top) / k) + gy[i] * screenGap;
        ScreenShape s{i, QRect(L, T, R - L, B - T), {}};
        s.markers.append(
            {i, Edge::Top, QPolygon({{L, T}, {R, T}, {R - a, T + a}, {L + a, T + a}})});
        if (r.right == right)
            s.markers.append(
                {i, Edge::Right, QPolygon({{R, T}, {R, B}, {R - a, B - a}, {R - a, T + a}})});
        s.markers.append(
            {i, Edge::Bottom, QPolygon({{R, B}, {L, B}, {L + a, B - a}, {R - a, B - a}})});
        if (r.left == left)
            s.markers.append(
                {i, Edge::Left, QPolygon({{L, B}, {L, T}, {L + a, T + a}, {L + a, B - a}})});
        m.shapes.append(s);
    }
    return m;
}
