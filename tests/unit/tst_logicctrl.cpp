#include "logicctrl.h"

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
    FakeGui(LogicCtrl &logic, EngineState &state) : state(state)
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

// An engine over the given screens with its fake GUI thread.
struct Rig
{
    explicit Rig(const std::vector<ScreenRect> &screens) { s.buildScreenTable(screens); }
    EngineState s;
    LogicCtrl logic{s};
    FakeGui gui{logic, s};
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
        auto &[s, logic, gui] = rig;
        s.allowLeftWrap = true;
        for (int k = 0; k < 100; ++k)
            logic.pass();
        QCOMPARE(gui.log, (QStringList{"updateMouse", "updateLabels"}));
        QVERIFY(gui.moves.isEmpty());
    }

    void oneRequestInFlightAndNoReplay()
    {
        Rig rig({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        auto &[s, logic, gui] = rig;
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
        Rig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui] = rig;
        // A cursor that moves all the time: a request every pass, but the
        // readout only every so often.
        QElapsedTimer t;
        t.start();
        for (int k = 0; k < 100 || t.elapsed() < 3 * LogicCtrl::labelIntervalMs; ++k) {
            gui.answer(k % 1000, 5);
            logic.pass();
        }
        const int requests = gui.log.count("updateMouse");
        const int refreshes = gui.log.count("updateLabels");
        QVERIFY2(requests > 20, qPrintable(QString::number(requests)));
        // One at the start and at most one per interval after it.
        const qint64 most = t.elapsed() / LogicCtrl::labelIntervalMs + 1;
        QVERIFY2(refreshes >= 2 && refreshes <= most, qPrintable(QString::number(refreshes)));
        // Every refresh follows a sample request, so it shows a fresh sample.
        for (int i = 0; i < gui.log.size(); ++i)
            if (gui.log[i] == "updateLabels")
                QCOMPARE(gui.log[i - 1], QString("updateMouse"));
    }

    void aStillFreshEdgeSampleJumpsAgain()
    {
        // A sample taken after the move that still shows the edge (the user
        // pushed back) is acted on: the gate is about age, not position.
        Rig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui] = rig;
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
        auto &[s, logic, gui] = rig;
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

    void dozesOnlyWhereTheDoorbellRings()
    {
        // Without a doorbell the pause never passes its bound; with one, a
        // cursor that stands still long enough is sampled seldom.
        for (bool bell : {false, true}) {
            Rig rig({rect(0, 0, 1919, 1079)});
            auto &[s, logic, gui] = rig;
            s.doorbell.setAvailable(bell);
            unsigned long longest = 0;
            for (int k = 0; k < 2000; ++k) {
                gui.answer(10, 10);
                longest = std::max(longest, logic.pass());
            }
            QCOMPARE(longest, bell ? LogicCtrl::dozePauseUs : LogicCtrl::idlePauseBoundUs);
        }
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
        auto &[s, logic, gui] = rig;
        s.screenFocusOn = true;
        logic.lastFocusScreen = -1;
        logic.updateScreenFocus(100);
        logic.updateScreenFocus(1900);
        QCOMPARE(gui.log, (QStringList{"destroy", "generate 0"}));
        logic.updateScreenFocus(2500);
        logic.updateScreenFocus(3000);
        QCOMPARE(gui.log, (QStringList{"destroy", "generate 0", "destroy", "generate 1"}));
        gui.log.clear();
        // In the gap the index is -1, which travels as 4294967295.
        logic.updateScreenFocus(1950);
        QCOMPARE(gui.log, (QStringList{"destroy", "generate 4294967295"}));
    }

    void focusStepForgetsTheScreenWhenSwitchedOff()
    {
        Rig rig({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        auto &[s, logic, gui] = rig;
        logic.lastFocusScreen = -1;
        logic.updateScreenFocus(100);
        QVERIFY(gui.log.isEmpty()); // off
        s.screenFocusOn = true;
        logic.updateScreenFocus(100);
        s.screenFocusOn = false;
        logic.updateScreenFocus(100);
        s.screenFocusOn = true;
        logic.updateScreenFocus(100); // same screen: curtains come back at once
        QCOMPARE(gui.log, (QStringList{"destroy", "generate 0", "destroy", "generate 0"}));

        // Off and on between two samples (a double click on the box): the
        // engine never sees the off, but the curtains still come back.
        gui.log.clear();
        s.screenFocusArmings = s.screenFocusArmings + 1;
        logic.updateScreenFocus(100);
        QCOMPARE(gui.log, (QStringList{"destroy", "generate 0"}));
        logic.updateScreenFocus(100);
        QCOMPARE(gui.log.size(), 2);
    }

    void focusStepNeedsSeveralScreens()
    {
        Rig rig({rect(0, 0, 1919, 1079)});
        auto &[s, logic, gui] = rig;
        s.screenFocusOn = true;
        logic.lastFocusScreen = -1;
        logic.updateScreenFocus(100);
        logic.updateScreenFocus(5000);
        QVERIFY(gui.log.isEmpty());
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
};

QTEST_GUILESS_MAIN(TestLogicCtrl)
#include "tst_logicctrl.moc"
