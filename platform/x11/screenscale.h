#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <vector>

// Qt scales its view of an X desktop (QT_SCALE_FACTOR, per-screen factors,
// Qt 6's own from Xft.dpi): each screen keeps its top-left corner in the X
// server's pixels and shrinks by its factor. The engine reads and moves the
// pointer in the server's pixels, so the screens are read in those, and
// what Qt places (the curtain windows) or reports (its cursor position) is
// turned from one to the other here.
class ScreenScale
{
public:
    // One screen as Qt sees it, and the X server's own rectangle of the
    // monitor of that name (null where the server was not asked).
    struct Screen
    {
        QString name;
        QRect logical;
        double ratio = 1.0; // Qt's device pixel ratio for it
        QRect native;
    };

    // Each screen in the server's pixels: the server's own rectangle where
    // known, else Qt's scaled back.
    static QRect nativeOf(const Screen &screen);
    // Qt's rectangle for `native` (a whole screen, or part of one), by the
    // screen whose native area holds its top-left corner.
    static QRect toLogical(const QRect &native, const std::vector<Screen> &screens);
    // The server's pixel under Qt's point `logical`.
    static QPoint toNative(const QPoint &logical, const std::vector<Screen> &screens);
};
