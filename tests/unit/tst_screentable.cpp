#include "enginestate.h"

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
        EngineState s;
        s.buildScreenTable({rect(0, 0, 1919, 1079)});
        QVERIFY(!s.multipleScreens);
        QVERIFY(!s.screenHeightsDiffer);
        QCOMPARE(s.desktopLeft.load(), 0);
        QCOMPARE(s.desktopRight.load(), 1919);
        QCOMPARE(s.screenTable.wrapFlags.size(), std::size_t(1));
        // With one screen every x belongs to it, even off the screen.
        QCOMPARE(s.screenTable.screenIndexAt(500), 0);
        QCOMPARE(s.screenTable.screenIndexAt(-4000), 0);
        QCOMPARE(s.screenTable.screenIndexAt(99999), 0);
    }

    void sortsByLeftEdge()
    {
        EngineState s;
        s.buildScreenTable({rect(1920, 0, 3839, 1079), rect(0, 0, 1919, 1079)});
        QCOMPARE(s.screenTable.rects[0], rect(0, 0, 1919, 1079));
        QCOMPARE(s.screenTable.rects[1], rect(1920, 0, 3839, 1079));
        QCOMPARE(s.desktopLeft.load(), 0);
        QCOMPARE(s.desktopRight.load(), 3839);
        QVERIFY(s.multipleScreens);
        QVERIFY(!s.screenHeightsDiffer);
        for (const ScreenWrapFlags &f : s.screenTable.wrapFlags)
            QVERIFY(!f.wrapTop && !f.wrapBottom);
    }

    void sortIsStableAndThreeScreensSort()
    {
        EngineState s;
        // Two stacked screens share a left edge; a third lies left of both.
        s.buildScreenTable(
            {rect(0, 1080, 1919, 2159), rect(0, 0, 1919, 1079), rect(-1280, 0, -1, 1023)});
        QCOMPARE(s.screenTable.rects[0], rect(-1280, 0, -1, 1023));
        QCOMPARE(s.screenTable.rects[1], rect(0, 1080, 1919, 2159));
        QCOMPARE(s.screenTable.rects[2], rect(0, 0, 1919, 1079));
        // The first of the stacked pair answers for every x they share.
        QCOMPARE(s.screenTable.screenIndexAt(0), 1);
        QCOMPARE(s.screenTable.screenIndexAt(1919), 1);
        QCOMPARE(s.desktopLeft.load(), -1280);
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
        EngineState s;
        s.buildScreenTable(screens);
        QCOMPARE(s.screenHeightsDiffer.load(), differ);
    }

    void rebuildForgetsEarlierFacts()
    {
        EngineState s;
        s.buildScreenTable({rect(0, 0, 1919, 1079), rect(1920, 0, 4479, 1439)});
        s.buildScreenTable({rect(0, 0, 1919, 1079)});
        QVERIFY(!s.screenHeightsDiffer);
        QVERIFY(!s.multipleScreens);
        QCOMPARE(s.screenTable.size(), 1);
    }

    void desktopRightIsTheLastScreensRightEdge()
    {
        EngineState s;
        s.buildScreenTable({rect(0, 0, 2559, 1439), rect(100, 1440, 1379, 2159)});
        QCOMPARE(s.desktopRight.load(), 1379);
    }

    void lookupWithGapsAndOverlaps()
    {
        EngineState s;
        s.buildScreenTable({rect(0, 0, 1919, 1079), rect(2000, 0, 3279, 1023)});
        QCOMPARE(s.screenTable.screenIndexAt(1950), -1);
        QCOMPARE(s.screenTable.screenIndexAt(1919), 0);
        QCOMPARE(s.screenTable.screenIndexAt(2000), 1);
        QCOMPARE(s.screenTable.screenIndexAt(3280), -1);
        QCOMPARE(s.screenTable.screenIndexAt(-1), -1);

        EngineState o;
        o.buildScreenTable({rect(1000, 0, 2999, 1079), rect(0, 0, 1999, 1079)});
        QCOMPARE(o.screenTable.screenIndexAt(1500), 0); // inside both: the first
        QCOMPARE(o.screenTable.screenIndexAt(2500), 1);
    }

    void emptyTableFindsNothing()
    {
        EngineState s;
        s.buildScreenTable({});
        QCOMPARE(s.screenTable.screenIndexAt(0), -1);
        QVERIFY(!s.multipleScreens);
    }
};

QTEST_APPLESS_MAIN(TestScreenTable)
#include "tst_screentable.moc"
