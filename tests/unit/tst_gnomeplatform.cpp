#include "fakeservice.h"
#include "gnomepointerwatch.h"
#include "privatebus.h"
#include "shellcontract.h"
#include "shellgeometry.h"
#include "shelllink.h"
#include "shellproxy.h"
#include "snapshot.h"

#include <QDBusArgument>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

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

// GNOME Shell's extension states, as org.gnome.Shell.Extensions tells them.
QVariantMap extensionInfo(double state, const QString &error = QString())
{
    QVariantMap info{{"uuid", ShellContract::uuid}, {"state", state}};
    if (!error.isEmpty())
        info["error"] = error;
    return info;
}

} // namespace

Q_DECLARE_METATYPE(Snapshot)
Q_DECLARE_METATYPE(Lines)
Q_DECLARE_METATYPE(HelperLink::Status)

class TestGnomePlatform : public QObject
{
    Q_OBJECT

private slots:
    void barriersStandOnTheEdges_data();
    void barriersStandOnTheEdges();
    void pushesTouchTheirStrip();
    void pushesBecomeReadings();
    void noticesSayWhatToDo();
    void shellSaysWhyTheExtensionIsAway_data();
    void shellSaysWhyTheExtensionIsAway();
    void speaksTheExtensionsWire();

private:
    // Pellmar's GNOME Shell extension, and the Shell's list of extensions,
    // on a bus of the test's own.
    struct Desktop
    {
        PrivateBus bus;
        std::unique_ptr<FakeService> extension;
        std::unique_ptr<FakeService> extensions;
    };
    static std::unique_ptr<Desktop> desktop();
};

std::unique_ptr<TestGnomePlatform::Desktop> TestGnomePlatform::desktop()
{
    auto d = std::make_unique<Desktop>();
    if (d->bus.address().isEmpty())
        return nullptr;
    ShellWire::registerTypes();
    d->extension =
        std::make_unique<FakeService>(d->bus.connect("extension"), ShellContract::busName,
                                      ShellContract::objectPath, ShellProxy::staticInterfaceName());
    d->extension->offer("Version", QVariant::fromValue(ShellContract::version));
    d->extension->answer("Attach", {QVariant::fromValue(ShellContract::version)});
    d->extensions =
        std::make_unique<FakeService>(d->bus.connect("shell"), "org.gnome.Shell.Extensions",
                                      "/org/gnome/Shell/Extensions", "org.gnome.Shell.Extensions");
    return d;
}

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
    // The same barriers again (a snapshot that changed something else) stay
    // generation 2: a push on its way against them still counts.
    watch.follow(twoMonitors(true, true, false));
    watch.hit(2, 1, 3200, 310, 4, 0, 0);
    QVERIFY(watch.readPointer(r));
    QCOMPARE(QPoint(r.x, r.y), QPoint(3199, 310));

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
    const QString enable = QString("gnome-extensions enable ") + ShellContract::uuid;
    const QString versions = QString("version %1 of its interface, and this Pellmar version %2")
                                 .arg(ShellContract::version + 1)
                                 .arg(ShellContract::version);
    const struct
    {
        S status;
        QString says;
    } cases[] = {
        {S::Unknown, "next login"},
        {S::Unknown, enable},
        {S::Off, enable},
        {S::Failed, "did not start: SyntaxError at line 3"},
        {S::OutOfDate, "not made for this version of GNOME Shell"},
        {S::OtherVersion, versions},
        {S::Unreachable, "cannot reach GNOME Shell"},
        {S::Taken, "serves another program"},
    };
    for (const auto &c : cases) {
        const QString notice =
            ShellLink::noticeFor(c.status, "SyntaxError at line 3", ShellContract::version + 1);
        QVERIFY2(notice.contains(c.says), qPrintable(notice));
    }
    for (const S quiet : {S::Attached, S::Starting})
        QVERIFY(ShellLink::noticeFor(quiet, QString(), 1).isEmpty());
}

void TestGnomePlatform::shellSaysWhyTheExtensionIsAway_data()
{
    QTest::addColumn<bool>("shellThere");
    QTest::addColumn<QVariantMap>("info");
    QTest::addColumn<HelperLink::Status>("status");
    QTest::addColumn<QString>("says");
    using S = HelperLink::Status;
    QTest::newRow("running, not on the bus yet") << true << extensionInfo(1) << S::Starting << "";
    QTest::newRow("turned off") << true << extensionInfo(2) << S::Off << "is turned off";
    QTest::newRow("failed") << true << extensionInfo(3, "SyntaxError at line 3") << S::Failed
                            << "did not start: SyntaxError at line 3. Pellmar cannot";
    QTest::newRow("out of date") << true << extensionInfo(4) << S::OutOfDate << "not made for";
    QTest::newRow("uninstalled") << true << extensionInfo(99) << S::Unknown << "next login";
    QTest::newRow("never heard of") << true << QVariantMap() << S::Unknown << "next login";
    QTest::newRow("no Shell") << false << QVariantMap() << S::Unreachable << "cannot reach";
}

void TestGnomePlatform::shellSaysWhyTheExtensionIsAway()
{
    QFETCH(bool, shellThere);
    QFETCH(QVariantMap, info);
    QFETCH(HelperLink::Status, status);
    QFETCH(QString, says);
    const auto d = desktop();
    if (!d)
        QSKIP("no dbus-daemon to run a bus of the test's own");
    d->extensions->answer("GetExtensionInfo", {info});
    if (shellThere)
        d->extensions->appear();

    ShellLink link(d->bus.connect("pellmar"));
    link.open();
    QCOMPARE(link.status(), status);
    QVERIFY2(says.isEmpty() ? link.notice().isEmpty() : link.notice().contains(says),
             qPrintable(link.notice()));
    if (shellThere) {
        const auto asked = d->extensions->calls();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].arguments(), QVariantList{ShellContract::uuid});
    }
}

void TestGnomePlatform::speaksTheExtensionsWire()
{
    const auto d = desktop();
    if (!d)
        QSKIP("no dbus-daemon to run a bus of the test's own");
    FakeService &shell = *d->extension;
    shell.answer("GetMonitors", {QVariant::fromValue(QList<ShellMonitor>{
                                    {"DP-1", QRect(0, 0, 1920, 1080)},
                                    {"HDMI-1", QRect(1920, 0, 1280, 720)},
                                    {"Unplugged-1", QRect(0, 0, 0, 0)},
                                })});
    shell.answer("GetPointer", {2000.5, 100.25, 0u, QString("HDMI-1")});
    shell.answer("GetFullscreen", {true});
    shell.appear();
    d->extensions->answer("GetExtensionInfo", {extensionInfo(2)});
    d->extensions->appear();

    ShellLink link(d->bus.connect("pellmar"));
    link.open();
    QVERIFY(link.attached());
    // A monitor of no size is none.
    QCOMPARE(link.monitors(), (std::vector<ShellMonitor>{{"DP-1", QRect(0, 0, 1920, 1080)},
                                                         {"HDMI-1", QRect(1920, 0, 1280, 720)}}));
    QCOMPARE(link.pointerMonitor(), QString("HDMI-1"));
    QCOMPARE(link.pointer(), std::optional<QPointF>(QPointF(2000.5, 100.25)));
    QVERIFY(link.fullscreen());
    // Attached, it sends what was asked so far: nothing yet.
    QTRY_COMPARE(shell.called(),
                 (QStringList{"Attach()", "GetMonitors()", "GetPointer()", "GetFullscreen()",
                              "SetBarriers(ua(iiiiu))", "SetCurtains(a(su))", "WatchPosition(u)"}));

    // What Pellmar asks, as the extension reads it.
    shell.forget();
    const Lines engine = {{0, 0, 0, 1080, PX}}, lock = {{1920, 0, 1920, 719, PX}};
    link.setBarriers(3, engine);
    link.setLock(lock);
    link.setCurtains({{"DP-1", 40}, {"HDMI-1", 150}});
    link.warp(5, 6);
    link.watchPosition(40);
    const QStringList asked = {"SetBarriers(ua(iiiiu))", "SetBarriers(ua(iiiiu))",
                               "SetCurtains(a(su))", "Warp(dd)", "WatchPosition(u)"};
    QTRY_COMPARE(shell.called(), asked);
    QList<QDBusMessage> calls = shell.calls();
    QCOMPARE(calls[0].arguments().at(0).toUInt(), 3u);
    QCOMPARE(qdbus_cast<QList<ShellSegment>>(calls[0].arguments().at(1)),
             QList<ShellSegment>{engine[0]});
    QCOMPARE(calls[1].arguments().at(0).toUInt(), 3u);
    QCOMPARE(qdbus_cast<QList<ShellSegment>>(calls[1].arguments().at(1)),
             (QList<ShellSegment>{engine[0], lock[0]}));
    QList<ShellCurtain> curtains = qdbus_cast<QList<ShellCurtain>>(calls[2].arguments().at(0));
    QCOMPARE(curtains.size(), 2);
    QCOMPARE(curtains[1].connector, QString("HDMI-1"));
    QCOMPARE(curtains[1].darkness, 100u); // at most all black
    QCOMPARE(calls[3].arguments(), (QVariantList{5.0, 6.0}));
    QCOMPARE(calls[4].arguments(), QVariantList{40u});

    // What the extension tells.
    QSignalSpy hits(&link, &ShellLink::barrierHit);
    shell.emitSignal("BarrierHit", {3u, 1u, 1920.0, 900.0, 30.0, 2.0, 0x101u});
    QTRY_COMPARE(hits.count(), 1);
    QCOMPARE(hits[0], (QVariantList{3u, 1u, 1920.0, 900.0, 30.0, 2.0, 0x101u}));
    // A signal of another shape is no news.
    shell.emitSignal("Position", {10.0, 20.0});
    shell.emitSignal("PointerMonitorChanged", {QString("DP-1")});
    QTRY_COMPARE(link.pointerMonitor(), QString("DP-1"));
    QCOMPARE(link.pointer(), std::optional<QPointF>(QPointF(2000.5, 100.25)));
    shell.emitSignal("Position", {10.0, 20.0, 0u});
    QTRY_COMPARE(link.pointer(), std::optional<QPointF>(QPointF(10, 20)));
    shell.emitSignal("FullscreenChanged", {false});
    QTRY_VERIFY(!link.fullscreen());
    // A new layout: the extension took every barrier down, the lock's too.
    shell.emitSignal("MonitorsChanged",
                     {QVariant::fromValue(QList<ShellMonitor>{{"DP-1", QRect(0, 0, 1920, 1080)}})});
    QTRY_COMPARE(link.monitors().size(), size_t(1));
    shell.emitSignal("FullscreenChanged", {true});
    QTRY_VERIFY(link.fullscreen());

    // Gone (turned off, or the lock screen), then back: what was asked
    // goes out again.
    shell.vanish();
    QTRY_COMPARE(link.status(), HelperLink::Status::Off);
    QVERIFY(!link.fullscreen());
    shell.forget();
    shell.appear();
    QTRY_VERIFY(link.attached());
    QTRY_COMPARE(shell.called().size(), 7);
    calls = shell.calls();
    QCOMPARE(shell.called().mid(0, 5), (QStringList{"Attach()", "GetMonitors()", "GetPointer()",
                                                    "GetFullscreen()", "SetBarriers(ua(iiiiu))"}));
    QCOMPARE(qdbus_cast<QList<ShellSegment>>(calls[4].arguments().at(1)),
             (QList<ShellSegment>{engine[0]}));
    QCOMPARE(shell.called().mid(5), (QStringList{"SetCurtains(a(su))", "WatchPosition(u)"}));
}

QTEST_GUILESS_MAIN(TestGnomePlatform)
#include "tst_gnomeplatform.moc"
