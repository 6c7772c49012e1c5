#include "enginestate.h"

EngineState engineState;

void EngineState::buildScreenTable(const std::vector<ScreenRect> &enumerated)
{
    const std::size_t n = enumerated.size();
    multipleScreens = n > 1;
    screenHeightsDiffer = false;
    desktopLeft = 0;
    desktopRight = 0;
    // Compared in enumeration order; the answer, "not all the same height",
    // does not depend on the order.
    for (std::size_t k = 1; k < n; ++k) {
        if (enumerated[k - 1].height() != enumerated[k].height())
            screenHeightsDiffer = true;
    }
    screenTable.build(enumerated);
    if (n == 0)
        return;
    desktopLeft = screenTable.rects.front().left;
    // The right edge of the screen that sorts last, which need not be the
    // greatest right edge of all.
    desktopRight = screenTable.rects.back().right;
}
