#include "screentable.h"

#include <algorithm>

void ScreenTable::build(const std::vector<ScreenRect> &enumerated)
{
    rects = enumerated;
    std::stable_sort(rects.begin(), rects.end(),
                     [](const ScreenRect &a, const ScreenRect &b) { return a.left < b.left; });
    // All switches start off, so they need no reordering with the sort.
    wrapFlags = std::vector<ScreenWrapFlags>(rects.size());
}

int ScreenTable::screenIndexAt(int x) const
{
    const int n = size();
    if (n == 1)
        return 0;
    for (int i = 0; i < n; ++i) {
        if (rects[i].left <= x && x <= rects[i].right)
            return i;
    }
    return -1;
}
