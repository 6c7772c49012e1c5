#pragma once

#include "mapgeometry.h"
#include "snapshot.h"

#include <QWidget>
#include <cstdint>
#include <memory>

// The map of the screens on the main window: one cyan rectangle per screen,
// to scale and labelled with its resolution, and around them the wrap-edge
// markers, green when the wrap is on and red when off. A press on a marker
// asks for its wrap to be flipped. At physical scale the monitors stand as
// on the desk, each says its size, a drag up or down sets its offset to
// its neighbours and its context menu sets its size. It shows the snapshot
// it is given: a new layout is laid out at the next paint.
class WindowCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit WindowCanvas(QWidget *parent = nullptr);
    ~WindowCanvas() override;

    using Edge = MapGeometry::Edge;
    using Marker = MapGeometry::Marker;
    using ScreenShape = MapGeometry::ScreenShape;

    // The screens and switches to show.
    void setSnapshot(std::shared_ptr<const Snapshot> snapshot);
    // Draws the monitors by their sizes in millimetres rather than pixels.
    void setPhysicalScale(bool on);
    bool physicalScale() const { return physical; }

    // Desktop pixels per canvas pixel; 0 until the first paint has laid the
    // map out.
    unsigned scaleDivisor = 0;
    unsigned layoutWidth = 0;
    unsigned layoutHeight = 0;

    // Lays the map out for the shown screens and the canvas's size, unless
    // it already is.
    void computeLayout();

    // The screens and markers where the last layout put them.
    QVector<ScreenShape> shapes() const { return map.shapes; }

    // The wrap a marker shows, and the choices with it flipped.
    static bool isOn(const Snapshot &snapshot, const Marker &marker);
    // A screen's label on the map: its output name and resolution, so that
    // a user can tell which is which, and which name `--jump` takes.
    static QString label(const QString &name, const ScreenRect &screen);
    static void flip(Choices &choices, const ScreenTable &screens, const Marker &marker);

signals:
    // A press has flipped one or more wraps, a drag has moved a monitor or
    // a size was set: the choices as they are now to be.
    void choicesEdited(const Choices &choices);
    // The user asks to give a monitor's size by its diagonal.
    void diagonalWanted(int screen);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    // The screen whose outline holds p in the last layout, or -1.
    int screenAt(const QPoint &p) const;

    std::shared_ptr<const Snapshot> shown;
    MapGeometry map;
    bool laidOut = false;
    std::uint64_t laidOutFor = 0; // the layout of the snapshot laid out
    QSize laidOutSize;
    bool physical = false;
    const Snapshot *laidOutSnapshot = nullptr; // at physical scale the choices place screens
    int dragged = -1;                          // the screen being dragged, if any
    int dragFrom = 0;
    int dragBy = 0;
};
