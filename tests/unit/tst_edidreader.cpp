#include "edidreader.h"

#include <QtTest>

using Patches = QMap<int, int>;
Q_DECLARE_METATYPE(Patches)

namespace {

// A dump from the data folder, as the kernel hands it out.
QByteArray dump(const QString &name)
{
    QFile f(QStringLiteral(PELLMAR_EDID_DATA) + "/" + name + ".hex");
    return f.open(QIODevice::ReadOnly) ? QByteArray::fromHex(f.readAll()) : QByteArray();
}

// Makes the base block's checksum right again.
void sealed(QByteArray &edid)
{
    int sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += static_cast<unsigned char>(edid[i]);
    edid[127] = char((256 - sum % 256) % 256);
}

} // namespace

class TestEdidReader : public QObject
{
    Q_OBJECT

private slots:
    // Real monitors' dumps, and the same with bytes changed (the checksum
    // made right again unless `seal` is false).
    void sizeMm_data()
    {
        QTest::addColumn<QString>("monitor");
        QTest::addColumn<int>("length"); // bytes kept, -1 all
        QTest::addColumn<Patches>("patches");
        QTest::addColumn<bool>("seal");
        QTest::addColumn<QSize>("mm");
        const QString small = "dell-d1918h", large = "dell-d3218hn";
        // The preferred timing's image size, in its three bytes.
        const Patches noTimingSize{{66, 0}, {67, 0}, {68, 0}};
        Patches noSize = noTimingSize;
        noSize.insert(21, 0);
        noSize.insert(22, 0);
        Patches aspectOnly = noSize; // landscape 16:9, as EDID 1.4 puts it
        aspectOnly.insert(21, 0x4f);
        Patches tvCentimetres{{21, 16}, {22, 9}, {66, 160}, {67, 90}, {68, 0}};
        Patches huge{{21, 0}, {22, 0}, {66, 0xa0}, {67, 0xca}, {68, 0xf8}}; // 4000x2250
        // A 1280x1024 timing for a 16:9 size: the size of something else.
        Patches otherPixels{{56, 0x00}, {58, 0x51}, {59, 0x00}, {61, 0x40}};

        QTest::newRow("18.5 inch 1366x768") << small << -1 << Patches() << true << QSize(410, 230);
        QTest::newRow("31.5 inch 1080p") << large << -1 << Patches() << true << QSize(698, 393);
        QTest::newRow("the base block alone")
            << large << 128 << Patches() << true << QSize(698, 393);
        QTest::newRow("centimetres only") << small << -1 << noTimingSize << true << QSize(410, 230);
        QTest::newRow("pixels of another shape")
            << small << -1 << otherPixels << true << QSize(0, 0);
        QTest::newRow("short") << small << 100 << Patches() << true << QSize(0, 0);
        QTest::newRow("bad header") << small << -1 << Patches{{1, 0xfe}} << true << QSize(0, 0);
        QTest::newRow("bad checksum") << small << -1 << Patches{{70, 0x55}} << false << QSize(0, 0);
        QTest::newRow("no size") << small << -1 << noSize << true << QSize(0, 0);
        QTest::newRow("aspect ratio only") << small << -1 << aspectOnly << true << QSize(0, 0);
        QTest::newRow("TV: 16x9 cm") << large << -1 << tvCentimetres << true << QSize(0, 0);
        QTest::newRow("over 3 m") << large << -1 << huge << true << QSize(0, 0);
        QTest::newRow("no preferred timing")
            << large << -1 << Patches{{54, 0}, {55, 0}} << true << QSize(0, 0);
    }

    void sizeMm()
    {
        QFETCH(QString, monitor);
        QFETCH(int, length);
        QFETCH(Patches, patches);
        QFETCH(bool, seal);
        QByteArray edid = dump(monitor);
        QCOMPARE(edid.size(), 256);
        for (auto it = patches.cbegin(); it != patches.cend(); ++it)
            edid[it.key()] = char(it.value());
        if (seal)
            sealed(edid);
        if (length >= 0)
            edid.truncate(length);
        QTEST(EdidReader::sizeMm(edid), "mm");
    }

    // Found by connector name under a sysfs folder of the test's own.
    void blobOf_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("monitor"); // empty: none
        QTest::newRow("DP-1") << "DP-1"
                              << "dell-d1918h";
        QTest::newRow("HDMI-1, the kernel's HDMI-A-1") << "HDMI-1"
                                                       << "dell-d3218hn";
        QTest::newRow("HDMI-A-1") << "HDMI-A-1"
                                  << "dell-d3218hn";
        QTest::newRow("nothing plugged in") << "eDP-1" << QString();
        QTest::newRow("two cards, two monitors") << "DP-2" << QString();
        QTest::newRow("no such connector") << "DP-11" << QString();
        QTest::newRow("unnamed") << QString() << QString();
    }

    void blobOf()
    {
        QTemporaryDir sysfs;
        QVERIFY(sysfs.isValid());
        const auto put = [&sysfs](const QString &connector, const QByteArray &edid) {
            QVERIFY(QDir(sysfs.path()).mkpath(connector));
            QFile f(sysfs.path() + "/" + connector + "/edid");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(edid);
        };
        put("card0-DP-1", dump("dell-d1918h"));
        put("card0-HDMI-A-1", dump("dell-d3218hn"));
        put("card0-eDP-1", QByteArray());
        put("card0-DP-2", dump("dell-d1918h"));
        put("card1-DP-2", dump("dell-d3218hn"));
        QFETCH(QString, output);
        QFETCH(QString, monitor);
        const EdidReader reader(sysfs.path());
        QCOMPARE(reader.blobOf(output), monitor.isEmpty() ? QByteArray() : dump(monitor));
        QCOMPARE(reader.sizeMmOf(output),
                 monitor.isEmpty() ? QSize(0, 0) : EdidReader::sizeMm(dump(monitor)));
    }
};

QTEST_GUILESS_MAIN(TestEdidReader)
#include "tst_edidreader.moc"
