#include "arrivalgate.h"
#include "cursorrules.h"
#include "pointerwatch.h"

#include <QtTest>
#include <vector>

Q_DECLARE_METATYPE(QVector<QPoint>)

// One sample as the gate records it.
struct At
{
    qint64 ms;
    int x;
};
Q_DECLARE_METATYPE(std::vector<At>)

// Monitors named A, B, ... in the order given, with their sizes in mm.
struct Desk
{
    std::vector<ScreenRect> rects;
    std::vector<QSize> mm;
};
Q_DECLARE_METATYPE(Desk)

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

// The moves as a list, for comparisons.
QVector<QPoint> list(const CursorMoves &m)
{
    QVector<QPoint> out;
    for (int k = 0; k < m.count; ++k)
        out.append(QPoint(m.at[k].x, m.at[k].y));
    return out;
}

const QVector<QPoint> none;

// The choices all off over these screens.
Snapshot desktop(const std::vector<ScreenRect> &screens)
{
    Snapshot s;
    s.screens = ScreenTable(screens);
    return s;
}

// The thresholds' verdict at this speed, as the engine passes it on.
bool fastEnough(const Snapshot &s, int speed)
{
    return CursorRules::speedAllowsJump(s.choices, speed);
}

} // namespace

class TestCursorRules : public QObject
{
    Q_OBJECT

private slots:
    // ---- edge wrap ----

    void horizontalWrapOnOneScreen()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079)});
        s.choices.allowLeftWrap = true;
        s.choices.allowRightWrap = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 1919, 500, true)), (QVector<QPoint>{{1, 500}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 0, 500, true)), (QVector<QPoint>{{1918, 500}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 500, 500, true)), none);
        QCOMPARE(list(CursorRules::wrapEdges(s, 1918, 500, true)), none); // exact edge only
    }

    void horizontalWrapOnlyAtTheDesktopsOuterEdges()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        s.choices.allowRightWrap = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 3839, 400, true)), (QVector<QPoint>{{1, 400}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 1919, 400, true)), none);
        QCOMPARE(list(CursorRules::wrapEdges(s, 0, 400, true)), none); // left switch off

        s.choices.allowRightWrap = false;
        s.choices.allowLeftWrap = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 3839, 400, true)), none);
        QCOMPARE(list(CursorRules::wrapEdges(s, 0, 400, true)), (QVector<QPoint>{{3838, 400}}));
    }

    void horizontalTargetIsClampedOntoTheFarScreen()
    {
        // A cursor low on the tall left screen wraps to the shorter right
        // screen's bottom row, not to a row the X server would refuse.
        Snapshot s = desktop({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        s.choices.allowLeftWrap = true;
        s.choices.allowRightWrap = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 0, 1050, true)), (QVector<QPoint>{{3198, 1023}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 0, 1000, true)), (QVector<QPoint>{{3198, 1000}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 3199, 1000, true)), (QVector<QPoint>{{1, 1000}}));

        // A far screen placed lower: rows above its top clamp to its top.
        Snapshot t = desktop({rect(0, 0, 1919, 1079), rect(1920, 500, 3199, 1523)});
        t.choices.allowLeftWrap = true;
        QCOMPARE(list(CursorRules::wrapEdges(t, 0, 10, true)), (QVector<QPoint>{{3198, 500}}));
    }

    void verticalWrapPerScreen()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        QCOMPARE(list(CursorRules::wrapEdges(s, 700, 0, true)), none);
        QCOMPARE(list(CursorRules::wrapEdges(s, 700, 1079, true)), none);
        s.screens.wraps[0].top = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 700, 0, true)), (QVector<QPoint>{{700, 1078}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 700, 1079, true)), none);
        s.screens.wraps[0].bottom = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 700, 1079, true)), (QVector<QPoint>{{700, 1}}));
        // The other screen's rows follow its own switches and its own height.
        QCOMPARE(list(CursorRules::wrapEdges(s, 2500, 0, true)), none);
        s.screens.wraps[1].bottom = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 2500, 1023, true)), (QVector<QPoint>{{2500, 1}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 2500, 1079, true)), none);
    }

    void cornerAsksForBothMovesInOrder()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        s.choices.allowRightWrap = true;
        s.screens.wraps[1].top = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 3839, 0, true)),
                 (QVector<QPoint>{{1, 0}, {3839, 1078}}));
    }

    // Safe corners: near a monitor's corner, measured along the edge, that
    // edge neither wraps nor carries; the rest of it does.
    void cornerGuard_data()
    {
        QTest::addColumn<int>("guard");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QVector<QPoint>>("moves"); // wraps, then Easy Move
        const int g = 40;
        QTest::newRow("right edge, middle") << g << QPoint(3199, 500) << QVector<QPoint>{{1, 500}};
        QTest::newRow("right edge, top corner") << g << QPoint(3199, 0) << none;
        QTest::newRow("right edge, 39 down") << g << QPoint(3199, 39) << none;
        QTest::newRow("right edge, 40 down") << g << QPoint(3199, 40) << QVector<QPoint>{{1, 40}};
        QTest::newRow("right edge, bottom corner") << g << QPoint(3199, 984) << none;
        QTest::newRow("left edge, bottom corner of the taller") << g << QPoint(0, 1160) << none;
        QTest::newRow("top row, middle") << g << QPoint(900, 0) << QVector<QPoint>{{900, 1198}};
        QTest::newRow("top row, 39 from the left") << g << QPoint(39, 0) << none;
        QTest::newRow("top row, 40 from the left")
            << g << QPoint(40, 0) << QVector<QPoint>{{40, 1198}};
        QTest::newRow("top row, 39 from the seam") << g << QPoint(1880, 0) << none;
        QTest::newRow("Easy Move, above the guard")
            << g << QPoint(1919, 1100) << QVector<QPoint>{{1921, 1023}};
        QTest::newRow("Easy Move, bottom corner") << g << QPoint(1919, 1160) << none;
        QTest::newRow("no guard, corner")
            << 0 << QPoint(3199, 0) << QVector<QPoint>{{1, 0}, {3199, 1022}};
    }

    void cornerGuard()
    {
        QFETCH(int, guard);
        QFETCH(QPoint, at);
        Snapshot s = desktop({rect(0, 0, 1919, 1199), rect(1920, 0, 3199, 1023)});
        s.choices.allowLeftWrap = s.choices.allowRightWrap = s.choices.easyMove = true;
        s.screens.wraps[0].top = s.screens.wraps[1].top = true;
        s.choices.cornerGuard = guard;
        QVector<QPoint> moves = list(CursorRules::wrapEdges(s, at.x(), at.y(), true));
        moves += list(CursorRules::easyMove(s, at.x(), at.y(), true));
        QTEST(moves, "moves");
        // A guarded corner is no gated edge either: nothing waits there.
        if (moves.isEmpty())
            QVERIFY(!CursorRules::atGatedEdge(s, at.x(), at.y()));
    }

    // --jump next / previous walk the screens in the map's order: by left
    // edge, then by top edge, wrapping round.
    void stepThroughTheMap_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("target");
        // The table keeps the screens by left edge: 0 is the one under 1,
        // which is top left, and 2 is right of both; the map's order is 1, 0,
        // 2.
        QTest::newRow("top left, next") << 1 << 1 << 0;
        QTest::newRow("under it, next") << 0 << 1 << 2;
        QTest::newRow("last, next wraps") << 2 << 1 << 1;
        QTest::newRow("first, previous wraps") << 1 << -1 << 2;
        QTest::newRow("right, previous") << 2 << -1 << 0;
        QTest::newRow("pointer on no screen, next") << -1 << 1 << 1;
        QTest::newRow("pointer on no screen, previous") << -1 << -1 << 2;
    }

    void stepThroughTheMap()
    {
        QFETCH(int, current);
        QFETCH(int, step);
        const ScreenTable t(
            {rect(1920, 0, 4479, 1439), rect(0, 1080, 1365, 1847), rect(0, 0, 1919, 1079)});
        QCOMPARE(CursorRules::mapOrder(t), (std::vector<int>{1, 0, 2}));
        QTEST(CursorRules::stepThrough(t, current, step), "target");
        QVERIFY(CursorRules::middleOf(t.rects[2]) == (CursorMove{3200, 720}));
        QCOMPARE(CursorRules::stepThrough(ScreenTable(), 0, 1), -1);
    }

    // Locked to a screen, nothing takes the pointer off it; its own top and
    // bottom wraps still work.
    void lockedScreenKeepsThePointer_data()
    {
        QTest::addColumn<int>("locked");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QVector<QPoint>>("moves"); // wraps, then Easy Move
        QTest::newRow("not locked, right edge")
            << -1 << QPoint(3199, 500) << QVector<QPoint>{{1, 500}};
        QTest::newRow("locked, right edge") << 1 << QPoint(3199, 500) << none;
        QTest::newRow("locked, own top wrap")
            << 1 << QPoint(2500, 0) << QVector<QPoint>{{2500, 1022}};
        QTest::newRow("locked, corner: only the own wrap")
            << 1 << QPoint(3199, 0) << QVector<QPoint>{{3199, 1022}};
        QTest::newRow("locked, Easy Move") << 0 << QPoint(1919, 1100) << none;
        QTest::newRow("locked elsewhere, Easy Move")
            << 1 << QPoint(1919, 1100) << QVector<QPoint>{{1921, 1023}};
    }

    void lockedScreenKeepsThePointer()
    {
        QFETCH(int, locked);
        QFETCH(QPoint, at);
        Snapshot s = desktop({rect(0, 0, 1919, 1199), rect(1920, 0, 3199, 1023)});
        s.choices.allowLeftWrap = s.choices.allowRightWrap = s.choices.easyMove = true;
        s.screens.wraps[1].top = true;
        s.lockedScreen = locked;
        QVector<QPoint> moves = list(CursorRules::wrapEdges(s, at.x(), at.y(), true));
        moves += list(CursorRules::easyMove(s, at.x(), at.y(), true));
        QTEST(moves, "moves");
    }

    void stackedScreensEachUseTheirOwnSwitches()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079), rect(0, 1080, 1919, 2159)});
        s.screens.wraps[1].bottom = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 100, 2159, true)), (QVector<QPoint>{{100, 1081}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 100, 1079, true)), none); // the upper one: off
        s.screens.wraps[0].bottom = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 100, 1079, true)), (QVector<QPoint>{{100, 1}}));
    }

    void stackedLayoutsWrapAtTheirOuterEdges_data()
    {
        QTest::addColumn<bool>("fromRight");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QVector<QPoint>>("moves");
        // A 2560x1440 monitor over a 1920x1080 laptop, both wraps on.
        QTest::newRow("monitor's right edge")
            << true << QPoint(2559, 700) << QVector<QPoint>{{1, 700}};
        QTest::newRow("middle of the monitor") << true << QPoint(1919, 700) << none;
        QTest::newRow("laptop's right edge is not the desktop's")
            << true << QPoint(1919, 2000) << none;
        QTest::newRow("laptop's left edge lands on the monitor")
            << false << QPoint(0, 2000) << QVector<QPoint>{{2558, 1439}};
        QTest::newRow("monitor's left edge")
            << false << QPoint(0, 30) << QVector<QPoint>{{2558, 30}};
    }

    void stackedLayoutsWrapAtTheirOuterEdges()
    {
        QFETCH(QPoint, at);
        Snapshot s = desktop({rect(0, 1440, 1919, 2519), rect(0, 0, 2559, 1439)});
        s.choices.allowLeftWrap = true;
        s.choices.allowRightWrap = true;
        QTEST(list(CursorRules::wrapEdges(s, at.x(), at.y(), true)), "moves");

        // The right edge wrapping back onto the stacked pair: the screen
        // holding the row.
        Snapshot r = desktop(
            {rect(0, 0, 2559, 1439), rect(0, 1440, 1919, 2519), rect(2560, 1440, 3839, 2463)});
        r.choices.allowRightWrap = true;
        QCOMPARE(list(CursorRules::wrapEdges(r, 3839, 2000, true)), (QVector<QPoint>{{1, 2000}}));
    }

    void gapBetweenScreensOnlyWrapsHorizontally()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079), rect(2000, 0, 3279, 1023)});
        for (MonitorWraps &f : s.screens.wraps)
            f.top = f.bottom = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 1950, 0, true)), none);
    }

    void emptyTableRequestsNothing()
    {
        Snapshot s;
        s.choices.allowLeftWrap = true;
        QCOMPARE(list(CursorRules::wrapEdges(s, 0, 0, true)), none);
    }

    // ---- velocity thresholds ----

    void thresholdsGateTheHorizontalWrapOnly()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079)});
        s.choices.allowRightWrap = true;
        s.screens.wraps[0].top = true;
        s.choices.minVelocityOn = true;
        s.choices.minVelocity = 40;
        QCOMPARE(list(CursorRules::wrapEdges(s, 1919, 500, fastEnough(s, 39))), none);
        QCOMPARE(list(CursorRules::wrapEdges(s, 1919, 500, fastEnough(s, 40))),
                 (QVector<QPoint>{{1, 500}}));
        // The vertical wrap ignores the speed.
        QCOMPARE(list(CursorRules::wrapEdges(s, 700, 0, fastEnough(s, 0))),
                 (QVector<QPoint>{{700, 1078}}));

        s.choices.minVelocityOn = false;
        s.choices.maxVelocityOn = true;
        s.choices.maxVelocity = 100;
        QCOMPARE(list(CursorRules::wrapEdges(s, 1919, 500, fastEnough(s, 100))),
                 (QVector<QPoint>{{1, 500}}));
        QCOMPARE(list(CursorRules::wrapEdges(s, 1919, 500, fastEnough(s, 101))), none);

        // Both on: a window of speeds.
        s.choices.minVelocityOn = true;
        QVERIFY(!CursorRules::speedAllowsJump(s.choices, 10));
        QVERIFY(CursorRules::speedAllowsJump(s.choices, 70));
        QVERIFY(!CursorRules::speedAllowsJump(s.choices, 700));
        // Values kept while switched off have no effect.
        s.choices.minVelocityOn = false;
        s.choices.maxVelocityOn = false;
        QVERIFY(CursorRules::speedAllowsJump(s.choices, 0));
        QVERIFY(CursorRules::speedAllowsJump(s.choices, 100000));
    }

    void thresholdsDecideOnArrival()
    {
        // Max Velocity 100: a flick that reaches the edge at 400 px per
        // 150 ms is refused, and stays refused while the cursor sits there,
        // however slow the readout falls; leaving the edge re-arms.
        Snapshot s = desktop({rect(0, 0, 1919, 1079)});
        s.choices.allowRightWrap = true;
        s.choices.maxVelocityOn = true;
        s.choices.maxVelocity = 100;
        ArrivalGate gate;
        auto step = [&](qint64 t, int x) {
            gate.record(t, x);
            return gate.allows(s.choices, CursorRules::atGatedEdge(s, x, 500), t);
        };
        QVERIFY(step(0, 1500));    // far from the edge: nothing to decide
        QVERIFY(step(1000, 1520)); // at rest for a second
        QVERIFY(step(1010, 1700));
        QCOMPARE(gate.speed(1010), 200); // from where x was 150 ms before
        QVERIFY(!step(1020, 1919));      // 399 px within the window: too fast
        for (qint64 t = 1040; t < 3000; t += 40)
            QVERIFY(!step(t, 1919)); // pinned: the speed is 0 by now, still refused
        QVERIFY(step(3000, 1900));   // off the edge
        QVERIFY(step(3100, 1919));   // back slowly: a new arrival, allowed

        // Min Velocity 40: a slow arrival is refused until the cursor leaves.
        s.choices.maxVelocityOn = false;
        s.choices.minVelocityOn = true;
        s.choices.minVelocity = 40;
        ArrivalGate slow;
        slow.record(0, 1900);
        QVERIFY(!slow.allows(s.choices, true, 500));
        slow.record(600, 1919);
        QVERIFY(!slow.allows(s.choices, true, 600)); // fast now, but it arrived slowly
        QVERIFY(slow.allows(s.choices, false, 700));

        // Only the desktop edges and Easy Move are gated, not vertical wraps.
        QVERIFY(CursorRules::atGatedEdge(s, 1919, 500));
        QVERIFY(!CursorRules::atGatedEdge(s, 0, 500)); // left wrap off
        s.screens.wraps[0].top = true;
        QVERIFY(!CursorRules::atGatedEdge(s, 700, 0));
    }

    void heldBack_data()
    {
        QTest::addColumn<unsigned>("bypass");
        QTest::addColumn<bool>("whileButton");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("fullscreen");
        QTest::addColumn<bool>("quietInFullscreen");
        QTest::addColumn<unsigned>("keys");
        QTest::addColumn<bool>("button");
        QTest::addColumn<bool>("held");
        const unsigned none = 0, shift = ShiftKey, ctrl = ControlKey;
        // bypass, while button, paused, full screen, quiet then, keys, button
        QTest::newRow("nothing held")
            << none << false << false << false << true << none << false << false;
        QTest::newRow("no bypass key set")
            << none << false << false << false << true << shift << false << false;
        QTest::newRow("bypass key held")
            << shift << false << false << false << true << (shift | ctrl) << false << true;
        QTest::newRow("another key held")
            << shift << false << false << false << true << ctrl << false << false;
        QTest::newRow("dragging") << none << false << false << false << true << none << true
                                  << true;
        QTest::newRow("dragging, wanted")
            << none << true << false << false << true << none << true << false;
        QTest::newRow("paused") << none << true << true << false << true << none << false << true;
        QTest::newRow("full screen")
            << none << true << false << true << true << none << false << true;
        QTest::newRow("full screen, jumps wanted then")
            << none << true << false << true << false << none << false << false;
    }

    void heldBack()
    {
        QFETCH(unsigned, bypass);
        QFETCH(bool, whileButton);
        QFETCH(bool, paused);
        QFETCH(bool, fullscreen);
        QFETCH(bool, quietInFullscreen);
        QFETCH(unsigned, keys);
        QFETCH(bool, button);
        Snapshot s;
        s.choices.bypassModifier = bypass;
        s.choices.wrapWhileButtonHeld = whileButton;
        s.choices.paused = paused;
        s.fullscreen = fullscreen;
        s.choices.pauseInFullscreen = quietInFullscreen;
        QTEST(CursorRules::heldBack(s, keys, button), "held");
    }

    void pushThroughCountsOnlyBeyondTheEdge()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        QCOMPARE(CursorRules::edgeDirection(s, 3199, 5), 1);
        QCOMPARE(CursorRules::edgeDirection(s, 0, 5), -1);
        QCOMPARE(CursorRules::edgeDirection(s, 1919, 5), 1); // the inner edges too
        QCOMPARE(CursorRules::edgeDirection(s, 700, 5), 0);
        // Motion back into the screen leaves an edge; along it, or on, does not.
        QVERIFY(CursorRules::leavingEdge(s, 0, 5, 2, 0));
        QVERIFY(CursorRules::leavingEdge(s, 3199, 1023, 0, -1));
        QVERIFY(!CursorRules::leavingEdge(s, 0, 5, -2, 3));
        QVERIFY(!CursorRules::leavingEdge(s, 1919, 5, 4, 0));
        QVERIFY(!CursorRules::leavingEdge(s, 700, 5, 4, 0));
        ArrivalGate gate;
        // Arrival: the motion that got there does not count.
        QVERIFY(!gate.allows(s.choices, true, 0, 90, 100));
        QVERIFY(!gate.allows(s.choices, true, 10, 60, 100));
        QVERIFY(!gate.allows(s.choices, true, 20, -40, 100)); // pulling back adds nothing
        QVERIFY(gate.allows(s.choices, true, 30, 40, 100));
        QVERIFY(gate.allows(s.choices, false, 40, 0, 100)); // off the edge: afresh
        QVERIFY(!gate.allows(s.choices, true, 50, 500, 100));
        QVERIFY(gate.allows(s.choices, true, 60, 0, 0)); // no push asked for: arrival decides
    }

    void speedIsTheDistanceOverTheLastWindow_data()
    {
        // The readout shows this speed too, between samples as well.
        QTest::addColumn<std::vector<At>>("samples");
        QTest::addColumn<qint64>("now");
        QTest::addColumn<int>("speed");
        using S = std::vector<At>;
        QTest::newRow("no sample yet") << S{} << qint64(1000) << 0;
        // Not one large jump from x = 0.
        QTest::newRow("the first sample only seeds") << S{{1000, 2500}} << qint64(1000) << 0;
        QTest::newRow("leftwards reads positive")
            << S{{1000, 500}, {1010, 460}} << qint64(1010) << 40;
        QTest::newRow("across the desktop") << S{{1000, 500}, {1010, -300}} << qint64(1010) << 800;
        QTest::newRow("vertical motion only") << S{{1000, 70}, {1010, 70}} << qint64(1010) << 0;
        QTest::newRow("from where x was 150 ms before")
            << S{{1000, 0}, {1100, 100}, {1200, 300}} << qint64(1250) << 200;
        QTest::newRow("a sample exactly 150 ms back counts")
            << S{{900, -50}, {1000, 0}, {1150, 130}} << qint64(1150) << 130;
        QTest::newRow("less than 150 ms known: from the oldest")
            << S{{1000, 20}, {1100, 100}} << qint64(1100) << 80;
        QTest::newRow("still for 149 ms") << S{{1000, 0}, {1010, 300}} << qint64(1159) << 300;
        QTest::newRow("still for 150 ms reads 0") << S{{1000, 0}, {1010, 300}} << qint64(1160) << 0;
        QTest::newRow("one millisecond keeps its latest x")
            << S{{1000, 0}, {1100, 50}, {1100, 80}} << qint64(1100) << 80;
        // More samples than the ring holds, one a millisecond.
        S run;
        for (qint64 t = 0; t < 1000; ++t)
            run.push_back({1000 + t, int(2 * t)});
        QTest::newRow("a long run") << run << qint64(1999) << 300;
    }

    void speedIsTheDistanceOverTheLastWindow()
    {
        QFETCH(std::vector<At>, samples);
        QFETCH(qint64, now);
        ArrivalGate gate;
        for (const At &a : samples)
            gate.record(a.ms, a.x);
        QTEST(gate.speed(now), "speed");
    }

    // ---- easy move ----

    void overhangTest()
    {
        const ScreenRect tall = rect(0, 0, 1919, 1199);
        QVERIFY(CursorRules::inOverhang(1100, tall, rect(-1280, 0, -1, 1023)));
        QVERIFY(!CursorRules::inOverhang(1023, tall, rect(-1280, 0, -1, 1023)));
        QVERIFY(!CursorRules::inOverhang(1100, tall, rect(-1920, 0, -1, 1199)));   // same height
        QVERIFY(!CursorRules::inOverhang(1100, rect(0, 0, 1919, 1023), tall));     // taller one
        QVERIFY(!CursorRules::inOverhang(1100, tall, rect(-1280, 100, -1, 1123))); // not level
        QVERIFY(CursorRules::inUnderhang(50, tall, rect(1920, 176, 3199, 1199)));
        QVERIFY(!CursorRules::inUnderhang(176, tall, rect(1920, 176, 3199, 1199)));
    }

    void easyMoveToThePreviousScreen()
    {
        Snapshot s = desktop({rect(-1280, 0, -1, 1023), rect(0, 0, 1919, 1199)});
        s.choices.easyMove = true;
        // Lands on the neighbour's bottom row; row 1024 is on no screen.
        QCOMPARE(list(CursorRules::easyMove(s, 0, 1100, true)), (QVector<QPoint>{{-2, 1023}}));
        QCOMPARE(list(CursorRules::easyMove(s, 0, 1000, true)), none); // the neighbour has that row
        QCOMPARE(list(CursorRules::easyMove(s, 5, 1100, true)), none); // not on the edge
    }

    void easyMoveToTheNextScreen()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1199), rect(1920, 0, 3199, 1023)});
        s.choices.easyMove = true;
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 1100, true)), (QVector<QPoint>{{1921, 1023}}));
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 1023, true)), none);
    }

    void easyMoveBetweenTwoShorterNeighbours()
    {
        Snapshot s =
            desktop({rect(-1280, 0, -1, 1023), rect(0, 0, 1919, 1199), rect(1920, 0, 3199, 1023)});
        s.choices.easyMove = true;
        QCOMPARE(list(CursorRules::easyMove(s, 0, 1150, true)), (QVector<QPoint>{{-2, 1023}}));
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 1150, true)), (QVector<QPoint>{{1921, 1023}}));
    }

    void easyMoveToABottomAlignedNeighbour()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1199), rect(1920, 176, 3199, 1199)});
        s.choices.easyMove = true;
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 40, true)), (QVector<QPoint>{{1921, 176}}));
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 176, true)), none);
        Snapshot p = desktop({rect(-1280, 176, -1, 1199), rect(0, 0, 1919, 1199)});
        p.choices.easyMove = true;
        QCOMPARE(list(CursorRules::easyMove(p, 0, 40, true)), (QVector<QPoint>{{-2, 176}}));
    }

    void easyMoveWithTopsBelowZero_data()
    {
        QTest::addColumn<int>("top");
        QTest::newRow("tops at 0") << 0;
        QTest::newRow("tops at 1080") << 1080;
        QTest::newRow("tops at -600") << -600;
    }

    void easyMoveWithTopsBelowZero()
    {
        // Whatever the common top, the previous screen's landing row is its
        // bottom row and the next screen's is clamped to its bottom row.
        QFETCH(int, top);
        Snapshot s = desktop({rect(-1280, top, -1, top + 1023), rect(0, top, 1919, top + 1199),
                              rect(1920, top, 3199, top + 1023)});
        s.choices.easyMove = true;
        QCOMPARE(list(CursorRules::easyMove(s, 0, top + 1100, true)),
                 (QVector<QPoint>{{-2, top + 1023}}));
        QCOMPARE(list(CursorRules::easyMove(s, 1919, top + 1100, true)),
                 (QVector<QPoint>{{1921, top + 1023}}));
        QCOMPARE(list(CursorRules::easyMove(s, 0, top + 1000, true)), none);
    }

    // ---- cross by physical size ----

    // The same place on the desk, measured from the monitors' middles.
    // `rule`: "cross" is a pointer sampled on A, then on B where the window
    // system took it (from, at); "seam" a contact on A's seam column or row
    // (at) with the device moving by `from`; "wrap" and "easy" those rules
    // at `at`.
    void crossByPhysicalSize_data()
    {
        QTest::addColumn<Desk>("desk");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<bool>("bySize");
        QTest::addColumn<int>("offset"); // how far B's middle stands above (left of) A's
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QVector<QPoint>>("moves");
        // A 27" 4K monitor and a 24" 1080p one, tops level in pixels.
        const Desk big{{rect(0, 0, 3839, 2159), rect(3840, 0, 5759, 1079)},
                       {{597, 336}, {531, 299}}};
        // A 14" 2880x1800 panel at 200% beside a 27" 1440p, bottoms level
        // in pixels; and under it, centred.
        const Desk laptop{{rect(0, 540, 1439, 1439), rect(1440, 0, 3999, 1439)},
                          {{302, 189}, {597, 336}}};
        const Desk stacked{{rect(0, 0, 2559, 1439), rect(560, 1440, 1999, 2339)},
                           {{597, 336}, {302, 189}}};
        const Desk twins{{rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)},
                         {{531, 299}, {531, 299}}};
        // The 1080p one turned on its side: its size still as built.
        const Desk turned{{rect(0, 0, 3839, 2159), rect(3840, 0, 4919, 1919)},
                          {{597, 336}, {531, 299}}};
        Desk unknown = big, nonsense = big;
        unknown.mm[1] = QSize(0, 0);
        nonsense.mm[1] = QSize(160, 90); // a TV's 16:9 in centimetres
        const QPoint nowhere, left(-1, 0), right(1, 0), up(0, -1), down(0, 1);
        const QVector<QPoint> stays;

        QTest::newRow("middle to middle") << big << "cross" << true << 0 << QPoint(3845, 540)
                                          << QPoint(3835, 540) << QVector<QPoint>{{3835, 1080}};
        QTest::newRow("a row on both, X11 kept it")
            << big << "cross" << true << 0 << QPoint(3830, 200) << QPoint(3845, 200)
            << QVector<QPoint>{{3845, 45}};
        QTest::newRow("a sample from before a jump: the row kept")
            << big << "cross" << true << 0 << QPoint(3830, 1900) << QPoint(3845, 200)
            << QVector<QPoint>{{3845, 45}};
        QTest::newRow("a jump onto a row A has not: no crossing")
            << big << "cross" << true << 0 << QPoint(3845, 500) << QPoint(3835, 1500) << stays;
        QTest::newRow("back, top to lower down") << big << "cross" << true << 0 << QPoint(3845, 0)
                                                 << QPoint(3835, 0) << QVector<QPoint>{{3835, 119}};
        QTest::newRow("back, on the seam strip") << big << "seam" << true << 0 << left
                                                 << QPoint(3840, 0) << QVector<QPoint>{{3838, 119}};
        QTest::newRow("above the shorter one's top: its top row")
            << big << "seam" << true << 0 << right << QPoint(3839, 0) << QVector<QPoint>{{3841, 0}};
        QTest::newRow("offset, tops level") << big << "seam" << true << 18 << right
                                            << QPoint(3839, 300) << QVector<QPoint>{{3841, 167}};
        QTest::newRow("offset, seen from B") << big << "seam" << true << 18 << left
                                             << QPoint(3840, 300) << QVector<QPoint>{{3838, 538}};
        QTest::newRow("come onto the seam from across it: stays")
            << big << "seam" << true << 0 << nowhere << QPoint(3840, 300) << stays;
        QTest::newRow("on the seam, moving on away from it: stays")
            << big << "seam" << true << 0 << right << QPoint(3840, 300) << stays;
        QTest::newRow("along the seam: stays")
            << big << "seam" << true << 0 << down << QPoint(3839, 300) << stays;
        QTest::newRow("choice off")
            << big << "cross" << false << 0 << QPoint(3830, 200) << QPoint(3845, 200) << stays;
        QTest::newRow("a size unknown")
            << unknown << "cross" << true << 0 << QPoint(3830, 200) << QPoint(3845, 200) << stays;
        QTest::newRow("a size not believable")
            << nonsense << "seam" << true << 0 << right << QPoint(3839, 200) << stays;
        QTest::newRow("a monitor on its side") << turned << "seam" << true << 0 << right
                                               << QPoint(3839, 200) << QVector<QPoint>{{3841, 465}};
        QTest::newRow("twins: every row stays")
            << twins << "cross" << true << 0 << QPoint(1900, 500) << QPoint(1925, 500) << stays;
        QTest::newRow("twins, offset") << twins << "cross" << true << 50 << QPoint(1900, 500)
                                       << QPoint(1925, 500) << QVector<QPoint>{{1925, 681}};
        QTest::newRow("laptop top to monitor") << laptop << "seam" << true << 0 << right
                                               << QPoint(1439, 540) << QVector<QPoint>{{1441, 315}};
        QTest::newRow("below the laptop's bottom: its bottom row")
            << laptop << "seam" << true << 0 << left << QPoint(1440, 1300)
            << QVector<QPoint>{{1438, 1439}};
        QTest::newRow("Easy Move by size: the laptop's nearest row")
            << laptop << "easy" << true << 0 << nowhere << QPoint(1440, 100)
            << QVector<QPoint>{{1438, 540}};
        QTest::newRow("Easy Move by size, tops level")
            << big << "easy" << true << 0 << nowhere << QPoint(3839, 1500)
            << QVector<QPoint>{{3841, 776}};
        QTest::newRow("Easy Move, choice off")
            << big << "easy" << false << 0 << nowhere << QPoint(3839, 1500)
            << QVector<QPoint>{{3841, 1079}};
        QTest::newRow("wrap by size") << big << "wrap" << true << 0 << nowhere << QPoint(5759, 540)
                                      << QVector<QPoint>{{1, 1080}};
        QTest::newRow("wrap by size, leftwards") << big << "wrap" << true << 0 << nowhere
                                                 << QPoint(0, 200) << QVector<QPoint>{{5758, 45}};
        QTest::newRow("stacked: down onto the laptop")
            << stacked << "cross" << true << 0 << QPoint(700, 1430) << QPoint(700, 1445)
            << QVector<QPoint>{{635, 1445}};
        QTest::newRow("stacked: strip on the monitor's bottom row")
            << stacked << "seam" << true << 0 << down << QPoint(700, 1439)
            << QVector<QPoint>{{635, 1441}};
        QTest::newRow("stacked: up, further left than the monitor's middle")
            << stacked << "seam" << true << 10 << up << QPoint(600, 1440)
            << QVector<QPoint>{{626, 1438}};
    }

    void crossByPhysicalSize()
    {
        QFETCH(Desk, desk);
        QFETCH(QString, rule);
        QFETCH(QPoint, from);
        QFETCH(QPoint, at);
        Snapshot s;
        s.screens = ScreenTable(desk.rects, {"A", "B"}, desk.mm);
        QFETCH(bool, bySize);
        s.choices.crossByPhysicalSize = bySize;
        QFETCH(int, offset);
        s.choices.setOffsetMm("A", "B", offset);
        s.choices.allowLeftWrap = s.choices.allowRightWrap = s.choices.easyMove = true;
        const QVector<QPoint> moves =
            list(rule == "cross"  ? CursorRules::crossBySize(s, from.x(), from.y(), at.x(), at.y())
                 : rule == "seam" ? CursorRules::crossSeam(s, at.x(), at.y(), from.x(), from.y())
                 : rule == "wrap" ? CursorRules::wrapEdges(s, at.x(), at.y(), true)
                                  : CursorRules::easyMove(s, at.x(), at.y(), true));
        QTEST(moves, "moves");
        // Landed, it is on no seam it would cross back over, whichever way
        // it goes on.
        for (const QPoint &p : moves)
            for (const QPoint &way : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                QCOMPARE(list(CursorRules::crossSeam(s, p.x(), p.y(), way.x(), way.y())),
                         QVector<QPoint>());
    }

    // Every row of both sides of a side-by-side seam leads onto the other
    // monitor (by size, by Easy Move, or by itself where the pixels meet
    // where the sizes do), keeping its order: no dead end, nothing turned
    // over, at any offset.
    void everyRowOfASeamCrosses_data()
    {
        QTest::addColumn<Desk>("desk");
        QTest::addColumn<int>("offset");
        const Desk big{{rect(0, 0, 3839, 2159), rect(3840, 0, 5759, 1079)},
                       {{597, 336}, {531, 299}}};
        const Desk laptop{{rect(0, 540, 1439, 1439), rect(1440, 0, 3999, 1439)},
                          {{302, 189}, {597, 336}}};
        QTest::newRow("4K beside 1080p") << big << 0;
        QTest::newRow("the smaller one far up") << big << 250;
        QTest::newRow("the smaller one far down") << big << -250;
        QTest::newRow("a laptop beside a 1440p, bottoms level") << laptop << 0;
    }

    void everyRowOfASeamCrosses()
    {
        QFETCH(Desk, desk);
        QFETCH(int, offset);
        Snapshot s;
        s.screens = ScreenTable(desk.rects, {"A", "B"}, desk.mm);
        s.choices.crossByPhysicalSize = true;
        s.choices.easyMove = false; // by size it carries from the rows B lacks all the same
        s.choices.setOffsetMm("A", "B", offset);
        for (int from : {0, 1}) {
            const ScreenRect &a = desk.rects[std::size_t(from)];
            const ScreenRect &b = desk.rects[std::size_t(1 - from)];
            const int way = b.left > a.right ? 1 : -1;
            const int x = way > 0 ? a.right : a.left;
            int last = -1;
            for (int y = a.top; y <= a.bottom; ++y) {
                QVector<QPoint> moves = list(CursorRules::crossSeam(s, x, y, way, 0));
                if (moves.isEmpty())
                    moves = list(CursorRules::easyMove(s, x, y, true));
                const QPoint at = moves.isEmpty() ? QPoint(x + way, y) : moves.last();
                if (s.screens.screenIndexAt(at.x(), at.y()) != 1 - from || at.y() < last)
                    QFAIL(qPrintable(QString("from %1,%2 to %3,%4 after row %5")
                                         .arg(x)
                                         .arg(y)
                                         .arg(at.x())
                                         .arg(at.y())
                                         .arg(last)));
                last = at.y();
            }
        }
    }

    void easyMoveNeedsItsSwitchAndDifferentHeights()
    {
        Snapshot s = desktop({rect(0, 0, 1919, 1199), rect(1920, 0, 3199, 1023)});
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 1100, true)), none); // off
        s.choices.easyMove = true;
        s.choices.minVelocityOn = true;
        s.choices.minVelocity = 20;
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 1100, fastEnough(s, 5))), none); // too slow
        QCOMPARE(list(CursorRules::easyMove(s, 1919, 1100, fastEnough(s, 25))),
                 (QVector<QPoint>{{1921, 1023}}));

        Snapshot same = desktop({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        same.choices.easyMove = true;
        QCOMPARE(list(CursorRules::easyMove(same, 1919, 1079, true)), none);

        Snapshot one = desktop({rect(0, 0, 1919, 1079)});
        one.choices.easyMove = true;
        QCOMPARE(list(CursorRules::easyMove(one, 1919, 1079, true)), none);
    }
};

QTEST_APPLESS_MAIN(TestCursorRules)
#include "tst_cursorrules.moc"
