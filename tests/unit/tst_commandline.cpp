#include "commandline.h"
#include "verbreader.h"

#include <QtTest>
#include <vector>

Q_DECLARE_METATYPE(CommandLine::Request::Kind)
Q_DECLARE_METATYPE(SingleInstance::Answer)

namespace {

// argv as main() has it, "pellmar" first.
struct Argv
{
    explicit Argv(const QStringList &arguments)
    {
        bytes.push_back("pellmar");
        for (const QString &a : arguments)
            bytes.push_back(a.toLocal8Bit());
        for (QByteArray &b : bytes)
            pointers.push_back(b.data());
        pointers.push_back(nullptr);
    }
    int argc() const { return int(bytes.size()); }
    char **argv() { return pointers.data(); }

    std::vector<QByteArray> bytes;
    std::vector<char *> pointers;
};

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        using K = CommandLine::Request::Kind;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<K>("kind");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("noWindow"); // needsNoWindow()
        const QString longest(int(VerbReader::maxMessage) - int(strlen("jump \n")), 'X');
        QTest::newRow("nothing: run") << QStringList{} << K::Run << ""
                                      << "" << false;
        QTest::newRow("pause") << QStringList{"--pause"} << K::Verb << "pause"
                               << "" << true;
        QTest::newRow("jump next") << QStringList{"--jump", "next"} << K::Verb << "jump"
                                   << "next" << true;
        QTest::newRow("jump=previous") << QStringList{"--jump=previous"} << K::Verb << "jump"
                                       << "previous" << true;
        QTest::newRow("jump to an output") << QStringList{"--jump", "HDMI-A-1"} << K::Verb << "jump"
                                           << "HDMI-A-1" << true;
        QTest::newRow("the longest name that fits")
            << QStringList{"--jump", longest} << K::Verb << "jump" << longest << true;
        QTest::newRow("a name too long to send")
            << QStringList{"--jump", longest + 'X'} << K::Bad << ""
            << "" << true;
        QTest::newRow("a name with a space") << QStringList{"--jump", "DP 1"} << K::Bad << ""
                                             << "" << true;
        QTest::newRow("a name beyond ASCII") << QStringList{"--jump", "DP\u00e91"} << K::Bad << ""
                                             << "" << true;
        QTest::newRow("an empty name") << QStringList{"--jump="} << K::Bad << ""
                                       << "" << true;
        QTest::newRow("jump without a value") << QStringList{"--jump"} << K::Bad << ""
                                              << "" << true;
        QTest::newRow("lock") << QStringList{"--lock"} << K::Verb << "lock"
                              << "" << true;
        QTest::newRow("two verbs") << QStringList{"--lock", "--jump", "next"} << K::Bad << ""
                                   << "" << true;
        QTest::newRow("a value for lock") << QStringList{"--lock=DP-1"} << K::Bad << ""
                                          << "" << false;
    }

    void parse()
    {
        using K = CommandLine::Request::Kind;
        QFETCH(QStringList, arguments);
        QFETCH(K, kind);
        QFETCH(QString, verb);
        QFETCH(QString, argument);
        QFETCH(bool, noWindow);
        const CommandLine::Request r = CommandLine::parse(QStringList{"pellmar"} + arguments);
        QCOMPARE(r.kind, kind);
        QCOMPARE(r.verb, kind == K::Verb ? verb : r.verb);
        QCOMPARE(r.argument, kind == K::Verb ? argument : r.argument);
        QCOMPARE(r.error.isEmpty(), kind != K::Bad);
        Argv argv(arguments);
        QCOMPARE(CommandLine::needsNoWindow(argv.argc(), argv.argv()), noWindow);
    }

    void outcome_data()
    {
        using A = SingleInstance::Answer;
        QTest::addColumn<A>("answer");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString no = "No monitor is called DP-9; the monitors are DP-1, HDMI-1";
        QTest::newRow("done") << A::Answered << "ok" << 0 << "";
        QTest::newRow("why not") << A::Answered << no << 1 << no;
        QTest::newRow("an empty answer") << A::Answered << "" << 1 << "Pellmar could not do it";
        QTest::newRow("not running") << A::NotRunning << "" << 1 << "Pellmar is not running";
        QTest::newRow("no answer")
            << A::Unanswered << "" << 1 << "Pellmar is running but does not answer";
    }

    void outcome()
    {
        QFETCH(SingleInstance::Answer, answer);
        QFETCH(QString, text);
        QFETCH(int, status);
        QFETCH(QString, message);
        const CommandLine::Outcome o = CommandLine::outcome({answer, text});
        QCOMPARE(o.status, status);
        QCOMPARE(o.message, message);
    }

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
        Argv argv(arguments);
        QCOMPARE(CommandLine::chosenPlatform(argv.argc(), argv.argv(), environment), chosen);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
