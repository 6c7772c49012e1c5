#include "screentable.h"

#include <algorithm>
#include <numeric>

ScreenTable::ScreenTable(const std::vector<ScreenRect> &enumerated,
                         const std::vector<QString> &screenNames)
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
    }
    wraps = std::vector<MonitorWraps>(n);
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
