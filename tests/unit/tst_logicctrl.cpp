#include "engine.h"
#include "fakepointer.h"
#include "logicctrl.h"
#include "velocityupdater.h"

#include <QtTest>
#include <thread>

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

// Plays the GUI thread's part: records every signal in emission order and,
// when asked, answers an outstanding sample request with a position.
class FakeGui : public QObject
{
public:
    FakeGui(LogicCtrl &logic, EngineState &shared) : state(shared)
    {
        connect(&logic, &LogicCtrl::updateMouse, this, [this] {
            log << "updateMouse";
            ++pending;
        });
        connect(&logic, &LogicCtrl::updateLabels, this, [this] { log << "updateLabels"; });
        connect(&logic, &LogicCtrl::moveMouse, this, [this](int x, int y) {
            log << QString("move %1,%2").arg(x).arg(y);
            moves << QPoint(x, y);
        });
        connect(&logic, &LogicCtrl::destroyScreenFocus, this, [this] { log << "destroy"; });
        connect(&logic, &LogicCtrl::generateNewScreenFocus, this,
                [this](uint i) { log << QString("generate %1").arg(i); });
    }

    // Stores a sample if a request is waiting; returns whether it did.
    bool answer(int x, int y)
    {
        if (pending == 0)
            return false;
        --pending;
        state.storeSample(x, y);
        return true;
    }

    EngineState &state;
    int pending = 0;
    QStringList log;
    QVector<QPoint> moves;
};

// An engine over the given screens with its fake GUI thread, on a clock the
// test steps.
struct Rig
{
    explicit Rig(const std::vector<ScreenRect> &screens)
    {
        s.buildScreenTable(screens);
        logic.setClock([this] { return now; });
    }
    EngineState s;
    LogicCtrl logic{s};
    FakeGui gui{logic, s};
    qint64 now = 1000;
};

// The same, with the engine watching a fake pointer device itself, the
// right screen edge wrapping and the pointer at (500, 500).
struct WatchRig : Rig
{
    explicit WatchRig(const std::vector<ScreenRect> &screens) : Rig(screens)
    {
        s.pointerWatch = &pointer;
        s.allowRightWrap = true;
        pointer.warp(500, 500);
    }
    FakePointer pointer;
};

} // namespace

class TestLogicCtrl : public QObject
{
    Q_OBJECT

private slots:
    void noStepBeforeTheFirstSample()
    {
        // Left wrap on and the desktop starting at x 0: the unsampled start
        // value (0, 0) must not throw the cursor across.
        Rig rig({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        auto &[s, logic, gui, now] = rig;
        s.allowLeftWrap = true;
        for (int k = 0; k < 100; ++k)
            logic.pass();
        QCOMPARE(gui.log, (QStringList{"updateMouse", "updateLabels"}));
        QVERIFY(gui.moves.isEmpty());
    }

    void oneRequestInFlightAndNoReplay()
    {
        Rig rig({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        auto &[s, logic, gui, now] = rig;
        s.allowRightWrap = true;
        logic.pass();
        QVERIFY(gui.answer(3839, 400));
        gui.log.clear();
        logic.pass();
        // The jump is asked for before the next sample request, so that
        // sample is taken after the move.
        QCOMPARE(gui.log.mid(0, 2), (QStringList{"move 1,400", "updateMouse"}));

        // The GUI thread stalls: however many passes run, no further request
        // and no repeated jump is queued.
        for (int k = 0; k < 20000; ++k)
            logic.pass();
        QCOMPARE(gui.moves.size(), 1);
        QCOMPARE(gui.pending, 1);

        // After the stall the fresh sample shows the cursor moved: no jump.
        QVERIFY(gui.answer(1, 400));
        logic.pass();
        logic.pass();
        QCOMPARE(gui.moves.size(), 1);
    }

    void readoutRefreshIsPaced()
    {
        // A cursor that moves all the time, a sample every millisecond: the
        // readout at most once per interval, polling or watching.
        for (bool watching : {false, true}) {
            Rig rig({rect(0, 0, 1919, 1079)});
            auto &[s, logic, gui, now] = rig;
            FakePointer pointer;
            if (watching)
                s.pointerWatch = &pointer;
            for (int k = 0; k < 200; ++k) {
                pointer.moveDevice(k, 5);
                logic.pause(0); // takes the motion in
                gui.answer(k, 5);
                logic.pass();
                ++now;
            }
            const int refreshes = gui.log.count("updateLabels");
            QVERIFY2(refreshes >= 200 / LogicCtrl::labelIntervalMs &&
                         refreshes <= 200 / LogicCtrl::labelIntervalMs + 1,
                     qPrintable(QString::number(refreshes)));
            if (watching) { // the last motions, read once the interval is up
                now += LogicCtrl::motionIntervalMs;
                logic.pass();
            }
            QCOMPARE(s.cursorX.load(), 199);
        }
        // The last sample of a burst is shown once the interval is up, even
        // if nothing moves after it, and an unchanged readout not at all.
        Rig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui, now] = rig;
        FakePointer pointer;
        s.pointerWatch = &pointer;
        pointer.warp(10, 10);
        logic.pass(); // first look and first refresh
        pointer.moveDevice(20, 10);
        logic.pause(0);
        now += 1;
        logic.pass(); // a new sample, too soon to show
        gui.log.clear();
        const unsigned long wait = logic.pass();
        QVERIFY(gui.moves.isEmpty());
        QVERIFY2(wait <= LogicCtrl::labelIntervalMs * 1000, qPrintable(QString::number(wait)));
        now += LogicCtrl::labelIntervalMs;
        logic.pass();
        QCOMPARE(gui.log, QStringList{"updateLabels"});
        now += LogicCtrl::warpCheckMs; // a look finds nothing new to show
        logic.pass();
        QCOMPARE(gui.log, QStringList{"updateLabels"});
    }

    void watchingSamplesOnlyOnMotion()
    {
        WatchRig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui, now] = static_cast<Rig &>(rig);
        FakePointer &pointer = rig.pointer;
        // The first look, at start, found nothing moving: the engine sleeps
        // until the next look, and no sooner unless the device moves.
        QCOMPARE(logic.pass(), static_cast<unsigned long>(LogicCtrl::warpCheckMs * 1000));
        QCOMPARE(pointer.reads(), 1);
        // Nothing moves: however often the engine wakes within the warp
        // check, it reads nothing, and it never asks the GUI thread.
        for (int k = 0; k < 50; ++k) {
            logic.pause(0);
            logic.pass();
            now += 1;
        }
        QCOMPARE(pointer.reads(), 1);
        QCOMPARE(gui.log.count("updateMouse"), 0);
        now += LogicCtrl::warpCheckMs; // the next look
        logic.pass();
        QCOMPARE(pointer.reads(), 2);

        // A burst of motion between two passes, even right after that look:
        // one read, at once.
        for (int k = 0; k < 30; ++k)
            pointer.moveDevice(600 + k, 500);
        logic.pause(0);
        now += 1;
        logic.pass();
        QCOMPARE(pointer.reads(), 3);
        QCOMPARE(s.cursorX.load(), 629);
        // Motion right after a sample taken on motion is read once the
        // interval is up.
        pointer.moveDevice(1919, 300);
        logic.pause(0);
        const unsigned long wait = logic.pass();
        QCOMPARE(pointer.reads(), 3);
        QVERIFY(wait <= LogicCtrl::motionIntervalMs * 1000);

        // Onto the edge: the engine jumps itself, without the GUI thread,
        // and looks at once where the cursor went.
        now += LogicCtrl::motionIntervalMs;
        QCOMPARE(logic.pass(), 0ul);
        QCOMPARE(pointer.moves(), (std::vector<QPoint>{{1, 300}}));
        QVERIFY(gui.moves.isEmpty());
        logic.pass();
        QCOMPARE(pointer.reads(), 5);
        QCOMPARE(s.cursorX.load(), 1);
        QCOMPARE(pointer.moves().size(), size_t(1));
    }

    void heldKeysButtonsAndPushWhileWatching()
    {
        WatchRig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui, now] = static_cast<Rig &>(rig);
        FakePointer &pointer = rig.pointer;
        s.screens.editable().wrapFlags[0].wrapTop = true;
        s.bypassModifier = AltKey;
        auto sample = [&] {
            now += LogicCtrl::motionIntervalMs;
            logic.pause(0);
            logic.pass();
        };
        auto settle = [&] {
            pointer.warp(500, 500);
            sample();
        };
        using Moves = std::vector<QPoint>;
        // Alt held, or a button: no wrap at all, vertical ones neither.
        for (auto [keys, button] : {std::pair<unsigned, bool>{AltKey, false}, {0, true}}) {
            pointer.hold(keys, button);
            pointer.moveDevice(1919, 300);
            sample();
            pointer.moveDevice(700, 0);
            sample();
            QVERIFY(pointer.moves().empty());
        }
        pointer.hold(0, false);
        pointer.moveDevice(700, 0);
        sample();
        QCOMPARE(pointer.moves(), (Moves{{700, 1078}}));
        settle();

        // Push through 100: pinned on the edge, the device must push on.
        s.pushThrough = 100;
        pointer.moveDevice(1919, 300);
        sample();
        for (int k = 0; k < 3; ++k) {
            pointer.pushDevice(30, 0);
            sample();
        }
        QCOMPARE(pointer.moves().size(), size_t(1));
        pointer.pushDevice(30, 0);
        sample();
        QCOMPARE(pointer.moves().back(), QPoint(1, 300));
        settle();

        // Paused: nothing moves.
        s.paused = true;
        s.pushThrough = 0;
        pointer.moveDevice(1919, 300);
        sample();
        QCOMPARE(pointer.moves().size(), size_t(2));
    }

    void watchingFindsAWarpedPointer()
    {
        // A pointer put on the edge by another program makes no device
        // motion: the slow look finds it.
        WatchRig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui, now] = static_cast<Rig &>(rig);
        FakePointer &pointer = rig.pointer;
        logic.pass();
        pointer.warp(1919, 50);
        const unsigned long wait = logic.pass();
        QVERIFY(wait >= 1000 && wait <= LogicCtrl::warpCheckMs * 1000);
        now += LogicCtrl::warpCheckMs - 1;
        logic.pass();
        QVERIFY(pointer.moves().empty());
        now += 1;
        logic.pass();
        QCOMPARE(pointer.moves(), (std::vector<QPoint>{{1, 50}}));
        // The look after the jump fails (the server is going away): the
        // engine waits for the next look instead of trying again at once.
        pointer.failReads(true);
        QVERIFY(logic.pass() >= 1000);
        QVERIFY(logic.pass() >= 1000);
        static_assert(LogicCtrl::warpCheckMs <= 250, "a warp must be caught within 250 ms");
    }

    void aStillFreshEdgeSampleJumpsAgain()
    {
        // A sample taken after the move that still shows the edge (the user
        // pushed back) is acted on: the gate is about age, not position.
        Rig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui, now] = rig;
        s.allowRightWrap = true;
        logic.pass();
        gui.answer(1919, 10);
        logic.pass();
        gui.answer(1919, 10);
        logic.pass();
        QCOMPARE(gui.moves, (QVector<QPoint>{{1, 10}, {1, 10}}));
    }

    void pauseGrowsWhileStillAndDropsOnAChange()
    {
        Rig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui, now] = rig;
        unsigned long pause = 0;
        unsigned long longest = 0;
        int passes = 0;
        // Stand still: the pause must reach its bound, never pass it, and get
        // there within a few hundred samples.
        while (passes < 2000 && longest < LogicCtrl::idlePauseBoundUs) {
            gui.answer(700, 300);
            pause = logic.pass();
            longest = std::max(longest, pause);
            ++passes;
        }
        QCOMPARE(longest, LogicCtrl::idlePauseBoundUs);
        QVERIFY2(passes < 400, qPrintable(QString::number(passes)));

        // The first changed sample brings the short pause back at once.
        for (int k = 0; k < 4 && !gui.answer(701, 300); ++k)
            logic.pass();
        QCOMPARE(logic.pass(), LogicCtrl::activePauseUs);
        // A request waiting for its answer is polled with the short pause,
        // and less often once the GUI thread is plainly busy.
        QCOMPARE(gui.pending, 1);
        QCOMPARE(logic.pass(), LogicCtrl::activePauseUs);
        for (int k = 0; k < 100; ++k)
            logic.pass();
        QCOMPARE(logic.pass(), LogicCtrl::stalledPauseUs);
        gui.answer(702, 300);
        logic.pass();
        QCOMPARE(logic.pass(), LogicCtrl::activePauseUs);
    }

    void doorbellEndsADozeAtOnce()
    {
        Doorbell bell;
        QElapsedTimer t;
        t.start();
        QVERIFY(!bell.doze(30)); // nobody rings: the whole pause
        QVERIFY(t.elapsed() >= 25);

        std::thread ringer([&bell] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            bell.ring();
        });
        t.restart();
        QVERIFY(bell.doze(5000));
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        ringer.join();

        // Rings while the engine is busy end its next doze at once, and a
        // burst of them only that one.
        for (int k = 0; k < 100; ++k)
            bell.ring();
        t.restart();
        QVERIFY(bell.doze(5000));
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(!bell.doze(20));
        QVERIFY(t.elapsed() >= 15);
    }

    void focusStepSignalsOncePerChangeOfScreen()
    {
        Rig rig({rect(0, 0, 1919, 1079), rect(2000, 0, 3279, 1023)});
        auto &[s, logic, gui, now] = rig;
        s.screenFocusOn = true;
        logic.lastFocusScreen = -1;
        logic.updateScreenFocus(100, 10);
        logic.updateScreenFocus(1900, 10);
        QCOMPARE(gui.log, (QStringList{"generate 0"}));
        logic.updateScreenFocus(2500, 10);
        logic.updateScreenFocus(3000, 10);
        QCOMPARE(gui.log, (QStringList{"generate 0", "generate 1"}));
        gui.log.clear();
        // In the gap, or below the shorter screen, the index is -1, which
        // travels as 4294967295.
        logic.updateScreenFocus(1950, 10);
        logic.updateScreenFocus(2500, 1050);
        QCOMPARE(gui.log, (QStringList{"generate 4294967295"}));

        // Stacked screens: the row decides.
        Rig st({rect(0, 0, 2559, 1439), rect(0, 1440, 1919, 2519)});
        st.s.screenFocusOn = true;
        st.logic.lastFocusScreen = -1;
        st.logic.updateScreenFocus(100, 2000);
        st.logic.updateScreenFocus(100, 20);
        QCOMPARE(st.gui.log, (QStringList{"generate 1", "generate 0"}));
    }

    void focusStepForgetsTheScreenWhenSwitchedOff()
    {
        Rig rig({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        auto &[s, logic, gui, now] = rig;
        logic.lastFocusScreen = -1;
        logic.updateScreenFocus(100, 5);
        QVERIFY(gui.moves.isEmpty()); // off
        s.screenFocusOn = true;
        logic.updateScreenFocus(100, 5);
        s.screenFocusOn = false;
        logic.updateScreenFocus(100, 5);
        s.screenFocusOn = true;
        logic.updateScreenFocus(100, 5); // same screen: curtains come back at once
        QCOMPARE(gui.log, (QStringList{"generate 0", "generate 0"}));

        // Off and on between two samples (a double click on the box): the
        // engine never sees the off, but the curtains still come back.
        gui.log.clear();
        s.screenFocusArmings = s.screenFocusArmings + 1;
        logic.updateScreenFocus(100, 5);
        QCOMPARE(gui.log, (QStringList{"generate 0"}));
        logic.updateScreenFocus(100, 5);
        QCOMPARE(gui.log.size(), 1);
    }

    void focusStepNeedsSeveralScreens()
    {
        Rig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui, now] = rig;
        s.screenFocusOn = true;
        logic.lastFocusScreen = -1;
        logic.updateScreenFocus(100, 5);
        logic.updateScreenFocus(5000, 5);
        QVERIFY(gui.moves.isEmpty());
    }

    void runEndsWhenTheFlagClears()
    {
        EngineState s;
        s.buildScreenTable({rect(0, 0, 1919, 1079)});
        LogicCtrl logic(s);
        logic.lastFocusScreen = 7;
        logic.start(); // flag false: no pass at all
        QVERIFY(logic.wait(5000));
        s.threadsJoined();
        QCOMPARE(logic.lastFocusScreen, -1);

        std::atomic<int> requests{0}; // counted on the engine thread
        connect(
            &logic, &LogicCtrl::updateMouse, &logic, [&requests] { ++requests; },
            Qt::DirectConnection);
        s.threadsRunning = true;
        logic.start();
        QTRY_COMPARE(requests.load(), 1);
        s.threadsRunning = false;
        QVERIFY(logic.wait(5000));
        s.threadsJoined();
        QCOMPARE(s.threadsEnded.load(), 2);
    }

    void engineOwnerStopsAtOnceAndStartsAgain()
    {
        EngineState s;
        s.buildScreenTable({rect(0, 0, 1919, 1079)});
        FakePointer pointer;
        s.pointerWatch = &pointer;
        Engine engine(s);
        QCOMPARE(s.logicCtrl, engine.logic());
        QCOMPARE(s.velocityUpdater, engine.velocity());
        // A sampler that would sleep a minute: stop must wake it, not wait.
        engine.velocity()->pauseMs = 60000;
        for (int round = 1; round <= 2; ++round) {
            engine.start();
            QVERIFY(engine.running() && s.threadsRunning);
            QTRY_VERIFY(pointer.reads() >= round);
            QThread::msleep(20); // both asleep by now
            QElapsedTimer t;
            t.start();
            engine.stop();
            QVERIFY2(t.elapsed() < 30000, qPrintable(QString::number(t.elapsed())));
            QVERIFY(engine.logic()->isFinished() && engine.velocity()->isFinished());
            QCOMPARE(s.threadsEnded.load(), 2 * round);
        }
        engine.stop(); // stopped already: nothing
    }
};

QTEST_GUILESS_MAIN(TestLogicCtrl)
#include "tst_logicctrl.moc"
