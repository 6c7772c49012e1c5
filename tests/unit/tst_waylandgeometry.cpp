#include "waylandgeometry.h"

#include <QtTest>

using namespace WaylandGeometry;

Q_DECLARE_METATYPE(SensorStrip)
Q_DECLARE_METATYPE(LayerPlacement)
Q_DECLARE_METATYPE(AbsoluteMotion)

namespace {

LayerPlacement placed(std::uint32_t anchor, int top, int right, int bottom, int left, int width,
                      int height)
{
    LayerPlacement p;
    p.fits = true;
    p.anchor = anchor;
    p.top = top;
    p.right = right;
    p.bottom = bottom;
    p.left = left;
    p.width = width;
    p.height = height;
    return p;
}

} // namespace

// What the compositor is asked for: a layer surface that lies exactly on a
// strip, and absolute moves that land on the pixel meant.
class TestWaylandGeometry : public QObject
{
    Q_OBJECT

private slots:
    void place_data()
    {
        QTest::addColumn<SensorStrip>("strip");
        QTest::addColumn<QRect>("output");
        QTest::addColumn<LayerPlacement>("expected");
        const QRect left(0, 0, 1920, 1080), right(1920, 0, 1280, 1024);
        const QRect lowered(1920, 176, 1280, 1024);
        QTest::newRow("left column, whole height")
            << SensorStrip{0, 0, 1, 1080} << left
            << placed(AnchorLeft | AnchorTop | AnchorBottom, 0, 0, 0, 0, 1, 0);
        QTest::newRow("right column of a second output")
            << SensorStrip{3199, 0, 1, 1024} << right
            << placed(AnchorRight | AnchorTop | AnchorBottom, 0, 0, 0, 0, 1, 0);
        QTest::newRow("top row") << SensorStrip{1920, 0, 1280, 1} << right
                                 << placed(AnchorLeft | AnchorRight | AnchorTop, 0, 0, 0, 0, 0, 1);
        QTest::newRow("bottom row of a lowered output")
            << SensorStrip{1920, 1199, 1280, 1} << lowered
            << placed(AnchorLeft | AnchorRight | AnchorBottom, 0, 0, 0, 0, 0, 1);
        // Easy Move: the taller output's side beside the shorter one's
        // missing rows.
        QTest::newRow("overhang at the bottom")
            << SensorStrip{1919, 1024, 1, 56} << left
            << placed(AnchorRight | AnchorBottom, 0, 0, 0, 0, 1, 56);
        QTest::newRow("underhang at the top")
            << SensorStrip{1919, 0, 1, 176} << QRect(0, 0, 1920, 1200)
            << placed(AnchorRight | AnchorTop, 0, 0, 0, 0, 1, 176);
        QTest::newRow("neither edge: margins from the top left")
            << SensorStrip{100, 200, 1, 50} << QRect(-1920, 100, 3840, 1000)
            << placed(AnchorLeft | AnchorTop, 100, 0, 0, 2020, 1, 50);
        QTest::newRow("output to the left of the origin")
            << SensorStrip{-1280, 0, 1, 1024} << QRect(-1280, 0, 1280, 1024)
            << placed(AnchorLeft | AnchorTop | AnchorBottom, 0, 0, 0, 0, 1, 0);
        QTest::newRow("not on the output")
            << SensorStrip{1920, 0, 1, 1080} << left << LayerPlacement{};
        QTest::newRow("reaching past it")
            << SensorStrip{1919, 0, 1, 1081} << left << LayerPlacement{};
        QTest::newRow("empty strip") << SensorStrip{0, 0, 0, 1} << left << LayerPlacement{};
    }

    void place()
    {
        QFETCH(SensorStrip, strip);
        QFETCH(QRect, output);
        QFETCH(LayerPlacement, expected);
        const LayerPlacement p = WaylandGeometry::place(strip, output);
        QCOMPARE(p.fits, expected.fits);
        QCOMPARE(p.anchor, expected.anchor);
        QCOMPARE(QMargins(p.left, p.top, p.right, p.bottom),
                 QMargins(expected.left, expected.top, expected.right, expected.bottom));
        QCOMPARE(QSize(p.width, p.height), QSize(expected.width, expected.height));
    }

    void extent()
    {
        QCOMPARE(WaylandGeometry::extent(ScreenTable()), QRect());
        const ScreenTable two({{0, 0, 1919, 1079}, {1920, 176, 3199, 1199}});
        QCOMPARE(WaylandGeometry::extent(two), QRect(0, 0, 3200, 1200));
        const ScreenTable leftOfOrigin({{-1280, -100, -1, 923}, {0, 0, 1919, 1079}});
        QCOMPARE(WaylandGeometry::extent(leftOfOrigin), QRect(-1280, -100, 3200, 1180));
    }

    void absoluteMotion_data()
    {
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("extent");
        QTest::addColumn<AbsoluteMotion>("expected");
        const QRect desktop(0, 0, 3200, 1080);
        QTest::newRow("the first pixel's centre")
            << QPoint(0, 0) << desktop << AbsoluteMotion{1, 1, 6400, 2160};
        QTest::newRow("a wrap to the left edge")
            << QPoint(1, 500) << desktop << AbsoluteMotion{3, 1001, 6400, 2160};
        QTest::newRow("a wrap to the right edge")
            << QPoint(3198, 500) << desktop << AbsoluteMotion{6397, 1001, 6400, 2160};
        QTest::newRow("the last pixel")
            << QPoint(3199, 1079) << desktop << AbsoluteMotion{6399, 2159, 6400, 2160};
        QTest::newRow("a desktop left of the origin")
            << QPoint(-1279, 10) << QRect(-1280, -100, 3200, 1180)
            << AbsoluteMotion{3, 221, 6400, 2360};
        QTest::newRow("beyond the desktop: its nearest pixel")
            << QPoint(4000, -5) << desktop << AbsoluteMotion{6399, 1, 6400, 2160};
        QTest::newRow("no desktop") << QPoint(10, 10) << QRect() << AbsoluteMotion{};
    }

    void absoluteMotion()
    {
        QFETCH(QPoint, to);
        QFETCH(QRect, extent);
        QFETCH(AbsoluteMotion, expected);
        const AbsoluteMotion m = WaylandGeometry::absoluteMotion(to.x(), to.y(), extent);
        QCOMPARE(QRect(m.x, m.y, m.xExtent, m.yExtent),
                 QRect(expected.x, expected.y, expected.xExtent, expected.yExtent));
        if (extent.isEmpty())
            return;
        // Scaled back as the compositor does, it lands inside the pixel.
        const double x = extent.left() + double(m.x) / m.xExtent * extent.width();
        const double y = extent.top() + double(m.y) / m.yExtent * extent.height();
        const QPoint clamped(std::clamp(to.x(), extent.left(), extent.right()),
                             std::clamp(to.y(), extent.top(), extent.bottom()));
        QCOMPARE(QPoint(int(std::floor(x)), int(std::floor(y))), clamped);
    }

    void pixelAt()
    {
        const SensorStrip right{3199, 0, 1, 1024};
        QCOMPARE(WaylandGeometry::pixelAt(right, 0, 0), QPoint(3199, 0));
        // Pinned at the edge the pointer sits a hair short of the next pixel.
        QCOMPARE(WaylandGeometry::pixelAt(right, 0.99609375, 511.5), QPoint(3199, 511));
        // Held by a press on the strip, the pointer is reported beyond it.
        QCOMPARE(WaylandGeometry::pixelAt(right, -20.25, 3), QPoint(3178, 3));
    }
};

QTEST_APPLESS_MAIN(TestWaylandGeometry)
#include "tst_waylandgeometry.moc"
