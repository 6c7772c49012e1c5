#include "windowcanvas.h"

#include "physicallayout.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

WindowCanvas::WindowCanvas(QWidget *parent) : QWidget(parent) {}

WindowCanvas::~WindowCanvas() = default;

void WindowCanvas::setSnapshot(std::shared_ptr<const Snapshot> snapshot)
{
    shown = std::move(snapshot);
    update();
}

void WindowCanvas::setPhysicalScale(bool on)
{
    physical = on;
    dragged = -1;
    laidOut = false;
    update();
}

void WindowCanvas::computeLayout()
{
    // At physical scale an offset or a size moves the monitors too.
    if (!shown || (laidOut && laidOutFor == shown->layout && laidOutSize == size() &&
                   (!physical || laidOutSnapshot == shown.get())))
        return;
    map = MapGeometry::compute(physical ? PhysicalLayout::rects(shown->screens, shown->choices)
                                        : shown->screens.rects,
                               size());
    laidOutSnapshot = shown.get();
    laidOut = true;
    laidOutFor = shown->layout;
    laidOutSize = size();
    scaleDivisor = map.scaleDivisor;
    layoutWidth = map.layoutWidth;
    layoutHeight = map.layoutHeight;
}

bool WindowCanvas::isOn(const Snapshot &s, const Marker &marker)
{
    switch (marker.edge) {
    case Edge::Top:
        return s.screens.wraps[marker.screen].top;
    case Edge::Bottom:
        return s.screens.wraps[marker.screen].bottom;
    case Edge::Left:
        return s.choices.allowLeftWrap;
    case Edge::Right:
        return s.choices.allowRightWrap;
    }
    return false;
}

void WindowCanvas::flip(Choices &c, const ScreenTable &screens, const Marker &marker)
{
    // A monitor's own switches are named only when one of them flips: a
    // desktop edge leaves them as they are.
    const QString &monitor = screens.names[marker.screen];
    switch (marker.edge) {
    case Edge::Top:
        c.monitorWraps[monitor].top = !screens.wraps[marker.screen].top;
        break;
    case Edge::Bottom:
        c.monitorWraps[monitor].bottom = !screens.wraps[marker.screen].bottom;
        break;
    case Edge::Left:
        c.allowLeftWrap = !c.allowLeftWrap;
        break;
    case Edge::Right:
        c.allowRightWrap = !c.allowRightWrap;
        break;
    }
}

QString WindowCanvas::label(const QString &name, const ScreenRect &r)
{
    const QString size = QString::number(r.width()) + QChar(0x00D7) + QString::number(r.height());
    // A screen the window system gave no name is "#" and its place: no name
    // a user could use.
    if (name.isEmpty() || name.startsWith('#'))
        return size;
    return name + QString(" ") + QChar(0x00B7) + " " + size;
}

void WindowCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    if (!shown || shown->screens.rects.empty())
        return;
    computeLayout();
    const int k = static_cast<int>(scaleDivisor);

    QFont font("Arial");
    if ((15 / k) * 10 > 0)
        font.setPointSize((15 / k) * 10);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();

    for (const ScreenShape &s : shapes()) {
        const ScreenRect &r = shown->screens.rects[s.screen];
        // A monitor being dragged follows the hand until it is let go.
        const QRect outline = s.outline.translated(0, s.screen == dragged ? dragBy : 0);
        painter.setBrush(QBrush(Qt::cyan, Qt::SolidPattern));
        painter.drawRect(outline);

        // On one line where it fits, else the name over the resolution.
        const QString text = label(shown->screens.names[s.screen], r);
        const int sw = outline.width();
        QStringList lines{text};
        if (metrics.horizontalAdvance(text) > sw - 4 && text.contains(QChar(0x00B7)))
            lines = text.split(QString(" ") + QChar(0x00B7) + " ");
        if (physical)
            lines << PhysicalLayout::sizeLabel(shown->screens, shown->choices, s.screen);
        const int fh = metrics.height();
        const int top = outline.y() + (outline.height() - fh * int(lines.size())) / 2;
        for (int line = 0; line < int(lines.size()); ++line) {
            const int tw = metrics.horizontalAdvance(lines[line]);
            painter.drawText(outline.x() + (sw - tw) / 2, top + fh * line + metrics.ascent(),
                             lines[line]);
        }
        if (s.screen == dragged)
            continue; // its markers stay for when it lands

        for (const Marker &m : s.markers) {
            painter.setBrush(QBrush(isOn(*shown, m) ? Qt::green : Qt::red, Qt::SolidPattern));
            painter.drawPolygon(m.polygon, Qt::OddEvenFill);
        }
    }
}

void WindowCanvas::mousePressEvent(QMouseEvent *e)
{
    QWidget::mousePressEvent(e);
    // Before the first paint there is no layout, and after a change of the
    // desktop the layout is of screens that may be gone: nothing can be hit
    // until the map is drawn again.
    if (!shown || !laidOut || laidOutFor != shown->layout)
        return;
    const QPoint p = e->pos();
    // Screens stacked at the desktop's edge each carry its marker; one press
    // flips that wrap once.
    Choices choices = shown->choices;
    bool leftFlipped = false, rightFlipped = false, flipped = false;
    for (const ScreenShape &s : shapes()) {
        for (const Marker &m : s.markers) {
            if (!m.polygon.containsPoint(p, Qt::OddEvenFill))
                continue;
            if (m.edge == Edge::Left && std::exchange(leftFlipped, true))
                continue;
            if (m.edge == Edge::Right && std::exchange(rightFlipped, true))
                continue;
            flip(choices, shown->screens, m);
            flipped = true;
        }
    }
    if (flipped) {
        emit choicesEdited(choices);
        return;
    }
    // Off the markers, at physical scale, a monitor is picked up.
    if (physical && e->button() == Qt::LeftButton) {
        dragged = screenAt(p);
        dragFrom = p.y();
        dragBy = 0;
    }
}

int WindowCanvas::screenAt(const QPoint &p) const
{
    for (const ScreenShape &s : map.shapes) {
        if (s.outline.contains(p))
            return s.screen;
    }
    return -1;
}

void WindowCanvas::mouseMoveEvent(QMouseEvent *e)
{
    QWidget::mouseMoveEvent(e);
    if (dragged < 0)
        return;
    dragBy = e->pos().y() - dragFrom;
    update();
}

void WindowCanvas::mouseReleaseEvent(QMouseEvent *e)
{
    QWidget::mouseReleaseEvent(e);
    const int screen = std::exchange(dragged, -1);
    update();
    if (screen < 0 || !shown || laidOutFor != shown->layout)
        return;
    const int mm = PhysicalLayout::dragMm(e->pos().y() - dragFrom, scaleDivisor);
    if (mm == 0)
        return;
    Choices choices = shown->choices;
    PhysicalLayout::raise(choices, shown->screens, screen, mm);
    emit choicesEdited(choices);
}

void WindowCanvas::contextMenuEvent(QContextMenuEvent *e)
{
    if (!shown || !laidOut || laidOutFor != shown->layout)
        return;
    const int screen = screenAt(e->pos());
    if (screen < 0)
        return;
    const QString &name = shown->screens.names[std::size_t(screen)];
    QMenu menu(this);
    menu.addAction("Set size by diagonal…", this, [this, screen] { emit diagonalWanted(screen); });
    // Forgetting the user's size brings back the reported one, if any.
    if (shown->choices.monitorSizesMm.contains(name)) {
        menu.addAction("Forget the size set", this, [this, name] {
            Choices choices = shown->choices;
            choices.monitorSizesMm.remove(name);
            emit choicesEdited(choices);
        });
    }
    menu.exec(e->globalPos());
}

void WindowCanvas::mouseDoubleClickEvent(QMouseEvent *)
{
    // QWidget's own would take the double click for a second press and flip
    // back what the press before it flipped.
}
