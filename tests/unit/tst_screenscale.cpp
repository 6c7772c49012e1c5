#include "screenscale.h"

#include <QtTest>

using Screens = std::vector<ScreenScale::Screen>;
Q_DECLARE_METATYPE(Screens)

namespace {

// A 4K monitor left of a 1080p one, as Qt shows them under each kind of
// scaling; `server`: whether the X server's own rectangles are known.
Screens fourKAnd1080p(double left, double right, bool server)
{
    const QRect nativeLeft(0, 0, 3840, 2160), nativeRight(3840, 0, 1920, 1080);
    const auto logical = [](const QRect &r, double ratio) {
        return QRect(r.topLeft(), QSize(int(r.width() / ratio), int(r.height() / ratio)));
    };
    return {{"DUMMY0", logical(nativeLeft, left), left, server ? nativeLeft : QRect()},
            {"DUMMY1", logical(nativeRight, right), right, server ? nativeRight : QRect()}};
}

} // namespace

class TestScreenScale : public QObject
{
    Q_OBJECT

private slots:
    void screensInTheServersPixels_data()
    {
        QTest::addColumn<Screens>("screens");
        QTest::newRow("unscaled") << fourKAnd1080p(1, 1, true);
        QTest::newRow("QT_SCALE_FACTOR=2") << fourKAnd1080p(2, 2, true);
        QTest::newRow("per screen, 2 and 1") << fourKAnd1080p(2, 1, true);
        QTest::newRow("1.5, the server not asked") << fourKAnd1080p(1.5, 1.5, false);
        QTest::newRow("2, the server not asked") << fourKAnd1080p(2, 2, false);
    }

    void screensInTheServersPixels()
    {
        QFETCH(Screens, screens);
        QCOMPARE(ScreenScale::nativeOf(screens[0]), QRect(0, 0, 3840, 2160));
        QCOMPARE(ScreenScale::nativeOf(screens[1]), QRect(3840, 0, 1920, 1080));
        // A curtain over a whole screen is Qt's own rectangle for it.
        for (const ScreenScale::Screen &s : screens)
            QCOMPARE(ScreenScale::toLogical(ScreenScale::nativeOf(s), screens), s.logical);
        // Qt's cursor position back in the server's pixels: the corners and
        // a point inside each screen.
        const double left = screens[0].ratio, right = screens[1].ratio;
        QCOMPARE(ScreenScale::toNative(QPoint(0, 0), screens), QPoint(0, 0));
        QCOMPARE(ScreenScale::toNative(QPoint(100, 50), screens),
                 QPoint(qRound(100 * left), qRound(50 * left)));
        // Qt's last pixel covers `ratio` of the server's: the first of them.
        const QPoint corner = ScreenScale::toNative(screens[0].logical.bottomRight(), screens);
        QVERIFY(QRect(0, 0, 3840, 2160).contains(corner));
        QVERIFY(corner.x() > 3839 - left && corner.y() > 2159 - left);
        QCOMPARE(ScreenScale::toNative(QPoint(3840 + 10, 20), screens),
                 QPoint(3840 + qRound(10 * right), qRound(20 * right)));
        // Part of a screen, and a point on no screen, are left alone or
        // scaled by the screen that holds them.
        QCOMPARE(ScreenScale::toLogical(QRect(3840, 0, 960, 540), screens),
                 QRect(3840, 0, qRound(960 / right), qRound(540 / right)));
        QCOMPARE(ScreenScale::toNative(QPoint(-5, -5), screens), QPoint(-5, -5));
    }
};

QTEST_GUILESS_MAIN(TestScreenScale)
#include "tst_screenscale.moc"
