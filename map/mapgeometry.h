#pragma once

#include "screentable.h"

#include <QPolygon>
#include <QRect>
#include <QSize>
#include <QVector>
#include <vector>

// Where the screen map draws the screens and their wrap markers: a pure
// function of the screens and the canvas size, which the canvas both paints
// and hit-tests, so a press can only hit what was drawn.
//
// The desktop is drawn to scale (one divisor for both axes), centred, with a
// gap wherever one screen lies wholly beside or below another: screens side
// by side stand in a row, stacked screens in a column, and a screen left of
// or above the others keeps its place.
struct MapGeometry
{
    enum class Edge
    {
        Top,
        Right,
        Bottom,
        Left
    };

    struct Marker
    {
        int screen;
        Edge edge;
        QPolygon polygon;
    };

    // One screen as drawn: its outline (x, y, width, height as given to the
    // painter, so the outline covers x to x + width) and its markers in
    // drawing order: top, right, bottom, left. Only screens that reach the
    // desktop's outer left or right edge carry those markers.
    struct ScreenShape
    {
        int screen;
        QRect outline;
        QVector<Marker> markers;
    };

    static constexpr int markerDepth = 15;
    static constexpr int screenGap = 10;

    unsigned scaleDivisor = 0; // desktop pixels per canvas pixel; 0: nothing laid out
    unsigned layoutWidth = 0;
    unsigned layoutHeight = 0;
    QVector<ScreenShape> shapes;

    // `rects` in table order (their index is the screen index).
    static MapGeometry compute(const std::vector<ScreenRect> &rects, QSize canvas);
};
