#pragma once

#include "mapgeometry.h"

#include <QWidget>
#include <cstdint>

// The map of the screens on the main window: one cyan rectangle per screen,
// to scale and labelled with its resolution, and around them the wrap-edge
// markers, green when the wrap is on and red when off. A press on a marker
// flips its wrap. It follows the current screen table: a new table is laid
// out at the next paint.
class WindowCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit WindowCanvas(QWidget *parent = nullptr);
    ~WindowCanvas() override;

    using Edge = MapGeometry::Edge;
    using Marker = MapGeometry::Marker;
    using ScreenShape = MapGeometry::ScreenShape;

    // Desktop pixels per canvas pixel; 0 until the first paint has laid the
    // map out.
    unsigned scaleDivisor = 0;
    unsigned layoutWidth = 0;
    unsigned layoutHeight = 0;

    // Lays the map out for the current screen table and the canvas's size,
    // unless it already is.
    void computeLayout();

    // The screens and markers where the last layout put them.
    QVector<ScreenShape> shapes() const { return map.shapes; }

    // The wrap a marker shows, and flipping it.
    static bool isOn(const Marker &marker);
    static void flip(const Marker &marker);

signals:
    // A press has flipped one or more wraps.
    void wrapsChanged();

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    MapGeometry map;
    std::uint64_t laidOutFor = 0; // the table generation, 0 for none
    QSize laidOutSize;
};
