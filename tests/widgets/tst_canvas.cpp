#include "enginestate.h"
#include "windowcanvas.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::vector<ScreenRect>)

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

const std::vector<ScreenRect> twoFullHd{rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)};

// A canvas of the main window's size over the given screens, laid out.
struct Canvas
{
    explicit Canvas(const std::vector<ScreenRect> &screens)
    {
        engineState.buildScreenTable(screens);
        engineState.allowLeftWrap = false;
        engineState.allowRightWrap = false;
        widget.resize(561, 351);
        widget.computeLayout();
    }

    QImage image()
    {
        QImage img(widget.size(), QImage::Format_RGB32);
        img.fill(Qt::white);
        widget.render(&img);
        return img;
    }

    WindowCanvas::Marker marker(int screen, WindowCanvas::Edge edge) const
    {
        for (const WindowCanvas::ScreenShape &s : widget.shapes())
            for (const WindowCanvas::Marker &m : s.markers)
                if (m.screen == screen && m.edge == edge)
                    return m;
        return {-1, edge, {}};
    }

    // A point well inside a marker: the mean of its four corners.
    QPoint inside(int screen, WindowCanvas::Edge edge) const
    {
        const QPolygon p = marker(screen, edge).polygon;
        QPoint sum;
        for (const QPoint &c : p)
            sum += c;
        return sum / 4;
    }

    WindowCanvas widget;
};

QPolygon poly(std::initializer_list<QPoint> points)
{
    return QPolygon(QVector<QPoint>(points));
}

} // namespace

class TestCanvas : public QObject
{
    Q_OBJECT

private slots:
    void scale_data()
    {
        QTest::addColumn<std::vector<ScreenRect>>("screens");
        QTest::addColumn<unsigned>("k");
        QTest::addColumn<unsigned>("width");
        QTest::addColumn<unsigned>("height");
        QTest::newRow("one full HD")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079)} << 4u << 480u << 269u;
        QTest::newRow("two full HD") << twoFullHd << 7u << 558u << 154u;
        QTest::newRow("three full HD")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079),
                                       rect(3840, 0, 5759, 1079)}
            << 11u << 543u << 98u;
        QTest::newRow("1280x1024 beside 1920x1080")
            << std::vector<ScreenRect>{rect(0, 0, 1279, 1023), rect(1280, 0, 3199, 1079)} << 6u
            << 543u << 179u;
    }

    void scale()
    {
        QFETCH(std::vector<ScreenRect>, screens);
        QFETCH(unsigned, k);
        QFETCH(unsigned, width);
        QFETCH(unsigned, height);
        Canvas c(screens);
        QCOMPARE(c.widget.scaleDivisor, k);
        QCOMPARE(c.widget.layoutWidth, width);
        QCOMPARE(c.widget.layoutHeight, height);
    }

    void twoScreensPolygons()
    {
        Canvas c(twoFullHd);
        const auto shapes = c.widget.shapes();
        QCOMPARE(shapes.size(), 2);
        QCOMPARE(shapes[0].outline, QRect(1, 98, 274, 154)); // x 1..275, y 98..252
        QCOMPARE(shapes[1].outline.x(), 285);
        QCOMPARE(shapes[1].outline.x() + shapes[1].outline.width(), 559);
        using E = WindowCanvas::Edge;
        QCOMPARE(c.marker(0, E::Top).polygon, poly({{1, 98}, {275, 98}, {260, 113}, {16, 113}}));
        QCOMPARE(c.marker(0, E::Left).polygon, poly({{1, 252}, {1, 98}, {16, 113}, {16, 237}}));
        QCOMPARE(c.marker(1, E::Right).polygon,
                 poly({{559, 98}, {559, 252}, {544, 237}, {544, 113}}));
        // Only the outer screens carry the desktop-edge markers.
        QCOMPARE(c.marker(0, E::Right).screen, -1);
        QCOMPARE(c.marker(1, E::Left).screen, -1);
        // Drawing order per screen: top, right (last screen), bottom, left (first).
        QCOMPARE(shapes[0].markers.size(), 3);
        QCOMPARE(shapes[0].markers[2].edge, E::Left);
        QCOMPARE(shapes[1].markers[1].edge, E::Right);
    }

    void differentWidthsAndOneScreen()
    {
        Canvas c({rect(0, 0, 1279, 1023), rect(1280, 0, 3199, 1079)});
        const auto shapes = c.widget.shapes();
        QCOMPARE(shapes[0].outline, QRect(8, 85, 213, 170));
        QCOMPARE(shapes[1].outline, QRect(231, 85, 320, 180));

        Canvas one({rect(0, 0, 1919, 1079)});
        const auto s = one.widget.shapes();
        QCOMPARE(s.size(), 1);
        QCOMPARE(s[0].outline.topLeft(), QPoint(40, 40));
        QCOMPARE(s[0].markers.size(), 4); // top, right, bottom, left
    }

    void screensLowerDownAreDrawnLower()
    {
        // A 1280x1024 screen whose top is 56 rows below its neighbour's.
        Canvas c({rect(0, 0, 1919, 1079), rect(1920, 56, 3199, 1079)});
        const auto shapes = c.widget.shapes();
        const int k = int(c.widget.scaleDivisor);
        QCOMPARE(shapes[1].outline.y() - shapes[0].outline.y(), 56 / k);
        // Its markers follow its rectangle.
        QCOMPARE(c.marker(1, WindowCanvas::Edge::Top).polygon.first(), shapes[1].outline.topLeft());
        // And screens above the first one (negative tops) too.
        Canvas up({rect(0, 0, 1919, 1079), rect(1920, -300, 3199, 723)});
        const auto s = up.widget.shapes();
        QCOMPARE(s[0].outline.y() - s[1].outline.y(), 300 / int(up.widget.scaleDivisor));
    }

    void paintsScreensAndMarkerColours()
    {
        Canvas c(twoFullHd);
        engineState.allowLeftWrap = true;
        engineState.screens.editable().wrapFlags[1].wrapTop = true;
        const QImage img = c.image();
        using E = WindowCanvas::Edge;
        QCOMPARE(QColor(img.pixel(c.inside(0, E::Left))), QColor(Qt::green));
        QCOMPARE(QColor(img.pixel(c.inside(1, E::Right))), QColor(Qt::red));
        QCOMPARE(QColor(img.pixel(c.inside(1, E::Top))), QColor(Qt::green));
        QCOMPARE(QColor(img.pixel(c.inside(0, E::Top))), QColor(Qt::red));
        QCOMPARE(QColor(img.pixel(c.inside(0, E::Bottom))), QColor(Qt::red));
        QCOMPARE(QColor(img.pixel(40, 140)), QColor(Qt::cyan)); // body of screen 0
        QCOMPARE(QColor(img.pixel(280, 140)), c.widget.palette().color(QPalette::Window)); // gap
        QCOMPARE(QColor(img.pixel(0, 0)), QColor(Qt::black)); // the frame
        QCOMPARE(QColor(img.pixel(560, 350)), QColor(Qt::black));
        engineState.allowLeftWrap = false;
    }

    void pressFlipsOnlyTheMarkerHit()
    {
        Canvas c(twoFullHd);
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        using E = WindowCanvas::Edge;
        ScreenWrapFlags &f1 = engineState.screens.editable().wrapFlags[1];

        QTest::mousePress(&c.widget, Qt::LeftButton, {}, c.inside(1, E::Top));
        QVERIFY(f1.wrapTop);
        QCOMPARE(QColor(c.widget.grab().toImage().pixel(c.inside(1, E::Top))), QColor(Qt::green));
        QTest::mousePress(&c.widget, Qt::RightButton, {}, c.inside(1, E::Top));
        QVERIFY(!f1.wrapTop);
        QTest::mousePress(&c.widget, Qt::MiddleButton, {}, c.inside(0, E::Left));
        QVERIFY(engineState.allowLeftWrap);
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, c.inside(1, E::Right));
        QVERIFY(engineState.allowRightWrap);
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, c.inside(0, E::Bottom));
        QVERIFY(engineState.screens.editable().wrapFlags[0].wrapBottom);

        // Bodies, labels, gaps: nothing flips.
        for (const QPoint p :
             {QPoint(140, 175), QPoint(280, 175), QPoint(420, 175), QPoint(5, 5), QPoint(280, 100)})
            QTest::mousePress(&c.widget, Qt::LeftButton, {}, p);
        QVERIFY(engineState.allowLeftWrap && engineState.allowRightWrap);
        QVERIFY(!engineState.screens.editable().wrapFlags[0].wrapTop);
        QVERIFY(!f1.wrapTop && !f1.wrapBottom);

        // The place of the first screen's left marker, on the second screen:
        // only the first screen has one.
        const QPoint mirrored = c.inside(0, E::Left) + QPoint(284, 0);
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, mirrored);
        QVERIFY(engineState.allowLeftWrap);
    }

    void doubleClickFlipsOnce()
    {
        Canvas c(twoFullHd);
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        // As the window system delivers a double click: press, release,
        // double click, release. Only the first is a press.
        const QPointF p = c.inside(0, WindowCanvas::Edge::Top);
        for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                               QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = t != QEvent::MouseButtonRelease;
            QMouseEvent e(t, p, p, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(&c.widget, &e);
        }
        QVERIFY(engineState.screens.editable().wrapFlags[0].wrapTop);
    }

    void sharedCornerFlipsBoth()
    {
        Canvas c({rect(0, 0, 1919, 1079)});
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        // Top-left corner of the one screen: the diagonal shared by the top
        // and left markers, a few pixels in.
        const QPoint corner = c.widget.shapes()[0].outline.topLeft() + QPoint(3, 3);
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, corner);
        const bool top = engineState.screens.editable().wrapFlags[0].wrapTop;
        const bool left = engineState.allowLeftWrap;
        QVERIFY(top || left);
        QCOMPARE(
            top,
            c.marker(0, WindowCanvas::Edge::Top).polygon.containsPoint(corner, Qt::OddEvenFill));
        QCOMPARE(
            left,
            c.marker(0, WindowCanvas::Edge::Left).polygon.containsPoint(corner, Qt::OddEvenFill));
    }

    void stackedScreensStandInAColumn()
    {
        // A laptop under a wider monitor, a third screen right of the monitor.
        const std::vector<ScreenRect> screens{rect(0, 0, 2559, 1439), rect(0, 1440, 1919, 2519),
                                              rect(2560, 0, 3839, 1023)};
        const MapGeometry m = MapGeometry::compute(screens, QSize(561, 351));
        QCOMPARE(m.shapes.size(), 3);
        const QRect monitor = m.shapes[0].outline, laptop = m.shapes[1].outline,
                    side = m.shapes[2].outline;
        QCOMPARE(laptop.x(), monitor.x());
        QCOMPARE(laptop.y(), monitor.y() + monitor.height() + MapGeometry::screenGap);
        QCOMPARE(side.x(), monitor.x() + monitor.width() + MapGeometry::screenGap);
        QCOMPARE(side.y(), monitor.y());
        // Everything inside the canvas's frame.
        const QRect inner(1, 1, 558, 348);
        for (const MapGeometry::ScreenShape &s : m.shapes)
            QVERIFY2(inner.contains(s.outline), qPrintable(QString::number(s.screen)));
        // The desktop's left edge is reached by both stacked screens, the
        // right edge by the third only.
        auto edges = [&](int i) {
            QList<MapGeometry::Edge> out;
            for (const MapGeometry::Marker &mk : m.shapes[i].markers)
                out << mk.edge;
            return out;
        };
        using E = MapGeometry::Edge;
        QCOMPARE(edges(0), (QList<E>{E::Top, E::Bottom, E::Left}));
        QCOMPARE(edges(1), (QList<E>{E::Top, E::Bottom, E::Left}));
        QCOMPARE(edges(2), (QList<E>{E::Top, E::Right, E::Bottom}));
    }

    void mapFollowsANewTable()
    {
        Canvas c(twoFullHd);
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        engineState.buildScreenTable({rect(0, 0, 1919, 1079)});
        // Until it is drawn again the old layout is no target.
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, c.inside(1, WindowCanvas::Edge::Top));
        QVERIFY(!engineState.screenTable().wrapFlags[0].wrapTop);
        c.image(); // a paint lays the new table out
        QCOMPARE(c.widget.shapes().size(), 1);
        QCOMPARE(c.widget.scaleDivisor, 4u);
    }

    void pressBeforeTheFirstPaintHitsNothing()
    {
        engineState.buildScreenTable(twoFullHd);
        engineState.allowLeftWrap = false;
        WindowCanvas w;
        w.resize(561, 351);
        QCOMPARE(w.scaleDivisor, 0u);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(8, 175), QPointF(8, 175),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(QCoreApplication::sendEvent(&w, &press)); // every event returns true
        QVERIFY(!engineState.allowLeftWrap);
    }
};

QTEST_MAIN(TestCanvas)
#include "tst_canvas.moc"
