#include "published.h"
#include "snapshot.h"

#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

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
        QCOMPARE(t.wraps.size(), std::size_t(1));
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
        for (const MonitorWraps &f : t.wraps)
            QVERIFY(!f.top && !f.bottom);
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

    void unnamedScreensAreNamedByTheirPlaceInTheEnumeration()
    {
        // Their switches still need a key; the name follows the screen
        // through the sort.
        const ScreenTable t(
            {rect(1920, 0, 3839, 1079), rect(0, 0, 1919, 1079), rect(3840, 0, 5119, 1023)},
            {"DP-1", ""});
        QCOMPARE(t.names, (std::vector<QString>{"#1", "DP-1", "#2"}));
        QCOMPARE(ScreenTable({rect(0, 0, 99, 99)}).names, std::vector<QString>{"#0"});
    }

    void wrapsComeFromTheChoicesByName()
    {
        ScreenTable t({rect(1920, 0, 3839, 1079), rect(0, 0, 1919, 1079)}, {"HDMI-1", "eDP-1"});
        QCOMPARE(t.wraps.size(), std::size_t(2));
        QHash<QString, MonitorWraps> byMonitor;
        byMonitor["HDMI-1"] = {true, false};
        byMonitor["DP-9"] = {true, true}; // unplugged: kept, but no screen here
        t.applyWraps(byMonitor);
        QCOMPARE(t.wraps, (std::vector<MonitorWraps>{{false, false}, {true, false}}));
        // A monitor no longer named there has its switches off again.
        byMonitor.remove("HDMI-1");
        byMonitor["eDP-1"] = {false, true};
        t.applyWraps(byMonitor);
        QCOMPARE(t.wraps, (std::vector<MonitorWraps>{{false, true}, {false, false}}));
    }

    // ---- handing snapshots to the engine ----

    void aHeldSnapshotStaysAndAnUnheldOneIsFreed()
    {
        Published<Snapshot> p;
        std::shared_ptr<const Snapshot> held;
        std::uint64_t seen = 0;
        QVERIFY(!p.load());
        QVERIFY(!p.refresh(held, seen)); // nothing published yet
        QVERIFY(!held);

        auto first = std::make_shared<Snapshot>();
        first->layout = 1;
        std::weak_ptr<const Snapshot> firstGone = first;
        p.publish(std::move(first));
        QVERIFY(p.refresh(held, seen));
        QCOMPARE(held->layout, std::uint64_t(1));
        QVERIFY(!p.refresh(held, seen)); // nothing new

        // Replaced while the reader still holds it: it lives on.
        auto second = std::make_shared<Snapshot>();
        second->layout = 2;
        std::weak_ptr<const Snapshot> secondGone = second;
        p.publish(std::move(second));
        QVERIFY(!firstGone.expired());
        QCOMPARE(held->layout, std::uint64_t(1));

        // Replaced before anyone took it: freed at once.
        auto third = std::make_shared<Snapshot>();
        third->layout = 3;
        p.publish(std::move(third));
        QVERIFY(secondGone.expired());

        // The reader skips to the newest and lets go of its old one.
        QVERIFY(p.refresh(held, seen));
        QCOMPARE(held->layout, std::uint64_t(3));
        QVERIFY(firstGone.expired());
        QCOMPARE(p.load(), held);
    }

    void aReaderSeesWholeSnapshotsWhileTheyArePublished()
    {
        // Every snapshot the reader takes is complete: its table's facts
        // match its rectangles, and its layout the number of screens; and
        // none is older than one it took before. Under the thread checker
        // this also shows the hand-over race-free.
        const auto make = [](std::uint64_t layout) {
            auto s = std::make_shared<Snapshot>();
            std::vector<ScreenRect> screens;
            for (std::uint64_t i = 0; i <= layout % 4; ++i)
                screens.push_back(rect(int(i) * 1000, 0, int(i) * 1000 + 999, 99));
            s->screens = ScreenTable(screens);
            s->layout = layout;
            return s;
        };
        Published<Snapshot> p;
        p.publish(make(0));
        constexpr std::uint64_t publishes = 2000;
        std::atomic<std::uint64_t> newestSeen{0};
        std::atomic<bool> done{false};
        int bad = 0, taken = 0;
        std::thread reader([&] {
            std::shared_ptr<const Snapshot> held;
            std::uint64_t seen = 0;
            std::uint64_t last = 0;
            // One more look after the writer is done: the last one.
            for (bool more = true; more;) {
                more = !done.load();
                if (!p.refresh(held, seen))
                    continue;
                ++taken;
                const ScreenTable &t = held->screens;
                const int n = t.size();
                if (n != int(held->layout % 4) + 1 || t.desktopRight != t.rects.back().right ||
                    t.multipleScreens != (n > 1) || int(t.wraps.size()) != n ||
                    int(t.names.size()) != n || t.screenIndexAt(t.desktopRight, 0) != n - 1 ||
                    held->layout < last)
                    ++bad;
                last = held->layout;
                newestSeen.store(last);
            }
        });
        for (std::uint64_t k = 1; k <= publishes; ++k) {
            p.publish(make(k));
            // Now and then the writer lets the reader catch up, so that the
            // two really overlap however the threads are scheduled.
            if (k % 100 == 0) {
                while (newestSeen.load() < k)
                    std::this_thread::yield();
            }
        }
        done = true;
        reader.join();
        QCOMPARE(bad, 0);
        QCOMPARE(newestSeen.load(), publishes);
        QVERIFY2(taken >= int(publishes / 100), qPrintable(QString::number(taken)));
    }
};

QTEST_APPLESS_MAIN(TestScreenTable)
#include "tst_screentable.moc"
