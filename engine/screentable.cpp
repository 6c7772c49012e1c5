#include "screentable.h"

#include <algorithm>
#include <cmath>
#include <numeric>

ScreenTable::ScreenTable(const std::vector<ScreenRect> &enumerated,
                         const std::vector<QString> &screenNames, const std::vector<QSize> &sizesMm)
{
    const std::size_t n = enumerated.size();
    // Compared in enumeration order; the answer, "not all the same height",
    // does not depend on the order.
    for (std::size_t k = 1; k < n; ++k) {
        if (enumerated[k - 1].height() != enumerated[k].height())
            screenHeightsDiffer = true;
    }
    multipleScreens = n > 1;

    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return enumerated[a].left < enumerated[b].left;
    });
    for (std::size_t k : order) {
        rects.push_back(enumerated[k]);
        const bool named = k < screenNames.size() && !screenNames[k].isEmpty();
        names.push_back(named ? screenNames[k] : QString("#%1").arg(k));
        reportedMm.push_back(k < sizesMm.size() ? sizesMm[k] : QSize(0, 0));
    }
    wraps = std::vector<MonitorWraps>(n);
    applySizes({});
    if (n == 0)
        return;
    desktopLeft = rects.front().left;
    desktopRight = rects.front().right;
    for (const ScreenRect &r : rects) {
        desktopLeft = std::min(desktopLeft, r.left);
        desktopRight = std::max(desktopRight, r.right);
    }
}

int ScreenTable::screenIndexAt(int x, int y) const
{
    const int n = size();
    if (n == 1)
        return 0;
    for (int i = 0; i < n; ++i) {
        if (rects[i].contains(x, y))
            return i;
    }
    return -1;
}

int ScreenTable::screenOnDesktopEdge(bool leftEdge, int y) const
{
    int best = -1;
    long bestDistance = 0;
    for (int i = 0; i < size(); ++i) {
        const ScreenRect &r = rects[i];
        if ((leftEdge ? r.left : r.right) != (leftEdge ? desktopLeft : desktopRight))
            continue;
        const long distance = y < r.top ? long(r.top) - y : y > r.bottom ? long(y) - r.bottom : 0;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

int ScreenTable::neighbour(int i, bool toLeft) const
{
    const ScreenRect &c = rects[i];
    int best = -1;
    for (int j = 0; j < size(); ++j) {
        const ScreenRect &r = rects[j];
        if (j == i || r.bottom < c.top || r.top > c.bottom)
            continue;
        if (toLeft ? r.right >= c.left : r.left <= c.right)
            continue;
        if (best < 0 || (toLeft ? r.right > rects[best].right : r.left < rects[best].left))
            best = j;
    }
    return best;
}

int ScreenTable::indexOf(const QString &name) const
{
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

void ScreenTable::applyWraps(const QHash<QString, MonitorWraps> &byMonitor)
{
    for (int i = 0; i < size(); ++i)
        wraps[i] = byMonitor.value(names[i]);
}

void ScreenTable::applySizes(const QHash<QString, QSize> &byMonitor)
{
    physicalMm.clear();
    for (int i = 0; i < size(); ++i) {
        const QSize given = byMonitor.value(names[i]);
        const bool byUser = given.width() > 0 && given.height() > 0;
        physicalMm.push_back(believableMm(byUser ? given : reportedMm[i], rects[i]));
    }
}

QSize ScreenTable::believableMm(QSize mm, const ScreenRect &r)
{
    // Pixel pitch: from a small laptop's 4K panel to a large TV's 720p,
    // with room for a scaled desktop's larger pixels.
    constexpr double finestMmPerPx = 0.05, coarsestMmPerPx = 2.5;
    // Sides may be a few percent off the pixels' shape (rounding, bezels
    // counted or not); a size of another shape is the aspect ratio or made
    // up.
    constexpr double shapeSlack = 0.08;
    // What TVs and projectors put for a size: the shape's numbers, in
    // centimetres or millimetres.
    static const QSize shapesOnly[] = {{16, 9}, {16, 10}, {4, 3}, {5, 4}, {21, 9}};
    const QSize none(0, 0);
    for (const QSize &shape : shapesOnly) {
        for (int scale : {1, 10}) {
            if (mm == shape * scale || mm == (shape * scale).transposed())
                return none;
        }
    }
    if (mm.width() <= 0 || mm.height() <= 0 || mm.width() > largestMm || mm.height() > largestMm ||
        r.width() <= 0 || r.height() <= 0)
        return none;
    const double pixels = double(r.width()) / r.height();
    const auto shaped = [pixels](QSize s) {
        return std::abs(double(s.width()) / s.height() / pixels - 1) <= shapeSlack;
    };
    // Monitors report their size as built, whichever way up they stand.
    if (!shaped(mm))
        mm.transpose();
    if (!shaped(mm))
        return none;
    const double pitch = double(mm.width()) / r.width();
    if (pitch < finestMmPerPx || pitch > coarsestMmPerPx)
        return none;
    return mm;
}
