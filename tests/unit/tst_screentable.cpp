#include "enginestate.h"

#include <thread>

#include <QtTest>

Q_DECLARE_METATYPE(std::vector<ScreenRect>)

namespace {
ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}
} // namespace

class TestScreenTable : public QObject
{
    Q_OBJECT

private slots:
    void oneScreen()
    {
        const ScreenTable t({rect(0, 0, 1919, 1079)});
        QVERIFY(!t.multipleScreens);
        QVERIFY(!t.screenHeightsDiffer);
        QCOMPARE(t.desktopLeft, 0);
        QCOMPARE(t.desktopRight, 1919);
        QCOMPARE(t.wrapFlags.size(), std::size_t(1));
        // With one screen every point belongs to it, even off the screen.
        QCOMPARE(t.screenIndexAt(500, 5), 0);
        QCOMPARE(t.screenIndexAt(-4000, 5), 0);
        QCOMPARE(t.screenIndexAt(99999, -3), 0);
    }

    void sortsByLeftEdge()
    {
        const ScreenTable t({rect(1920, 0, 3839, 1079), rect(0, 0, 1919, 1079)}, {"B", "A"});
        QCOMPARE(t.rects[0], rect(0, 0, 1919, 1079));
        QCOMPARE(t.rects[1], rect(1920, 0, 3839, 1079));
        QCOMPARE(t.names, (std::vector<QString>{"A", "B"})); // names move with their screens
        QCOMPARE(t.indexOf("B"), 1);
        QCOMPARE(t.indexOf("C"), -1);
        QCOMPARE(t.desktopLeft, 0);
        QCOMPARE(t.desktopRight, 3839);
        QVERIFY(t.multipleScreens);
        QVERIFY(!t.screenHeightsDiffer);
        for (const ScreenWrapFlags &f : t.wrapFlags)
            QVERIFY(!f.wrapTop && !f.wrapBottom);
    }

    void sortIsStableAndThreeScreensSort()
    {
        // Two stacked screens share a left edge; a third lies left of both.
        const ScreenTable t(
            {rect(0, 1080, 1919, 2159), rect(0, 0, 1919, 1079), rect(-1280, 0, -1, 1023)});
        QCOMPARE(t.rects[0], rect(-1280, 0, -1, 1023));
        QCOMPARE(t.rects[1], rect(0, 1080, 1919, 2159));
        QCOMPARE(t.rects[2], rect(0, 0, 1919, 1079));
        // Each of the stacked pair answers for its own rows.
        QCOMPARE(t.screenIndexAt(0, 1080), 1);
        QCOMPARE(t.screenIndexAt(1919, 1079), 2);
        QCOMPARE(t.screenIndexAt(-5, 500), 0);
        QCOMPARE(t.screenIndexAt(-5, 1500), -1); // left of the laptop: no screen
        QCOMPARE(t.desktopLeft, -1280);
    }

    void heightsDiffer_data()
    {
        QTest::addColumn<std::vector<ScreenRect>>("screens");
        QTest::addColumn<bool>("differ");
        QTest::newRow("1080 and 1440")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(1920, 0, 4479, 1439)} << true;
        QTest::newRow("1080 and 1080")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)} << false;
        QTest::newRow("same heights, other offsets")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(1920, 300, 3839, 1379)}
            << false;
        QTest::newRow("only the last differs")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079),
                                       rect(3840, 0, 5119, 1023)}
            << true;
    }

    void heightsDiffer()
    {
        QFETCH(std::vector<ScreenRect>, screens);
        QFETCH(bool, differ);
        QCOMPARE(ScreenTable(screens).screenHeightsDiffer, differ);
    }

    void desktopEdgesAreTheOutermostColumns_data()
    {
        QTest::addColumn<std::vector<ScreenRect>>("screens");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("laptop under a wider monitor")
            << std::vector<ScreenRect>{rect(0, 0, 2559, 1439), rect(0, 1440, 1919, 2519)} << 0
            << 2559;
        QTest::newRow("narrow screen sorts last")
            << std::vector<ScreenRect>{rect(0, 0, 2559, 1439), rect(100, 1440, 1379, 2159)} << 0
            << 2559;
        QTest::newRow("left of and above the primary")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(-1280, -1024, -1, -1)} << -1280
            << 1919;
        QTest::newRow("empty") << std::vector<ScreenRect>{} << 0 << 0;
    }

    void desktopEdgesAreTheOutermostColumns()
    {
        QFETCH(std::vector<ScreenRect>, screens);
        const ScreenTable t(screens);
        QTEST(t.desktopLeft, "left");
        QTEST(t.desktopRight, "right");
    }

    void lookupWithGapsAndOverlaps()
    {
        const ScreenTable t({rect(0, 0, 1919, 1079), rect(2000, 0, 3279, 1023)});
        QCOMPARE(t.screenIndexAt(1950, 10), -1);
        QCOMPARE(t.screenIndexAt(1919, 10), 0);
        QCOMPARE(t.screenIndexAt(2000, 10), 1);
        QCOMPARE(t.screenIndexAt(2000, 1050), -1); // below the shorter one
        QCOMPARE(t.screenIndexAt(3280, 10), -1);
        QCOMPARE(t.screenIndexAt(-1, 10), -1);

        const ScreenTable o({rect(1000, 0, 2999, 1079), rect(0, 0, 1999, 1079)});
        QCOMPARE(o.screenIndexAt(1500, 5), 0); // inside both: the first
        QCOMPARE(o.screenIndexAt(2500, 5), 1);

        QCOMPARE(ScreenTable(std::vector<ScreenRect>{}).screenIndexAt(0, 0), -1);
    }

    void farEdgeScreensAndNeighbours()
    {
        // A 2560x1440 monitor over a 1920x1080 laptop, a 1280x1024 screen
        // right of the monitor.
        const ScreenTable t(
            {rect(0, 0, 2559, 1439), rect(0, 1440, 1919, 2519), rect(2560, 0, 3839, 1023)});
        // Left edge: both stacked screens reach it; the one holding the row.
        QCOMPARE(t.screenOnDesktopEdge(true, 100), 0);
        QCOMPARE(t.screenOnDesktopEdge(true, 2000), 1);
        QCOMPARE(t.screenOnDesktopEdge(true, 9000), 1); // below all: the nearest
        // Right edge: only the third screen reaches x 3839.
        QCOMPARE(t.screenOnDesktopEdge(false, 2000), 2);
        QCOMPARE(ScreenTable(std::vector<ScreenRect>{}).screenOnDesktopEdge(false, 0), -1);
        // Neighbours share rows; the stacked laptop is nobody's.
        QCOMPARE(t.neighbour(0, false), 2);
        QCOMPARE(t.neighbour(2, true), 0);
        QCOMPARE(t.neighbour(0, true), -1);
        QCOMPARE(t.neighbour(1, false), -1);
    }

    void replacedTablesAreFreedOnlyOnceTheEngineLetsGo()
    {
        ScreenTableHolder h;
        h.publish(std::make_unique<ScreenTable>(std::vector<ScreenRect>{rect(0, 0, 99, 99)}));
        QCOMPARE(h.retiredCount(), std::size_t(0)); // no pass ran: freed at once
        h.enterPass();
        const ScreenTable *held = &h.current();
        h.publish(std::make_unique<ScreenTable>(std::vector<ScreenRect>{rect(0, 0, 9, 9)}));
        h.reclaim();
        QCOMPARE(h.retiredCount(), std::size_t(1)); // the pass may still read it
        QCOMPARE(held->rects[0].right, 99);
        h.leavePass();
        h.reclaim();
        QCOMPARE(h.retiredCount(), std::size_t(0));
        QCOMPARE(h.current().rects[0].right, 9);
        QCOMPARE(h.generation(), std::uint64_t(2));
    }

    void engineReadsWholeTablesWhileTheyAreReplaced()
    {
        // Every table the reader sees is complete: its facts match its
        // rectangles. Under the thread checker this also shows the swap and
        // the reclaim race-free.
        EngineState s;
        s.buildScreenTable({rect(0, 0, 1919, 1079)});
        std::atomic<bool> done{false};
        std::atomic<int> bad{0};
        std::thread engine([&] {
            while (!done.load()) {
                s.screens.enterPass();
                const ScreenTable &t = s.screenTable();
                const int n = t.size();
                if (n < 1 || t.desktopRight != t.rects.back().right ||
                    t.multipleScreens != (n > 1) || int(t.wrapFlags.size()) != n ||
                    t.screenIndexAt(t.desktopRight, 0) != n - 1)
                    ++bad;
                s.screens.leavePass();
            }
        });
        for (int k = 0; k < 2000; ++k) {
            std::vector<ScreenRect> screens;
            for (int i = 0; i <= k % 4; ++i)
                screens.push_back(rect(i * 1000, 0, i * 1000 + 999, 99));
            s.buildScreenTable(screens);
            s.screens.reclaim();
        }
        done = true;
        engine.join();
        QCOMPARE(bad.load(), 0);
    }
};

QTEST_APPLESS_MAIN(TestScreenTable)
#include "tst_screentable.moc"
