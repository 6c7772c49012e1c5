#include "contactsource.h"
#include "engine.h"
#include "fakepointer.h"
#include "logicctrl.h"
#include "pollingsource.h"
#include "watchingsource.h"

#include <QtTest>
#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(std::vector<ScreenRect>)
Q_DECLARE_METATYPE(std::vector<QPoint>)

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

// A snapshot as the application makes one: the screens (unnamed, so
// called "#0", "#1"...) with their switches from the choices.
std::shared_ptr<const Snapshot> snapshotOf(const std::vector<ScreenRect> &screens,
                                           const Choices &choices, quint64 layout)
{
    auto s = std::make_shared<Snapshot>();
    s->choices = choices;
    s->screens = ScreenTable(screens);
    s->screens.applyWraps(choices.monitorWraps);
    s->screens.applySizes(choices.monitorSizesMm);
    s->layout = layout;
    return s;
}

// The engine thread's part run by hand over a fake pointer at (500, 500),
// on a clock the test steps: pass() is one turn of the engine's loop, and
// takeMotion() the wait between two turns cut short. What it reports is
// written down as it comes, with the time for the readout.
struct Rig
{
    // `contacts`: seen only on sensor contacts, as on Wayland.
    Rig(bool watching, std::vector<ScreenRect> desktop, bool contacts = false)
        : screens(std::move(desktop))
    {
        pointer.setReportsMotion(watching);
        pointer.setContactsOnly(contacts);
        pointer.warp(500, 500);
        if (contacts)
            source = std::make_unique<ContactSource>(pointer);
        else if (watching)
            source = std::make_unique<WatchingSource>(pointer);
        else
            source = std::make_unique<PollingSource>(pointer);
        logic = std::make_unique<LogicCtrl>(inbox, *source);
        logic->setClock([this] { return now; });
        QObject::connect(
            logic.get(), &LogicCtrl::readout, logic.get(),
            [this](int x, int y, int speed) {
                readouts << QString("%1,%2 %3").arg(x).arg(y).arg(speed);
                readoutTimes << now;
            },
            Qt::DirectConnection);
        QObject::connect(
            logic.get(), &LogicCtrl::pointerUnseen, logic.get(),
            [this] {
                readouts << "unseen";
                readoutTimes << now;
            },
            Qt::DirectConnection);
        QObject::connect(
            logic.get(), &LogicCtrl::focusScreen, logic.get(),
            [this](int screen, quint64 forLayout) {
                focus << QString("%1 @%2").arg(screen).arg(forLayout);
            },
            Qt::DirectConnection);
    }

    // New choices over the same screens, as a new snapshot.
    void publish(const Choices &c) { inbox.snapshot.publish(snapshotOf(screens, c, ++layout)); }

    unsigned long pass() { return logic->pass(); }
    void takeMotion() { source->wait(0); }
    // Time passes with nothing happening but what the engine asks for
    // itself: after each turn the clock moves on by the wait it asked for,
    // the last turn at the end.
    void idle(qint64 ms)
    {
        const qint64 end = now + ms;
        for (;;) {
            const qint64 wait = qint64(pass() / 1000);
            if (now >= end)
                return;
            now = std::min(end, now + std::max<qint64>(wait, 1));
        }
    }

    std::vector<ScreenRect> screens;
    EngineInbox inbox;
    FakePointer pointer;
    std::unique_ptr<SampleSource> source;
    std::unique_ptr<LogicCtrl> logic;
    qint64 now = 1000;
    quint64 layout = 0;
    QStringList readouts; // "x,y speed"
    QVector<qint64> readoutTimes;
    QStringList focus; // "screen @layout"
};

const std::vector<ScreenRect> oneScreen = {rect(0, 0, 1919, 1079)};
const std::vector<ScreenRect> twoScreens = {rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)};

Choices rightWrap()
{
    Choices c;
    c.allowRightWrap = true;
    return c;
}

} // namespace

class TestLogicCtrl : public QObject
{
    Q_OBJECT

    static void bothSources()
    {
        QTest::addColumn<bool>("watching");
        QTest::newRow("watching") << true;
        QTest::newRow("polling") << false;
    }

private slots:
    void nothingBeforeTheFirstSnapshotAndSample_data() { bothSources(); }

    void nothingBeforeTheFirstSnapshotAndSample()
    {
        QFETCH(bool, watching);
        Rig rig(watching, twoScreens);
        // No snapshot: nothing to work on, nothing read.
        for (int k = 0; k < 100; ++k) {
            rig.pointer.moveDevice(3839, 5);
            rig.takeMotion();
            QVERIFY(rig.pass() > 0);
            ++rig.now;
        }
        QCOMPARE(rig.pointer.reads(), 0);

        // Left wrap on and the desktop starting at x 0: while the pointer
        // cannot be read, the readout's start value (0, 0) must neither be
        // shown nor acted on.
        Choices c;
        c.allowLeftWrap = true;
        c.screenFocus = true;
        rig.publish(c);
        rig.pointer.failReads(true);
        rig.idle(1000);
        QVERIFY(rig.pointer.reads() > 0);
        QVERIFY(rig.pointer.moves().empty());
        QVERIFY(rig.readouts.isEmpty());
        QVERIFY(rig.focus.isEmpty());

        // The first sample that can be read is shown and acted on.
        rig.pointer.failReads(false);
        rig.pointer.moveDevice(700, 20);
        rig.takeMotion();
        rig.pass();
        QCOMPARE(rig.readouts, QStringList{"700,20 0"});
        QCOMPARE(rig.focus, QStringList{"0 @1"});
        QVERIFY(rig.pointer.moves().empty());

        // Told not to run, the loop takes no turn at all.
        const int reads = rig.pointer.reads();
        rig.inbox.lookNow = true;
        rig.logic->run();
        QCOMPARE(rig.pointer.reads(), reads);
    }

    void aJumpIsNotReplayedOnAStalePosition_data() { bothSources(); }

    void aJumpIsNotReplayedOnAStalePosition()
    {
        // The engine reads and moves the pointer the same way, in order:
        // the read after a jump sees where it went.
        QFETCH(bool, watching);
        Rig rig(watching, twoScreens);
        rig.publish(rightWrap());
        rig.pass();
        rig.pointer.moveDevice(3839, 400);
        rig.takeMotion();
        ++rig.now;
        const unsigned long wait = rig.pass();
        QCOMPARE(rig.pointer.moves(), (std::vector<QPoint>{{1, 400}}));
        // Watching, the follow-up read comes at once; polling, at the next
        // short pause.
        QCOMPARE(wait, watching ? 0ul : PollingSource::activePauseUs);
        const int reads = rig.pointer.reads();
        rig.pass();
        QCOMPARE(rig.pointer.reads(), reads + 1);
        rig.idle(1000);
        QCOMPARE(rig.pointer.moves().size(), std::size_t(1));
        QVERIFY2(rig.readouts.last().startsWith("1,400 "), qPrintable(rig.readouts.last()));

        // Back on the edge (the user pushed back): a fresh sample, a jump.
        rig.pointer.moveDevice(3839, 400);
        rig.takeMotion();
        rig.pass();
        QCOMPARE(rig.pointer.moves(), (std::vector<QPoint>{{1, 400}, {1, 400}}));
    }

    void readoutIsPaced_data() { bothSources(); }

    void readoutIsPaced()
    {
        // A pointer that moves all the time, a turn every millisecond: the
        // readout at most once per interval, and the last position shown
        // in the end, its speed 0 once it has stood still.
        QFETCH(bool, watching);
        Rig rig(watching, oneScreen);
        rig.publish(Choices());
        for (int k = 0; k < 200; ++k) {
            rig.pointer.moveDevice(k, 5);
            rig.takeMotion();
            rig.pass();
            ++rig.now;
        }
        const int refreshes = rig.readouts.size();
        QVERIFY2(refreshes >= 200 / LogicCtrl::labelIntervalMs &&
                     refreshes <= 200 / LogicCtrl::labelIntervalMs + 1,
                 qPrintable(rig.readouts.join(" | ")));
        rig.idle(1000);
        QVERIFY2(rig.readouts.last() == "199,5 0", qPrintable(rig.readouts.join(" | ")));
        QVERIFY(rig.readouts[rig.readouts.size() - 2].startsWith("199,5 "));
        for (int k = 1; k < rig.readoutTimes.size(); ++k)
            QVERIFY(rig.readoutTimes[k] - rig.readoutTimes[k - 1] >= LogicCtrl::labelIntervalMs);
    }

    void readoutShowsTheLastSampleAndFallsStill_data() { bothSources(); }

    void readoutShowsTheLastSampleAndFallsStill()
    {
        QFETCH(bool, watching);
        Rig rig(watching, oneScreen);
        rig.publish(Choices());
        rig.pointer.warp(10, 10);
        rig.pass(); // the first look, shown at once
        QCOMPARE(rig.readouts, QStringList{"10,10 0"});

        // A new sample too soon after: shown once the interval is up, even
        // though nothing moves after it.
        rig.pointer.moveDevice(20, 10);
        rig.takeMotion();
        ++rig.now;
        const unsigned long wait = rig.pass();
        QCOMPARE(rig.readouts.size(), 1);
        QVERIFY2(wait <= LogicCtrl::labelIntervalMs * 1000, qPrintable(QString::number(wait)));
        rig.idle(LogicCtrl::labelIntervalMs - 1);
        QCOMPARE(rig.readouts, (QStringList{"10,10 0", "20,10 10"}));
        QCOMPARE(rig.readoutTimes.last(), 1000 + LogicCtrl::labelIntervalMs);

        // Still since 1001 (a look that finds the pointer where it was
        // changes nothing): the speed falls to 0 a whole window later, with
        // no sample to say so, and an unchanged readout is not sent again,
        // whatever the engine looks at meanwhile.
        rig.now = 1050;
        rig.inbox.lookNow = true;
        rig.idle(1000);
        QCOMPARE(rig.readouts, (QStringList{"10,10 0", "20,10 10", "20,10 0"}));
        const qint64 fell = rig.readoutTimes.last();
        QVERIFY2(fell >= 1001 + ArrivalGate::windowMs && fell <= 1001 + ArrivalGate::windowMs + 1,
                 qPrintable(QString::number(fell)));
        rig.inbox.lookNow = true;
        rig.pass();
        QCOMPARE(rig.readouts.size(), 3);
    }

    // Seen only on contacts, the pointer out of sight has no position: the
    // readout says so rather than keep the last one, nothing jumps on the
    // stale one, and the curtains are not moved by where it touched last.
    void readoutOfAPointerOutOfSight()
    {
        Rig rig(true, twoScreens, true);
        Choices c = rightWrap();
        c.screenFocus = true;
        rig.publish(c);
        rig.pointer.moveDevice(3000, 400);
        rig.pass();
        QCOMPARE(rig.readouts, QStringList{"3000,400 0"});
        rig.pointer.warp(3839, 400);
        rig.pointer.setOutOfSight(true);
        rig.idle(100);
        QCOMPARE(rig.readouts, (QStringList{"3000,400 0", "unseen"}));
        QVERIFY(rig.pointer.moves().empty());
        rig.pointer.setOutOfSight(false);
        rig.pointer.moveDevice(3839, 300);
        rig.idle(100);
        QCOMPARE(rig.pointer.moves(), std::vector<QPoint>{QPoint(1, 300)});
        // (The speed between contacts means nothing; the window says so.)
        QCOMPARE(rig.readouts.mid(0, 2), (QStringList{"3000,400 0", "unseen"}));
        QVERIFY2(rig.readouts.value(2).startsWith("3839,300 "), qPrintable(rig.readouts.join('|')));
        QVERIFY(rig.focus.isEmpty());
        // A position seen in passing (GNOME's, for the readout) is shown,
        // but moves nothing, even on an edge: it may be older than the
        // engine's last move.
        rig.pointer.setSeenInPassing(true);
        rig.pointer.moveDevice(3839, 200);
        rig.idle(100);
        QCOMPARE(rig.pointer.moves().size(), std::size_t(1));
        QVERIFY2(rig.readouts.last().startsWith("3839,200 "), qPrintable(rig.readouts.join('|')));
    }

    // A jump asked for from outside (`pellmar --jump`) is made by the engine
    // thread, once, wherever the pointer is.
    void aJumpAskedForIsMadeOnce_data() { bothSources(); }

    void aJumpAskedForIsMadeOnce()
    {
        QFETCH(bool, watching);
        Rig rig(watching, twoScreens);
        rig.publish(Choices());
        rig.pass();
        rig.inbox.jumpTo = EngineInbox::pack(2880, -40);
        rig.inbox.jumpWanted = true;
        rig.pass();
        rig.idle(100);
        QCOMPARE(rig.pointer.moves(), std::vector<QPoint>{QPoint(2880, -40)});
    }

    void readoutOnlyWhileShown_data() { bothSources(); }

    void readoutOnlyWhileShown()
    {
        QFETCH(bool, watching);
        Rig rig(watching, oneScreen);
        rig.publish(Choices());
        rig.pass();
        QCOMPARE(rig.readouts, QStringList{"500,500 0"});
        rig.inbox.readoutShown = false;
        for (int x = 600; x < 1000; x += 100) {
            rig.pointer.moveDevice(x, 40);
            rig.takeMotion();
            rig.idle(100);
        }
        QCOMPARE(rig.readouts.size(), 1);
        // Shown again (which also asks for a look): the newest at once.
        rig.pointer.warp(1200, 40);
        rig.inbox.readoutShown = true;
        rig.inbox.lookNow = true;
        rig.pass();
        QCOMPARE(rig.readouts.size(), 2);
        QVERIFY2(rig.readouts.last().startsWith("1200,40 "), qPrintable(rig.readouts.last()));
    }

    void watchingSamplesOnlyOnMotion()
    {
        Rig rig(true, oneScreen);
        rig.publish(rightWrap());
        // The first look, for the new snapshot, finds nothing moving: the
        // engine sleeps until the next look, and no sooner unless the
        // device moves.
        QCOMPARE(rig.pass(), static_cast<unsigned long>(WatchingSource::warpCheckMs * 1000));
        QCOMPARE(rig.pointer.reads(), 1);
        for (int k = 0; k < 50; ++k) {
            rig.takeMotion();
            rig.pass();
            ++rig.now;
        }
        QCOMPARE(rig.pointer.reads(), 1);
        rig.now += WatchingSource::warpCheckMs; // the next look
        rig.pass();
        QCOMPARE(rig.pointer.reads(), 2);

        // A burst of motion between two turns, even right after that look:
        // one read, at once.
        for (int k = 0; k < 30; ++k)
            rig.pointer.moveDevice(600 + k, 500);
        rig.takeMotion();
        ++rig.now;
        rig.pass();
        QCOMPARE(rig.pointer.reads(), 3);
        QCOMPARE(rig.readouts.last(), QString("629,500 129"));
        // Motion right after a sample taken on motion is read once the
        // interval is up.
        rig.pointer.moveDevice(1919, 300);
        rig.takeMotion();
        const unsigned long wait = rig.pass();
        QCOMPARE(rig.pointer.reads(), 3);
        QVERIFY(wait <= WatchingSource::motionIntervalMs * 1000);

        // Onto the edge: the jump, and at once a look where it went.
        rig.now += WatchingSource::motionIntervalMs;
        QCOMPARE(rig.pass(), 0ul);
        QCOMPARE(rig.pointer.moves(), (std::vector<QPoint>{{1, 300}}));
        QCOMPARE(rig.pointer.reads(), 4);
        rig.pass();
        QCOMPARE(rig.pointer.reads(), 5);
        QCOMPARE(rig.pointer.moves().size(), std::size_t(1));
    }

    void watchingFindsAWarpedPointer()
    {
        // A pointer put on the edge by another program makes no device
        // motion: the slow look finds it, or a look asked for.
        static_assert(WatchingSource::warpCheckMs <= 250, "a warp must be caught within 250 ms");
        Rig rig(true, oneScreen);
        rig.publish(rightWrap());
        rig.pass();
        rig.pointer.warp(1919, 50);
        const unsigned long wait = rig.pass();
        QVERIFY(wait >= 1000 && wait <= WatchingSource::warpCheckMs * 1000);
        rig.now += WatchingSource::warpCheckMs - 1;
        rig.pass();
        QVERIFY(rig.pointer.moves().empty());
        rig.now += 1;
        rig.pass();
        QCOMPARE(rig.pointer.moves(), (std::vector<QPoint>{{1, 50}}));

        // The look after the jump fails (the server is going away): the
        // engine waits for the next look instead of trying again at once.
        rig.pointer.failReads(true);
        const int reads = rig.pointer.reads();
        for (int k = 0; k < 100; ++k)
            QVERIFY(rig.pass() >= 1000);
        QCOMPARE(rig.pointer.reads(), reads + 1);

        // Asked to look (Engine::lookAgain), it looks at once.
        rig.pointer.failReads(false);
        rig.now += 5;
        rig.pointer.warp(1919, 60);
        rig.inbox.lookNow = true;
        rig.pass();
        QCOMPARE(rig.pointer.moves(), (std::vector<QPoint>{{1, 50}, {1, 60}}));
    }

    void heldKeysButtonsAndPushWhileWatching()
    {
        Rig rig(true, oneScreen);
        Choices c = rightWrap();
        c.monitorWraps["#0"].top = true;
        c.bypassModifier = AltKey;
        rig.publish(c);
        auto sample = [&] {
            rig.now += WatchingSource::motionIntervalMs;
            rig.takeMotion();
            rig.pass();
        };
        auto settle = [&] {
            rig.pointer.warp(500, 500);
            sample();
        };
        using Moves = std::vector<QPoint>;
        // Alt held, or a button: no wrap at all, vertical ones neither.
        for (auto [keys, button] : {std::pair<unsigned, bool>{AltKey, false}, {0, true}}) {
            rig.pointer.hold(keys, button);
            rig.pointer.moveDevice(1919, 300);
            sample();
            rig.pointer.moveDevice(700, 0);
            sample();
            QVERIFY(rig.pointer.moves().empty());
        }
        rig.pointer.hold(0, false);
        rig.pointer.moveDevice(700, 0);
        sample();
        QCOMPARE(rig.pointer.moves(), (Moves{{700, 1078}}));
        settle();

        // Push through 100: pinned on the edge, the device must push on.
        c.pushThrough = 100;
        rig.publish(c);
        rig.pointer.moveDevice(1919, 300);
        sample();
        for (int k = 0; k < 3; ++k) {
            rig.pointer.pushDevice(30, 0);
            sample();
        }
        QCOMPARE(rig.pointer.moves().size(), std::size_t(1));
        rig.pointer.pushDevice(30, 0);
        sample();
        QCOMPARE(rig.pointer.moves().back(), QPoint(1, 300));
        settle();

        // Paused: nothing moves.
        c.paused = true;
        c.pushThrough = 0;
        rig.publish(c);
        rig.pointer.moveDevice(1919, 300);
        sample();
        rig.pointer.moveDevice(700, 0);
        sample();
        QCOMPARE(rig.pointer.moves().size(), std::size_t(2));

        // Left resting on the edge while paused, it stays there when Pellmar
        // resumes, until the device pushes on.
        rig.pointer.moveDevice(1919, 300);
        sample();
        c.paused = false;
        rig.publish(c);
        rig.inbox.lookNow = true;
        rig.pass();
        QCOMPARE(rig.pointer.moves().size(), std::size_t(2));
        rig.pointer.pushDevice(30, 0);
        sample();
        QCOMPARE(rig.pointer.moves().back(), QPoint(1, 300));
    }

    void pushThroughNeedsHeardMotion()
    {
        // Polling, the device's own motion is not heard: arrival decides.
        Rig rig(false, oneScreen);
        Choices c = rightWrap();
        c.pushThrough = 100;
        rig.publish(c);
        rig.pass();
        rig.pointer.warp(1919, 300);
        rig.pass();
        QCOMPARE(rig.pointer.moves(), (std::vector<QPoint>{{1, 300}}));
    }

    void pollingBacksOffWhenStill()
    {
        Rig rig(false, oneScreen);
        rig.publish(Choices());
        // Standing still, or unreadable: the pause must reach its bound,
        // never pass it, and get there within a few hundred samples. The
        // first changed sample brings the short pause back at once, and for
        // a while after it (more motion is likely to come).
        for (bool unreadable : {false, true}) {
            unsigned long longest = 0;
            int passes = 0;
            rig.pointer.failReads(unreadable);
            while (passes < 2000 && longest < PollingSource::idlePauseBoundUs) {
                const unsigned long pause = rig.pass();
                QVERIFY(pause <= PollingSource::idlePauseBoundUs);
                longest = std::max(longest, pause);
                rig.now += std::max<qint64>(1, qint64(pause / 1000));
                ++passes;
            }
            QCOMPARE(longest, PollingSource::idlePauseBoundUs);
            QVERIFY2(passes < 400, qPrintable(QString::number(passes)));
            rig.pointer.failReads(false);
            rig.pointer.warp(rig.pointer.position().x() + 1, 300);
            QCOMPARE(rig.pass(), PollingSource::activePauseUs);
            QCOMPARE(rig.pass(), PollingSource::activePauseUs);
        }
    }

    void focusFollowsThePointer_data()
    {
        QTest::addColumn<std::vector<ScreenRect>>("screens");
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QVector<QPoint>>("path");
        QTest::addColumn<QStringList>("said");
        const std::vector<ScreenRect> withGap = {rect(0, 0, 1919, 1079), rect(2000, 0, 3279, 1023)};
        // In the gap, or below the shorter screen, there is none: -1.
        const QVector<QPoint> across = {{100, 10},  {1900, 10},   {2500, 10}, {3000, 10},
                                        {1950, 10}, {2500, 1050}, {100, 10}};
        QTest::newRow("side by side")
            << withGap << true << false << across << QStringList{"0", "1", "-1", "0"};
        QTest::newRow("stacked: the row decides")
            << std::vector<ScreenRect>{rect(0, 0, 2559, 1439), rect(0, 1440, 1919, 2519)} << true
            << false << QVector<QPoint>{{100, 2000}, {100, 20}} << QStringList{"1", "0"};
        QTest::newRow("one screen")
            << oneScreen << true << false << QVector<QPoint>{{100, 5}, {5000, 5}} << QStringList{};
        QTest::newRow("switched off") << withGap << false << false << across << QStringList{};
        QTest::newRow("paused") << withGap << true << true << across << QStringList{};
    }

    void focusFollowsThePointer()
    {
        QFETCH(std::vector<ScreenRect>, screens);
        QFETCH(bool, on);
        QFETCH(bool, paused);
        QFETCH(QVector<QPoint>, path);
        QFETCH(QStringList, said);
        Rig rig(false, screens);
        Choices c;
        c.screenFocus = on;
        c.paused = paused;
        rig.publish(c);
        for (const QPoint &p : path) {
            rig.pointer.warp(p.x(), p.y());
            rig.pass();
        }
        for (QString &s : said)
            s += " @1";
        QCOMPARE(rig.focus, said);

        // A new snapshot (the desktop or a choice changed, or Screen Focus
        // came on): the curtains go up again over the screen under the
        // pointer, for the new layout.
        rig.focus.clear();
        c.screenFocus = true;
        c.paused = false;
        rig.publish(c);
        rig.pass();
        const int under = ScreenTable(screens).screenIndexAt(path.last().x(), path.last().y());
        QCOMPARE(rig.focus,
                 screens.size() > 1 ? QStringList{QString("%1 @2").arg(under)} : QStringList{});
    }

    // Crossing by size: from the sample before where every motion is
    // sampled, from the seam's strip where only contacts are.
    void crossingBySize_data()
    {
        QTest::addColumn<int>("source"); // watching, polling, contacts
        QTest::addColumn<QVector<QPoint>>("path");
        QTest::addColumn<unsigned>("keys");
        QTest::addColumn<std::vector<QPoint>>("moves");
        const QVector<QPoint> across = {{3830, 200}, {3845, 200}};
        const std::vector<QPoint> landed = {{3845, 45}};
        QTest::newRow("watching") << 0 << across << 0u << landed;
        QTest::newRow("polling") << 1 << across << 0u << landed;
        QTest::newRow("contacts") << 2 << QVector<QPoint>{{3839, 200}} << 0u
                                  << std::vector<QPoint>{{3841, 45}};
        QTest::newRow("bypass key held")
            << 0 << across << unsigned(ShiftKey) << std::vector<QPoint>{};
        // Wrapped by size onto the other monitor, and moved on before the
        // landing was read: not taken for a crossing from where it wrapped.
        QTest::newRow("wrapped") << 0 << QVector<QPoint>{{20, 200}, {0, 200}, {5700, 50}} << 0u
                                 << std::vector<QPoint>{{5758, 45}};
    }

    void crossingBySize()
    {
        QFETCH(int, source);
        QFETCH(QVector<QPoint>, path);
        QFETCH(unsigned, keys);
        // A 27" 4K monitor and a 24" 1080p one, tops level in pixels.
        Rig rig(source == 0, {rect(0, 0, 3839, 2159), rect(3840, 0, 5759, 1079)}, source == 2);
        Choices c;
        c.crossByPhysicalSize = c.allowLeftWrap = true;
        c.bypassModifier = ShiftKey;
        c.monitorSizesMm["#0"] = QSize(597, 336);
        c.monitorSizesMm["#1"] = QSize(531, 299);
        rig.publish(c);
        rig.pointer.hold(keys, false);
        for (const QPoint &p : path) {
            rig.pointer.moveDevice(p.x(), p.y());
            rig.takeMotion();
            rig.now += 20;
            rig.inbox.lookNow = true;
            rig.pass();
        }
        QTEST(rig.pointer.moves(), "moves");
    }

    // ---- the engine on its own thread ----

    void engineRunsItsThread_data() { bothSources(); }

    void engineRunsItsThread()
    {
        QFETCH(bool, watching);
        FakePointer pointer;
        pointer.setReportsMotion(watching);
        pointer.warp(500, 500);
        Engine engine;
        QStringList readouts, focus;
        connect(&engine, &Engine::readout, this,
                [&readouts](int x, int y, int) { readouts << QString("%1,%2").arg(x).arg(y); });
        connect(&engine, &Engine::focusScreen, this,
                [&focus](int screen, quint64) { focus << QString::number(screen); });
        const auto lastOf = [](const QStringList &l) { return l.isEmpty() ? QString() : l.last(); };
        constexpr int patience = 10000; // ms; a loaded machine under a sanitizer is slow

        engine.start(nullptr); // nothing to watch: nothing runs
        QVERIFY(!engine.running());

        Choices c = rightWrap();
        c.screenFocus = true;
        engine.publish(snapshotOf(twoScreens, c, 1));
        for (int round = 1; round <= 2; ++round) {
            readouts.clear();
            focus.clear();
            engine.start(&pointer);
            QVERIFY(engine.running() && engine.logic());
            engine.start(&pointer); // running already: nothing
            // A motion onto the wrapping edge is carried across, and the
            // readout and the focus come to this thread.
            pointer.moveDevice(3839, 300 + round);
            const QPoint across(1, 300 + round);
            QTRY_COMPARE_WITH_TIMEOUT(pointer.position(), across, patience);
            QTRY_COMPARE_WITH_TIMEOUT(lastOf(readouts), QString("1,%1").arg(300 + round), patience);
            QTRY_COMPARE_WITH_TIMEOUT(lastOf(focus), QString("0"), patience);

            // A new snapshot reaches the running engine.
            Choices both = c;
            both.allowLeftWrap = true;
            engine.publish(snapshotOf(twoScreens, both, 2));
            pointer.moveDevice(0, 700);
            QTRY_COMPARE_WITH_TIMEOUT(pointer.position(), QPoint(3838, 700), patience);
            engine.publish(snapshotOf(twoScreens, c, 3)); // as the next round starts

            engine.stop();
            QVERIFY(!engine.running() && !engine.logic());
            // Stopped: nothing reads or moves the pointer any more.
            const int reads = pointer.reads();
            pointer.moveDevice(3839, 800);
            QTest::qWait(50);
            QCOMPARE(pointer.reads(), reads);
            QCOMPARE(pointer.position(), QPoint(3839, 800));
            pointer.warp(500, 500);
        }
        engine.stop(); // stopped already: nothing
    }
};

QTEST_GUILESS_MAIN(TestLogicCtrl)
#include "tst_logicctrl.moc"
