#include "gnomepointerwatch.h"
#include "shellgeometry.h"
#include "shelllink.h"
#include "snapshot.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace {

using Lines = std::vector<ShellSegment>;

// Two monitors of different heights side by side, as on a laptop beside a
// larger screen: DP-1 1920×1080 at 0,0 and HDMI-1 1280×720 at 1920,0.
Snapshot twoMonitors(bool left, bool right, bool easyMove, bool topOfSecond = false)
{
    Snapshot s;
    const std::vector<QString> names = {"DP-1", "HDMI-1"};
    s.choices.allowLeftWrap = left;
    s.choices.allowRightWrap = right;
    s.choices.easyMove = easyMove;
    if (topOfSecond)
        s.choices.monitorWraps["HDMI-1"].top = true;
    s.screens = ScreenTable({{0, 0, 1919, 1079}, {1920, 0, 3199, 719}}, names);
    s.screens.applyWraps(s.choices.monitorWraps);
    return s;
}

Lines linesOf(const Snapshot &s)
{
    Lines out;
    for (const auto &b : ShellGeometry::barriers(SensorLayout::strips(s), s.screens))
        out.push_back(b.line);
    return out;
}

// Each lets through inwards, and along itself.
constexpr unsigned X = ShellSegment::PositiveX | ShellSegment::NegativeX,
                   Y = ShellSegment::PositiveY | ShellSegment::NegativeY,
                   PX = ShellSegment::PositiveX | Y, NX = ShellSegment::NegativeX | Y,
                   PY = ShellSegment::PositiveY | X, NY = ShellSegment::NegativeY | X;

// Clutter's (and X11's) state bits.
constexpr unsigned shiftMask = 0x1, button1Mask = 0x100;

} // namespace

Q_DECLARE_METATYPE(Snapshot)
Q_DECLARE_METATYPE(Lines)

class TestGnomePlatform : public QObject
{
    Q_OBJECT

private slots:
    void barriersStandOnTheEdges_data();
    void barriersStandOnTheEdges();
    void pushesTouchTheirStrip();
    void pushesBecomeReadings();
    void noticesSayWhatToDo();
};

void TestGnomePlatform::barriersStandOnTheEdges_data()
{
    QTest::addColumn<Snapshot>("snapshot");
    QTest::addColumn<Lines>("lines");
    // Each strip's barrier lies on the outer side of its edge: on the left
    // column's own line, one past the right column or bottom row.
    QTest::newRow("nothing on") << twoMonitors(false, false, false) << Lines{};
    QTest::newRow("left wrap") << twoMonitors(true, false, false) << Lines{{0, 0, 0, 1080, PX}};
    QTest::newRow("right wrap") << twoMonitors(false, true, false)
                                << Lines{{3200, 0, 3200, 720, NX}};
    QTest::newRow("easy move beside the shorter monitor")
        << twoMonitors(false, false, true) << Lines{{1920, 720, 1920, 1080, NX}};
    QTest::newRow("a monitor's top wrap")
        << twoMonitors(false, false, false, true) << Lines{{1920, 0, 3200, 0, PY}};
    Snapshot paused = twoMonitors(true, true, true);
    paused.choices.paused = true;
    QTest::newRow("paused") << paused << Lines{};
}

void TestGnomePlatform::barriersStandOnTheEdges()
{
    QFETCH(Snapshot, snapshot);
    QFETCH(Lines, lines);
    QCOMPARE(linesOf(snapshot), lines);

    // The lock's four, around one monitor, each on the monitor's own
    // outermost pixels.
    QCOMPARE(ShellGeometry::around(QRect(1920, 0, 1280, 720)), (Lines{{1920, 0, 1920, 719, PX},
                                                                      {3199, 0, 3199, 719, NX},
                                                                      {1920, 0, 3199, 0, PY},
                                                                      {1920, 719, 3199, 719, NY}}));
}

void TestGnomePlatform::pushesTouchTheirStrip()
{
    const SensorStrip right{1919, 720, 1, 360};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        double x, y;
        QPoint touched;
    } cases[] = {
        {1920, 900, {1919, 900}},     // reported on the barrier's line
        {1919.4, 719.2, {1919, 720}}, // just above the strip: its first row
        {1919, 5000, {1919, 1079}},
        {nan, 800, {1919, 800}},
    };
    for (const auto &c : cases)
        QCOMPARE(ShellGeometry::pixelOnStrip(right, c.x, c.y), c.touched);
}

void TestGnomePlatform::pushesBecomeReadings()
{
    // A link on no bus: what the watch asks of it goes nowhere.
    ShellLink link(QDBusConnection(QStringLiteral("pellmar-no-bus")));
    GnomePointerWatch watch(link);
    watch.follow(twoMonitors(true, false, true));
    PointerReading r;
    QVERIFY(!watch.readPointer(r));
    QVERIFY(!watch.waitForMotion(0, true));

    // Barrier 1 is Easy Move's (the left wrap's is 0): a push with Shift
    // and a button held.
    watch.hit(1, 1, 1920, 900, 30, 2, shiftMask | button1Mask);
    QVERIFY(watch.waitForMotion(-1, true));
    QVERIFY(watch.readPointer(r));
    QCOMPARE(QPoint(r.x, r.y), QPoint(1919, 900));
    QCOMPARE(r.keys, unsigned(ShiftKey));
    QVERIFY(r.buttonHeld);
    double dx = 0, dy = 0;
    watch.takeDeviceMotion(dx, dy);
    QCOMPARE(dx, 30.0);
    QCOMPARE(dy, 2.0);

    // A push against barriers laid before, or against the lock's (beyond
    // the engine's), is no reading; nor is a position that is no number.
    watch.hit(0, 0, 0, 500, -5, 0, 0);
    watch.hit(1, 7, 0, 500, -5, 0, 0);
    watch.seen(std::nan(""), 3, 0);
    QVERIFY(!watch.readPointer(r));
    watch.takeDeviceMotion(dx, dy);
    QCOMPARE(dx, 0.0);

    // The next layout's barriers are generation 2.
    watch.follow(twoMonitors(true, true, false));
    watch.hit(1, 0, 0, 500, -5, 0, 0);
    QVERIFY(!watch.readPointer(r));
    watch.hit(2, 1, 3200, 300, 4, 0, 0);
    QVERIFY(watch.readPointer(r));
    QCOMPARE(QPoint(r.x, r.y), QPoint(3199, 300));

    // A position for the readout is a reading of its own, in passing: it
    // may come after a move made since.
    watch.seen(2500.7, 100.2, 0);
    QVERIFY(watch.readPointer(r));
    QCOMPARE(QPoint(r.x, r.y), QPoint(2500, 100));
    QVERIFY(r.inPassing);

    // A push not yet read is not lost to the position that comes after it.
    watch.hit(2, 0, 0, 400, -3, 0, 0);
    watch.seen(0, 400, 0);
    QVERIFY(watch.readPointer(r));
    QCOMPARE(QPoint(r.x, r.y), QPoint(0, 400));
    QVERIFY(!r.inPassing);

    // A wake ends a wait with nothing read.
    watch.wake();
    QVERIFY(!watch.waitForMotion(-1, true));
}

void TestGnomePlatform::noticesSayWhatToDo()
{
    using S = ShellLink::Status;
    const struct
    {
        S status;
        const char *says;
    } cases[] = {
        {S::Unknown, "next login"},
        {S::Unknown, "gnome-extensions enable pellmar@brenvik.com"},
        {S::Off, "gnome-extensions enable pellmar@brenvik.com"},
        {S::Failed, "did not start: SyntaxError at line 3"},
        {S::OutOfDate, "not made for this version of GNOME Shell"},
        {S::OtherVersion, "version 2 of its interface, and this Pellmar version 1"},
        {S::NoShell, "cannot reach GNOME Shell"},
        {S::Taken, "serves another program"},
    };
    for (const auto &c : cases) {
        const QString notice = ShellLink::noticeFor(c.status, "SyntaxError at line 3", 2);
        QVERIFY2(notice.contains(c.says), qPrintable(notice));
    }
    for (const S quiet : {S::Attached, S::Starting})
        QVERIFY(ShellLink::noticeFor(quiet, QString(), 1).isEmpty());
}

QTEST_GUILESS_MAIN(TestGnomePlatform)
#include "tst_gnomeplatform.moc"
