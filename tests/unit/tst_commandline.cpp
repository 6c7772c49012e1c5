#include "commandline.h"

#include <QtTest>
#include <vector>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void chosenPlatform_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("nothing") << QStringList{} << ""
                                 << "";
        QTest::newRow("a verb only") << QStringList{"--pause"} << ""
                                     << "";
        QTest::newRow("the environment") << QStringList{} << "xcb"
                                         << "xcb";
        QTest::newRow("an argument") << QStringList{"-platform", "xcb"} << ""
                                     << "xcb";
        QTest::newRow("two dashes") << QStringList{"--platform", "wayland"} << ""
                                    << "wayland";
        QTest::newRow("the argument over the environment")
            << QStringList{"-platform", "xcb", "--show"} << "wayland"
            << "xcb";
        QTest::newRow("the last argument")
            << QStringList{"-platform", "xcb", "-platform", "wayland"} << ""
            << "wayland";
        QTest::newRow("a list: its first") << QStringList{} << "wayland;xcb"
                                           << "wayland";
        QTest::newRow("options") << QStringList{} << "wayland-egl:foo=1"
                                 << "wayland-egl";
        QTest::newRow("spaces") << QStringList{} << " xcb ; wayland"
                                << "xcb";
        QTest::newRow("no value: Qt keeps the environment's")
            << QStringList{"--toggle", "-platform"} << "xcb"
            << "xcb";
    }

    void chosenPlatform()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(QString, chosen);
        std::vector<QByteArray> bytes{"pellmar"};
        for (const QString &a : arguments)
            bytes.push_back(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
        QCOMPARE(CommandLine::chosenPlatform(int(bytes.size()), argv.data(), environment), chosen);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
