#include "windowcanvas.h"

#include "enginestate.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

WindowCanvas::WindowCanvas(QWidget *parent) : QWidget(parent) {}

WindowCanvas::~WindowCanvas() = default;

void WindowCanvas::computeLayout()
{
    const ScreenTable &table = engineState.screenTable();
    const std::uint64_t generation = engineState.screens.generation();
    if (laidOutFor == generation && laidOutSize == size())
        return;
    map = MapGeometry::compute(table.rects, size());
    laidOutFor = generation;
    laidOutSize = size();
    scaleDivisor = map.scaleDivisor;
    layoutWidth = map.layoutWidth;
    layoutHeight = map.layoutHeight;
}

bool WindowCanvas::isOn(const Marker &marker)
{
    const ScreenWrapFlags &f = engineState.screenTable().wrapFlags[marker.screen];
    switch (marker.edge) {
    case Edge::Top:
        return f.wrapTop;
    case Edge::Bottom:
        return f.wrapBottom;
    case Edge::Left:
        return engineState.allowLeftWrap;
    case Edge::Right:
        return engineState.allowRightWrap;
    }
    return false;
}

void WindowCanvas::flip(const Marker &marker)
{
    ScreenWrapFlags &f = engineState.screens.editable().wrapFlags[marker.screen];
    switch (marker.edge) {
    case Edge::Top:
        f.wrapTop.flip();
        break;
    case Edge::Bottom:
        f.wrapBottom.flip();
        break;
    case Edge::Left:
        engineState.allowLeftWrap.flip();
        break;
    case Edge::Right:
        engineState.allowRightWrap.flip();
        break;
    }
}

void WindowCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    if (engineState.screenTable().rects.empty())
        return;
    computeLayout();
    const int k = static_cast<int>(scaleDivisor);

    QFont font("Arial");
    if ((15 / k) * 10 > 0)
        font.setPointSize((15 / k) * 10);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();

    for (const ScreenShape &s : shapes()) {
        const ScreenRect &r = engineState.screenTable().rects[s.screen];
        painter.setBrush(QBrush(Qt::cyan, Qt::SolidPattern));
        painter.drawRect(s.outline);

        const QString text =
            QString::number(r.width()) + QChar(0x00D7) + QString::number(r.height());
        const int tw = metrics.horizontalAdvance(text);
        const int fh = metrics.height();
        const int sw = s.outline.width();
        const int sh = s.outline.height();
        painter.drawText(s.outline.x() + static_cast<int>((sw - tw) * 0.5),
                         s.outline.y() + static_cast<int>((sh + fh / 2) * 0.5), text);

        for (const Marker &m : s.markers) {
            painter.setBrush(QBrush(isOn(m) ? Qt::green : Qt::red, Qt::SolidPattern));
            painter.drawPolygon(m.polygon, Qt::OddEvenFill);
        }
    }
}

bool WindowCanvas::event(QEvent *e)
{
    QWidget::event(e);
    if (e->type() == QEvent::MouseButtonPress) {
        const QPoint p = static_cast<QMouseEvent *>(e)->pos();
        // Before the first paint there is no layout, and after a change of
        // the desktop the layout is of screens that may be gone: nothing can
        // be hit until the map is drawn again.
        if (laidOutFor == engineState.screens.generation()) {
            // Screens stacked at the desktop's edge each carry its marker;
            // one press flips that wrap once.
            bool leftFlipped = false, rightFlipped = false, flipped = false;
            for (const ScreenShape &s : shapes()) {
                for (const Marker &m : s.markers) {
                    if (!m.polygon.containsPoint(p, Qt::OddEvenFill))
                        continue;
                    if (m.edge == Edge::Left && std::exchange(leftFlipped, true))
                        continue;
                    if (m.edge == Edge::Right && std::exchange(rightFlipped, true))
                        continue;
                    flip(m);
                    flipped = true;
                }
            }
            if (flipped)
                emit wrapsChanged();
        }
        repaint();
    }
    return true;
}
