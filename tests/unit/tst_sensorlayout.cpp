#include "cursorrules.h"
#include "sensorlayout.h"

#include <QtTest>

namespace {

using Strips = std::vector<SensorStrip>;

// Why nothing may jump, if anything holds jumps back.
enum Quiet
{
    Active,
    Paused,
    Fullscreen,       // a window full screen, jumps held back then
    FullscreenIgnored // a window full screen, jumps wanted all the same
};

struct Layout
{
    Layout(std::vector<ScreenRect> screens = {}, bool leftWrap = false, bool rightWrap = false,
           bool easy = false, Quiet pause = Active, std::vector<int> tops = {})
        : rects(std::move(screens)), left(leftWrap), right(rightWrap), easyMove(easy),
          paused(pause), topWraps(std::move(tops))
    {
    }
    std::vector<ScreenRect> rects;
    bool left, right, easyMove;
    Quiet paused;
    std::vector<int> topWraps; // screens, in the order given, with their top wrap on
    int guard = 0;             // safe corners
    std::vector<QSize> mm;     // crossing by size with these sizes, if any
};

Layout guarded(Layout l, int guard)
{
    l.guard = guard;
    return l;
}

Layout bySize(Layout l, std::vector<QSize> mm)
{
    l.mm = std::move(mm);
    return l;
}

Snapshot snapshotOf(const Layout &l)
{
    Snapshot s;
    std::vector<QString> names;
    for (std::size_t k = 0; k < l.rects.size(); ++k)
        names.push_back(QString("OUT-%1").arg(k));
    for (int k : l.topWraps)
        s.choices.monitorWraps[names[k]].top = true;
    s.choices.allowLeftWrap = l.left;
    s.choices.allowRightWrap = l.right;
    s.choices.easyMove = l.easyMove;
    s.choices.cornerGuard = l.guard;
    s.choices.paused = l.paused == Paused;
    s.fullscreen = l.paused == Fullscreen || l.paused == FullscreenIgnored;
    s.choices.pauseInFullscreen = l.paused != FullscreenIgnored;
    s.choices.crossByPhysicalSize = !l.mm.empty();
    s.screens = ScreenTable(l.rects, names, l.mm);
    s.screens.applyWraps(s.choices.monitorWraps);
    return s;
}

bool inStrips(const Strips &strips, int x, int y)
{
    for (const SensorStrip &s : strips) {
        if (x >= s.x && x < s.x + s.width && y >= s.y && y < s.y + s.height)
            return true;
    }
    return false;
}

// A seam crosses as the device moves on over it, whichever way that is.
bool crossesSomeWay(const Snapshot &s, int x, int y)
{
    for (const auto &[dx, dy] : {std::pair(-1, 0), {1, 0}, {0, -1}, {0, 1}}) {
        if (!CursorRules::crossSeam(s, x, y, dx, dy).empty())
            return true;
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Layout)
Q_DECLARE_METATYPE(Strips)

// The strips where a sensing window system must watch the pointer: exactly
// where a rule can act, and nothing else.
class TestSensorLayout : public QObject
{
    Q_OBJECT

private slots:
    void strips_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<Strips>("expected");
        const ScreenRect full{0, 0, 1919, 1079}, beside{1920, 0, 3199, 1023};
        const ScreenRect tall{0, 0, 1919, 1199}, lowered{1920, 176, 3199, 1199};
        QTest::newRow("nothing on") << Layout{{full, beside}} << Strips{};
        QTest::newRow("paused") << Layout{{full, beside}, true, true, true, Paused, {0, 1}}
                                << Strips{};
        QTest::newRow("full screen")
            << Layout{{full, beside}, true, true, true, Fullscreen, {0, 1}} << Strips{};
        QTest::newRow("full screen, jumps wanted")
            << Layout{{full, beside}, true, false, false, FullscreenIgnored}
            << Strips{{0, 0, 1, 1080}};
        // Safe corners: no strip where no rule acts, so the corners take
        // their clicks as usual.
        QTest::newRow("corner guard")
            << guarded(Layout{{tall, beside}, true, false, true, Active, {1}}, 40)
            << Strips{{0, 40, 1, 1120}, {1919, 1024, 1, 136}, {1960, 0, 1200, 1}};
        QTest::newRow("right wrap")
            << Layout{{full, beside}, false, true} << Strips{{3199, 0, 1, 1024}};
        QTest::newRow("both wraps, one screen")
            << Layout{{full}, true, true} << Strips{{0, 0, 1, 1080}, {1919, 0, 1, 1080}};
        // A laptop under a monitor: both reach the left edge.
        QTest::newRow("left wrap, stacked")
            << Layout{{{0, 0, 2559, 1439}, {0, 1440, 1919, 2519}}, true}
            << Strips{{0, 0, 1, 1440}, {0, 1440, 1, 1080}};
        QTest::newRow("a monitor's top wrap")
            << Layout{{full, beside}, false, false, false, Active, {1}}
            << Strips{{1920, 0, 1280, 1}};
        QTest::newRow("easy move, tops level")
            << Layout{{tall, beside}, false, false, true} << Strips{{1919, 1024, 1, 176}};
        QTest::newRow("easy move, bottoms level")
            << Layout{{tall, lowered}, false, false, true} << Strips{{1919, 0, 1, 176}};
        QTest::newRow("easy move, equal heights")
            << Layout{{full, {1920, 0, 3839, 1079}}, false, false, true} << Strips{};
        // By size: each side of a seam that remaps, and Easy Move beside
        // every row the neighbour lacks.
        const ScreenRect fourK{0, 0, 3839, 2159}, hd{3840, 0, 5759, 1079};
        QTest::newRow("by size, 4K beside 1080p")
            << bySize(Layout{{fourK, hd}, false, false, true}, {{597, 336}, {531, 299}})
            << Strips{{3839, 1080, 1, 1080}, {3839, 0, 1, 1080}, {3840, 0, 1, 1080}};
        QTest::newRow("by size, twins")
            << bySize(Layout{{full, {1920, 0, 3839, 1079}}}, {{531, 299}, {531, 299}}) << Strips{};
        QTest::newRow("by size, a size unknown")
            << bySize(Layout{{fourK, hd}}, {{597, 336}, {0, 0}}) << Strips{};
        QTest::newRow("by size, laptop under a monitor")
            << bySize(Layout{{{0, 0, 2559, 1439}, {560, 1440, 1999, 2339}}},
                      {{597, 336}, {302, 189}})
            << Strips{{560, 1439, 1440, 1}, {560, 1440, 1440, 1}};
    }

    void strips()
    {
        QFETCH(Layout, layout);
        QFETCH(Strips, expected);
        QCOMPARE(SensorLayout::strips(snapshotOf(layout)), expected);
    }

    void stripsCoverExactlyWhereTheRulesAct_data()
    {
        QTest::addColumn<Layout>("layout");
        // Every switch on, over layouts with stacked, shorter, lowered and
        // gapped screens.
        QTest::newRow("side by side") << Layout{
            {{0, 0, 1919, 1199}, {1920, 0, 3199, 1023}}, true, true, true, Active, {0, 1}};
        QTest::newRow("three, one lowered")
            << Layout{{{0, 100, 1279, 1123}, {1280, 0, 3199, 1199}, {3200, 200, 4223, 967}},
                      true,
                      true,
                      true,
                      Active,
                      {1}};
        QTest::newRow("laptop under a monitor") << Layout{
            {{0, 0, 2559, 1439}, {320, 1440, 2239, 2519}}, true, true, true, Active, {0, 1}};
        QTest::newRow("a gap") << Layout{
            {{0, 0, 1919, 1079}, {2000, 0, 3279, 1023}}, true, true, true, Active, {1}};
        QTest::newRow("by size, three, one lowered, safe corners") << guarded(
            bySize(Layout{{{0, 100, 1279, 1123}, {1280, 0, 3199, 1199}, {3200, 200, 4223, 967}},
                          true,
                          true,
                          true,
                          Active,
                          {1}},
                   {{338, 270}, {518, 324}, {304, 228}}),
            40);
        QTest::newRow("three, one lowered, safe corners")
            << guarded(Layout{{{0, 100, 1279, 1123}, {1280, 0, 3199, 1199}, {3200, 200, 4223, 967}},
                              true,
                              true,
                              true,
                              Active,
                              {0, 1, 2}},
                       40);
    }

    void stripsCoverExactlyWhereTheRulesAct()
    {
        QFETCH(Layout, layout);
        const Snapshot s = snapshotOf(layout);
        const Strips strips = SensorLayout::strips(s);
        // The rules act only on screens' outer rows and columns: walk them
        // all.
        for (const ScreenRect &r : s.screens.rects) {
            std::vector<std::pair<int, int>> edge;
            for (int x = r.left; x <= r.right; ++x)
                edge.insert(edge.end(), {{x, r.top}, {x, r.bottom}});
            for (int y = r.top; y <= r.bottom; ++y)
                edge.insert(edge.end(), {{r.left, y}, {r.right, y}});
            for (auto [x, y] : edge) {
                const bool acts = !CursorRules::wrapEdges(s, x, y, true).empty() ||
                                  !CursorRules::easyMove(s, x, y, true).empty() ||
                                  crossesSomeWay(s, x, y);
                if (acts != inStrips(strips, x, y))
                    QFAIL(qPrintable(QString("at %1,%2 the rules %3 act")
                                         .arg(x)
                                         .arg(y)
                                         .arg(acts ? "do" : "do not")));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSensorLayout)
#include "tst_sensorlayout.moc"
