#pragma once

#include "choices.h"

#include <QSize>
#include <QString>
#include <vector>

// One screen's rectangle in desktop pixels, all four edges inclusive.
struct ScreenRect
{
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;

    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    bool contains(int x, int y) const { return left <= x && x <= right && top <= y && y <= bottom; }
    bool operator==(const ScreenRect &o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// The desktop at one moment: the screens sorted by their left edge, their
// output names, each one's wrap switches in the same order, and what follows
// from the rectangles. A plain value: a change of the desktop or of a switch
// makes a new one.
class ScreenTable
{
public:
    ScreenTable() = default;
    // The screens as the platform enumerates them; `names` is empty or one
    // per screen (a screen without one is called "#" and its place in the
    // enumeration, so that its switches still have a key). The sort by left
    // edge is stable, so screens sharing a left edge keep their enumeration
    // order. Every switch starts off. `sizesMm` is empty or one per screen:
    // what the window system or the monitor reports, 0x0 where nothing does.
    explicit ScreenTable(const std::vector<ScreenRect> &enumerated,
                         const std::vector<QString> &names = {},
                         const std::vector<QSize> &sizesMm = {});

    std::vector<ScreenRect> rects;
    std::vector<QString> names;
    std::vector<MonitorWraps> wraps;
    // Each screen's size in millimetres as reported, and the one the rules
    // use: the user's where given, else the reported one, turned to match
    // the rectangle; 0x0 where neither is believable.
    std::vector<QSize> reportedMm;
    std::vector<QSize> physicalMm;

    int desktopLeft = 0;  // the smallest left edge of all screens
    int desktopRight = 0; // the greatest right edge of all screens
    bool multipleScreens = false;
    bool screenHeightsDiffer = false;

    // The first screen in table order that holds the point, or -1 when none
    // does. With one screen the answer is always 0, wherever the point is.
    int screenIndexAt(int x, int y) const;

    // Where a horizontal wrap lands: among the screens that reach the far
    // desktop edge (the left one when `leftEdge`), the first that holds row
    // y, or else the one nearest to it; -1 for an empty table.
    int screenOnDesktopEdge(bool leftEdge, int y) const;

    // The screen beside screen i on its left (`toLeft`) or right: of those
    // wholly on that side that share a row with it, the one nearest to it,
    // the first in table order on a tie; -1 when there is none.
    int neighbour(int i, bool toLeft) const;

    // Takes each screen's switches from the choices, by output name; a
    // monitor not named there has them off.
    void applyWraps(const QHash<QString, MonitorWraps> &byMonitor);

    // Takes the sizes the user gave from the choices, by output name; a
    // monitor not named there keeps its reported size.
    void applySizes(const QHash<QString, QSize> &byMonitor);

    // No monitor side is longer, in millimetres; nor a pair's offset.
    static constexpr int largestMm = 3000;

    // `mm` as the size of a monitor showing `r`, turned a quarter where the
    // monitor stands on its side; 0x0 where no monitor could be that size:
    // a side of 0 or over 3 m, a shape other than the rectangle's, or a
    // pixel pitch no monitor has.
    static QSize believableMm(QSize mm, const ScreenRect &r);

    // The index of the screen with this output name, or -1.
    int indexOf(const QString &name) const;

    int size() const { return static_cast<int>(rects.size()); }
};
