#include "physicallayout.h"

#include <QtTest>

Q_DECLARE_METATYPE(ScreenRect)
Q_DECLARE_METATYPE(std::vector<ScreenRect>)
Q_DECLARE_METATYPE(std::vector<QSize>)

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

// A 1280x720 monitor of 600x338 mm left of a 1920x1080 one of 530x298 mm,
// tops level: the small one's pixels are the larger.
const std::vector<ScreenRect> pair{rect(0, 0, 1279, 719), rect(1280, 0, 3199, 1079)};
const std::vector<QSize> pairMm{{600, 338}, {530, 298}};

// The three monitors of the shared end-to-end cases, each with its size.
const std::vector<ScreenRect> three{rect(0, 0, 1279, 719), rect(1280, 0, 3199, 1079),
                                    rect(3200, 0, 4479, 719)};
const std::vector<QSize> threeMm{{600, 338}, {530, 298}, {600, 338}};

ScreenTable table(const std::vector<ScreenRect> &rects, const std::vector<QSize> &mm)
{
    std::vector<QString> names;
    for (std::size_t i = 0; i < rects.size(); ++i)
        names.push_back("OUT-" + QString::number(i));
    return ScreenTable(rects, names, mm);
}

// A screen's middle down the desk, in the layout's units.
int middleY(const ScreenRect &r)
{
    return r.top + r.bottom;
}

} // namespace

class TestPhysicalLayout : public QObject
{
    Q_OBJECT

private slots:
    void standsAsOnTheDesk_data()
    {
        QTest::addColumn<std::vector<ScreenRect>>("screens");
        QTest::addColumn<std::vector<QSize>>("mm");
        QTest::addColumn<int>("offset"); // of the second screen from the first
        QTest::addColumn<std::vector<ScreenRect>>("desk");
        // Middles level: the larger 1920x1080 stands 20 mm lower than the
        // 1280x720 at its top, though their pixel tops are level.
        QTest::newRow("side by side, middles level")
            << pair << pairMm << 0
            << std::vector<ScreenRect>{rect(0, 0, 5999, 3379), rect(6000, 200, 11299, 3179)};
        QTest::newRow("side by side, the second 50 mm higher")
            << pair << pairMm << 50
            << std::vector<ScreenRect>{rect(0, 0, 5999, 3379), rect(6000, -300, 11299, 2679)};
        QTest::newRow("a size unknown: the other's pixel pitch")
            << pair << std::vector<QSize>{{600, 338}, {0, 0}} << 0
            << std::vector<ScreenRect>{rect(0, 0, 5999, 3379), rect(6000, -841, 14999, 4221)};
        QTest::newRow("stacked, middles in line")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(0, 1080, 1279, 1799)}
            << std::vector<QSize>{{530, 298}, {600, 338}} << 0
            << std::vector<ScreenRect>{rect(0, 0, 5299, 2979), rect(-350, 2980, 5649, 6359)};
        QTest::newRow("stacked, the second 40 mm to the left")
            << std::vector<ScreenRect>{rect(0, 0, 1919, 1079), rect(0, 1080, 1279, 1799)}
            << std::vector<QSize>{{530, 298}, {600, 338}} << 40
            << std::vector<ScreenRect>{rect(0, 0, 5299, 2979), rect(-750, 2980, 5249, 6359)};
    }

    void standsAsOnTheDesk()
    {
        QFETCH(std::vector<ScreenRect>, screens);
        QFETCH(std::vector<QSize>, mm);
        QFETCH(int, offset);
        QFETCH(std::vector<ScreenRect>, desk);
        const ScreenTable t = table(screens, mm);
        Choices c;
        c.setOffsetMm(t.names[0], t.names[1], offset);
        const std::vector<ScreenRect> got = PhysicalLayout::rects(t, c);
        QCOMPARE(int(got.size()), int(desk.size()));
        for (std::size_t i = 0; i < desk.size(); ++i) {
            QCOMPARE(got[i].left, desk[i].left);
            QCOMPARE(got[i].top, desk[i].top);
            QCOMPARE(got[i].right, desk[i].right);
            QCOMPARE(got[i].bottom, desk[i].bottom);
        }
    }

    void aDragRaisesOneMonitorAndLeavesTheOthers_data()
    {
        QTest::addColumn<int>("canvasDy");
        QTest::addColumn<unsigned>("divisor");
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("upMm");
        QTest::newRow("the middle one up") << -10 << 30u << 1 << 30;
        QTest::newRow("the middle one down") << 7 << 30u << 1 << -21;
        QTest::newRow("the left one, half a millimetre rounds away") << -1 << 5u << 0 << 1;
        QTest::newRow("the left one, as far as any offset goes")
            << -100000 << 1000u << 0 << ScreenTable::largestMm;
        QTest::newRow("no move") << 0 << 30u << 2 << 0;
    }

    void aDragRaisesOneMonitorAndLeavesTheOthers()
    {
        QFETCH(int, canvasDy);
        QFETCH(unsigned, divisor);
        QFETCH(int, screen);
        QFETCH(int, upMm);
        QCOMPARE(PhysicalLayout::dragMm(canvasDy, divisor), upMm);
        const ScreenTable t = table(three, threeMm);
        Choices c;
        c.setOffsetMm(t.names[1], t.names[2], 12); // one offset there already
        const std::vector<ScreenRect> before = PhysicalLayout::rects(t, c);
        PhysicalLayout::raise(c, t, screen, upMm);
        const std::vector<ScreenRect> after = PhysicalLayout::rects(t, c);
        // Measured against each other screen: the raised one stands upMm
        // higher, the others where they were.
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const int was = middleY(before[std::size_t(i)]) - middleY(before[std::size_t(j)]);
                const int is = middleY(after[std::size_t(i)]) - middleY(after[std::size_t(j)]);
                const int by = i == screen && j != screen   ? -upMm
                               : j == screen && i != screen ? upMm
                                                            : 0;
                QCOMPARE(is - was, 2 * PhysicalLayout::unitsPerMm * by);
            }
        }
    }

    void sizeFromADiagonal_data()
    {
        QTest::addColumn<double>("inches");
        QTest::addColumn<ScreenRect>("pixels");
        QTest::addColumn<QSize>("mm");
        QTest::newRow("24\" full HD") << 24.0 << rect(0, 0, 1919, 1079) << QSize(531, 299);
        QTest::newRow("27\" QHD") << 27.0 << rect(0, 0, 2559, 1439) << QSize(598, 336);
        QTest::newRow("on its side") << 24.0 << rect(0, 0, 1079, 1919) << QSize(299, 531);
        QTest::newRow("a tenth of an inch") << 23.8 << rect(0, 0, 1919, 1079) << QSize(527, 296);
        QTest::newRow("no diagonal") << 0.0 << rect(0, 0, 1919, 1079) << QSize(0, 0);
    }

    void sizeFromADiagonal()
    {
        QFETCH(double, inches);
        QFETCH(ScreenRect, pixels);
        QFETCH(QSize, mm);
        QCOMPARE(PhysicalLayout::mmFromDiagonal(inches, pixels), mm);
        // Whatever the diagonal gives, the rule takes as a size.
        if (!mm.isEmpty())
            QCOMPARE(ScreenTable::believableMm(mm, pixels), mm);
    }

    void sizeLabels_data()
    {
        QTest::addColumn<QSize>("reported");
        QTest::addColumn<QSize>("given");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("known"); // of two such monitors
        QTest::newRow("reported") << QSize(530, 298) << QSize() << "530\u00D7298 mm" << 2;
        QTest::newRow("set by the user")
            << QSize(530, 298) << QSize(600, 338) << "600\u00D7338 mm, set by you" << 2;
        QTest::newRow("set where none is reported")
            << QSize(0, 0) << QSize(600, 338) << "600\u00D7338 mm, set by you" << 2;
        QTest::newRow("unknown") << QSize(0, 0) << QSize() << "size unknown" << 0;
        QTest::newRow("an aspect ratio for a size")
            << QSize(16, 9) << QSize() << "size unknown" << 0;
    }

    void sizeLabels()
    {
        QFETCH(QSize, reported);
        QFETCH(QSize, given);
        QFETCH(int, known);
        ScreenTable t =
            table({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)}, {reported, reported});
        Choices c;
        if (given.isValid()) {
            c.monitorSizesMm.insert(t.names[0], given);
            c.monitorSizesMm.insert(t.names[1], given);
        }
        t.applySizes(c.monitorSizesMm);
        QTEST(PhysicalLayout::sizeLabel(t, c, 0), "label");
        QCOMPARE(PhysicalLayout::knownSizes(t), known);
    }
};

QTEST_GUILESS_MAIN(TestPhysicalLayout)
#include "tst_physicallayout.moc"
