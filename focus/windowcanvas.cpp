#include "windowcanvas.h"

#include "enginestate.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

WindowCanvas::WindowCanvas(QWidget *parent) : QWidget(parent) {}

WindowCanvas::~WindowCanvas() = default;

void WindowCanvas::computeLayout()
{
    const std::vector<ScreenRect> &rects = engineState.screenTable.rects;
    if (scaleDivisor != 0 || rects.empty())
        return;
    const long availW = width() - 3;
    const long availH = height() - 3;
    const long n = static_cast<long>(rects.size());
    long totalW = 0;
    int minTop = rects.front().top;
    int maxBottom = rects.front().bottom;
    for (const ScreenRect &r : rects) {
        totalW += r.width();
        minTop = std::min(minTop, r.top);
        maxBottom = std::max(maxBottom, r.bottom);
    }
    const long span = std::labs(static_cast<long>(maxBottom) - minTop);
    const long gaps = (n - 1) * screenGap;
    // Past this divisor every screen is drawn zero pixels wide; stop there
    // even if the gaps alone do not fit.
    const long lastK = std::max(totalW, span) + 1;
    long k = 1;
    while (k < lastK && !(totalW / k + gaps <= availW && span / k <= availH))
        ++k;
    scaleDivisor = static_cast<unsigned>(k);
    layoutWidth = static_cast<unsigned>(totalW / k + gaps);
    layoutHeight = static_cast<unsigned>(span / k);
}

QVector<WindowCanvas::ScreenShape> WindowCanvas::shapes() const
{
    QVector<ScreenShape> out;
    const std::vector<ScreenRect> &rects = engineState.screenTable.rects;
    if (scaleDivisor == 0 || rects.empty())
        return out;
    const int k = static_cast<int>(scaleDivisor);
    const int availW = width() - 3;
    const int availH = height() - 3;
    const int offX = (availW - static_cast<int>(layoutWidth)) / 2 + 1;
    const int offY = (availH - static_cast<int>(layoutHeight)) / 2 + 1;
    int minTop = rects.front().top;
    for (const ScreenRect &r : rects)
        minTop = std::min(minTop, r.top);

    const int n = static_cast<int>(rects.size());
    const int a = markerDepth;
    int L = offX;
    for (int i = 0; i < n; ++i) {
        const ScreenRect &r = rects[i];
        const int sw = r.width() / k;
        const int sh = r.height() / k;
        // Screens lower on the desktop are drawn that much lower on the map,
        // their markers with them.
        const int T = offY + (r.top - minTop) / k;
        const int R = L + sw;
        const int B = T + sh;
        ScreenShape s{i, QRect(L, T, sw, sh), {}};
        s.markers.append(
            {i, Edge::Top, QPolygon({{L, T}, {R, T}, {R - a, T + a}, {L + a, T + a}})});
        if (i == n - 1)
            s.markers.append(
                {i, Edge::Right, QPolygon({{R, T}, {R, B}, {R - a, B - a}, {R - a, T + a}})});
        s.markers.append(
            {i, Edge::Bottom, QPolygon({{R, B}, {L, B}, {L + a, B - a}, {R - a, B - a}})});
        if (i == 0)
            s.markers.append(
                {i, Edge::Left, QPolygon({{L, B}, {L, T}, {L + a, T + a}, {L + a, B - a}})});
        out.append(s);
        L = R + screenGap;
    }
    return out;
}

bool WindowCanvas::isOn(const Marker &marker)
{
    const ScreenWrapFlags &f = engineState.screenTable.wrapFlags[marker.screen];
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
    ScreenWrapFlags &f = engineState.screenTable.wrapFlags[marker.screen];
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
    if (engineState.screenTable.rects.empty())
        return;
    computeLayout();
    const int k = static_cast<int>(scaleDivisor);

    QFont font("Arial");
    if ((15 / k) * 10 > 0)
        font.setPointSize((15 / k) * 10);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();

    for (const ScreenShape &s : shapes()) {
        const ScreenRect &r = engineState.screenTable.rects[s.screen];
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
        // Before the first paint there is no layout: nothing can be hit.
        for (const ScreenShape &s : shapes()) {
            for (const Marker &m : s.markers) {
                if (m.polygon.containsPoint(p, Qt::OddEvenFill))
                    flip(m);
            }
        }
        repaint();
    }
    return true;
}
