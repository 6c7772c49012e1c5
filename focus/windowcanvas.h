#pragma once

#include <QPolygon>
#include <QRect>
#include <QVector>
#include <QWidget>

// The map of the screens on the main window: one cyan rectangle per screen,
// to scale and labelled with its resolution, and around them the wrap-edge
// markers, green when the wrap is on and red when off. A press on a marker
// flips its wrap.
class WindowCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit WindowCanvas(QWidget *parent = nullptr);
    ~WindowCanvas() override;

    // Desktop pixels per canvas pixel; 0 until the first paint has computed
    // the layout, which then stays fixed (the screen table never changes).
    unsigned scaleDivisor = 0;
    unsigned layoutWidth = 0;
    unsigned layoutHeight = 0;
    int markerDepth = 15;
    int screenGap = 10;

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
    // drawing order.
    struct ScreenShape
    {
        int screen;
        QRect outline;
        QVector<Marker> markers;
    };

    // Chooses the scale for the canvas's size, once.
    void computeLayout();

    // The screens and markers where the current layout puts them. Painting
    // and the hit-test both use it, so a press can only hit what was drawn.
    QVector<ScreenShape> shapes() const;

    // The wrap a marker shows, and flipping it.
    static bool isOn(const Marker &marker);
    static void flip(const Marker &marker);

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
};
