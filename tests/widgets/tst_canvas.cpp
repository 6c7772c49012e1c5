#include "physicallayout.h"
#include "windowcanvas.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::vector<ScreenRect>)

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

const std::vector<ScreenRect> twoFullHd{rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)};

using E = WindowCanvas::Edge;

// A canvas of the main window's size over the given screens, laid out. It
// plays the application's part too: what a press asks for is shown back to
// it as the next snapshot.
struct Canvas
{
    explicit Canvas(const std::vector<ScreenRect> &screens)
    {
        replug(screens);
        QObject::connect(&widget, &WindowCanvas::choicesEdited, [this](const Choices &c) {
            ++edits;
            show(c);
        });
        widget.resize(561, 351);
        widget.computeLayout();
    }

    // The choices over the current screens, the screens' switches taken
    // from them, in the current layout.
    void show(const Choices &c)
    {
        auto next = std::make_shared<Snapshot>();
        next->choices = c;
        next->screens = table;
        next->screens.applyWraps(c.monitorWraps);
        next->layout = layout;
        shown = next;
        widget.setSnapshot(next);
    }

    // A new desktop: a new layout, the choices kept. The screens have no
    // output names, so they are "#0", "#1", ... in the order given.
    void replug(const std::vector<ScreenRect> &screens)
    {
        table = ScreenTable(screens);
        ++layout;
        show(shown ? shown->choices : Choices());
    }

    const Choices &choices() const { return shown->choices; }

    QImage image()
    {
        QImage img(widget.size(), QImage::Format_RGB32);
        img.fill(Qt::white);
        widget.render(&img);
        return img;
    }

    WindowCanvas::Marker marker(int screen, E edge) const
    {
        for (const WindowCanvas::ScreenShape &s : widget.shapes())
            for (const WindowCanvas::Marker &m : s.markers)
                if (m.screen == screen && m.edge == edge)
                    return m;
        return {-1, edge, {}};
    }

    // A point well inside a marker: the mean of its four corners.
    QPoint inside(int screen, E edge) const
    {
        const QPolygon p = marker(screen, edge).polygon;
        QPoint sum;
        for (const QPoint &c : p)
            sum += c;
        return sum / 4;
    }

    // Every marker's wrap as the shown snapshot has it, in drawing order.
    QList<bool> wraps() const
    {
        QList<bool> out;
        for (const WindowCanvas::ScreenShape &s : widget.shapes())
            for (const WindowCanvas::Marker &m : s.markers)
                out << WindowCanvas::isOn(*shown, m);
        return out;
    }

    int indexOf(int screen, E edge) const
    {
        int i = 0;
        for (const WindowCanvas::ScreenShape &s : widget.shapes())
            for (const WindowCanvas::Marker &m : s.markers) {
                if (m.screen == screen && m.edge == edge)
                    return i;
                ++i;
            }
        return -1;
    }

    ScreenTable table;
    std::uint64_t layout = 0;
    std::shared_ptr<const Snapshot> shown;
    int edits = 0; // choicesEdited signals
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

    void labels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("named") << "DP-1" << QString("DP-1 \u00B7 2560\u00D71440");
        // A screen the window system did not name is known by its place,
        // which is no name a user could bind a key to.
        QTest::newRow("unnamed") << "#1" << QString("2560\u00D71440");
        QTest::newRow("empty") << "" << QString("2560\u00D71440");
    }

    void labels()
    {
        QFETCH(QString, name);
        QTEST(WindowCanvas::label(name, rect(1920, 0, 4479, 1439)), "label");
    }

    void twoScreensPolygons()
    {
        Canvas c(twoFullHd);
        const auto shapes = c.widget.shapes();
        QCOMPARE(shapes.size(), 2);
        QCOMPARE(shapes[0].outline, QRect(1, 98, 274, 154)); // x 1..275, y 98..252
        QCOMPARE(shapes[1].outline.x(), 285);
        QCOMPARE(shapes[1].outline.x() + shapes[1].outline.width(), 559);
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
        QCOMPARE(c.marker(1, E::Top).polygon.first(), shapes[1].outline.topLeft());
        // And screens above the first one (negative tops) too.
        Canvas up({rect(0, 0, 1919, 1079), rect(1920, -300, 3199, 723)});
        const auto s = up.widget.shapes();
        QCOMPARE(s[0].outline.y() - s[1].outline.y(), 300 / int(up.widget.scaleDivisor));
    }

    void paintsScreensAndMarkerColours()
    {
        Canvas c(twoFullHd);
        Choices on;
        on.allowLeftWrap = true;
        on.monitorWraps["#1"].top = true; // the second screen, by the name it has
        c.show(on);
        const QImage img = c.image();
        QCOMPARE(QColor(img.pixel(c.inside(0, E::Left))), QColor(Qt::green));
        QCOMPARE(QColor(img.pixel(c.inside(1, E::Right))), QColor(Qt::red));
        QCOMPARE(QColor(img.pixel(c.inside(1, E::Top))), QColor(Qt::green));
        QCOMPARE(QColor(img.pixel(c.inside(0, E::Top))), QColor(Qt::red));
        QCOMPARE(QColor(img.pixel(c.inside(0, E::Bottom))), QColor(Qt::red));
        QCOMPARE(QColor(img.pixel(40, 140)), QColor(Qt::cyan)); // body of screen 0
        QCOMPARE(QColor(img.pixel(280, 140)), c.widget.palette().color(QPalette::Window)); // gap
        QCOMPARE(QColor(img.pixel(0, 0)), QColor(Qt::black)); // the frame
        QCOMPARE(QColor(img.pixel(560, 350)), QColor(Qt::black));
    }

    void pressFlipsOnlyTheMarkerHit()
    {
        Canvas c(twoFullHd);
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));

        // Any button flips; each press flips the one marker hit and asks
        // once.
        struct Press
        {
            Qt::MouseButton button;
            int screen;
            E edge;
        };
        const Press presses[] = {{Qt::LeftButton, 1, E::Top},    {Qt::RightButton, 1, E::Top},
                                 {Qt::MiddleButton, 0, E::Left}, {Qt::LeftButton, 1, E::Right},
                                 {Qt::LeftButton, 0, E::Bottom}, {Qt::LeftButton, 1, E::Bottom}};
        QList<bool> expected = c.wraps();
        QCOMPARE(expected.size(), 6);
        QVERIFY(!expected.contains(true));
        Choices wanted = c.choices();
        int edits = 0;
        for (const Press &p : presses) {
            const int i = c.indexOf(p.screen, p.edge);
            QVERIFY(i >= 0);
            QTest::mousePress(&c.widget, p.button, {}, c.inside(p.screen, p.edge));
            expected[i] = !expected[i];
            QCOMPARE(c.edits, ++edits);
            QCOMPARE(c.wraps(), expected);
            // The choices change in that one switch and nowhere else.
            const QString monitor = QString("#%1").arg(p.screen);
            if (p.edge == E::Top)
                wanted.monitorWraps[monitor].top = expected[i];
            else if (p.edge == E::Bottom)
                wanted.monitorWraps[monitor].bottom = expected[i];
            else
                (p.edge == E::Left ? wanted.allowLeftWrap : wanted.allowRightWrap) = expected[i];
            QVERIFY(c.choices() == wanted);
        }
        // What was asked for is in the choices: the desktop's edges, and
        // each monitor's own by its name.
        QVERIFY(c.choices().allowLeftWrap && c.choices().allowRightWrap);
        QCOMPARE(c.choices().monitorWraps.value("#0"), (MonitorWraps{false, true}));
        QCOMPARE(c.choices().monitorWraps.value("#1"), (MonitorWraps{false, true}));
        // And what is shown is painted.
        QCOMPARE(QColor(c.widget.grab().toImage().pixel(c.inside(1, E::Bottom))),
                 QColor(Qt::green));

        // Bodies, labels, gaps, the frame: nothing flips. Nor the place of
        // the first screen's left marker on the second screen, which has
        // none.
        const QPoint mirrored = c.inside(0, E::Left) + QPoint(284, 0);
        for (const QPoint p : {QPoint(140, 175), QPoint(280, 175), QPoint(420, 175), QPoint(5, 5),
                               QPoint(280, 100), mirrored})
            QTest::mousePress(&c.widget, Qt::LeftButton, {}, p);
        QCOMPARE(c.edits, edits);
        QCOMPARE(c.wraps(), expected);
    }

    void doubleClickFlipsOnce()
    {
        Canvas c(twoFullHd);
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        // As the window system delivers a double click: press, release,
        // double click, release. Only the first is a press.
        const QPointF p = c.inside(0, E::Top);
        for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                               QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = t != QEvent::MouseButtonRelease;
            QMouseEvent e(t, p, p, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(&c.widget, &e);
        }
        QCOMPARE(c.edits, 1);
        QVERIFY(c.choices().monitorWraps.value("#0").top);
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
        const bool top = c.choices().monitorWraps.value("#0").top;
        const bool left = c.choices().allowLeftWrap;
        QVERIFY(top || left);
        QCOMPARE(c.edits, 1); // one press, one request, however many it flips
        QCOMPARE(top, c.marker(0, E::Top).polygon.containsPoint(corner, Qt::OddEvenFill));
        QCOMPARE(left, c.marker(0, E::Left).polygon.containsPoint(corner, Qt::OddEvenFill));
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
        QCOMPARE(edges(0), (QList<E>{E::Top, E::Bottom, E::Left}));
        QCOMPARE(edges(1), (QList<E>{E::Top, E::Bottom, E::Left}));
        QCOMPARE(edges(2), (QList<E>{E::Top, E::Right, E::Bottom}));
    }

    void stackedScreensFlipTheDesktopEdgeOnce()
    {
        // Both stacked screens carry a left marker; a press on either flips
        // the one desktop edge.
        Canvas c({rect(0, 0, 2559, 1439), rect(0, 1440, 1919, 2519), rect(2560, 0, 3839, 1023)});
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, c.inside(1, E::Left));
        QVERIFY(c.choices().allowLeftWrap);
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, c.inside(0, E::Left));
        QVERIFY(!c.choices().allowLeftWrap);
        QCOMPARE(c.edits, 2);
    }

    void mapFollowsANewLayout()
    {
        Canvas c(twoFullHd);
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        const QPoint oldTop = c.inside(1, E::Top);
        c.replug({rect(0, 0, 1919, 1079)});
        // Until it is drawn again the old layout is no target.
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, oldTop);
        QCOMPARE(c.edits, 0);
        c.image(); // a paint lays the new layout out
        QCOMPARE(c.widget.shapes().size(), 1);
        QCOMPARE(c.widget.scaleDivisor, 4u);
        // And then it is one.
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, c.inside(0, E::Top));
        QCOMPARE(c.edits, 1);
        QVERIFY(c.choices().monitorWraps.value("#0").top);
    }

    void aDragAtPhysicalScaleRaisesTheMonitor_data()
    {
        QTest::addColumn<bool>("physical");
        QTest::addColumn<int>("dy");
        QTest::newRow("up") << true << -12;
        QTest::newRow("down") << true << 20;
        QTest::newRow("in pixels nothing moves") << false << -12;
    }

    void aDragAtPhysicalScaleRaisesTheMonitor()
    {
        QFETCH(bool, physical);
        QFETCH(int, dy);
        // A 1280x720 of 600x338 mm beside a 1920x1080 of 530x298 mm.
        Canvas c({rect(0, 0, 1279, 719), rect(1280, 0, 3199, 1079)});
        c.table = ScreenTable(c.table.rects, {}, {{600, 338}, {530, 298}});
        ++c.layout;
        c.show(Choices());
        c.widget.setPhysicalScale(physical);
        c.widget.computeLayout();
        const auto rise = [&c] {
            return c.widget.shapes()[0].outline.center().y() -
                   c.widget.shapes()[1].outline.center().y();
        };
        const int before = rise();
        const unsigned k = c.widget.scaleDivisor;
        const QPoint from = c.widget.shapes()[1].outline.center();
        QTest::mousePress(&c.widget, Qt::LeftButton, {}, from);
        QTest::mouseMove(&c.widget, from + QPoint(0, dy));
        QTest::mouseRelease(&c.widget, Qt::LeftButton, {}, from + QPoint(0, dy));
        QCOMPARE(c.edits, physical ? 1 : 0);
        QCOMPARE(c.choices().offsetMm("#0", "#1"), physical ? PhysicalLayout::dragMm(dy, k) : 0);
        // Drawn where it was let go, to the map's pixel.
        c.widget.computeLayout();
        QVERIFY2(std::abs(rise() - before + (physical ? dy : 0)) <= 1,
                 qPrintable(QString("%1 then %2").arg(before).arg(rise())));
    }

    void pressBeforeTheFirstPaintHitsNothing()
    {
        WindowCanvas w;
        w.resize(561, 351);
        int edits = 0;
        connect(&w, &WindowCanvas::choicesEdited, [&] { ++edits; });
        const QPointF leftMarker(8, 175); // where two full HD screens put it
        auto press = [&] {
            QMouseEvent e(QEvent::MouseButtonPress, leftMarker, leftMarker, Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &e);
        };
        press(); // nothing shown at all yet
        auto s = std::make_shared<Snapshot>();
        s->screens = ScreenTable(twoFullHd);
        s->layout = 1;
        w.setSnapshot(s);
        QCOMPARE(w.scaleDivisor, 0u);
        press();
        QCOMPARE(edits, 0);
        // Laid out, the same press hits.
        w.computeLayout();
        press();
        QCOMPARE(edits, 1);
    }
};

QTEST_MAIN(TestCanvas)
#include "tst_canvas.moc"
