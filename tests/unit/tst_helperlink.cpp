#include "fakeservice.h"
#include "helperlink.h"
#include "privatebus.h"

#include <QDBusPendingCall>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

using Status = HelperLink::Status;

const QString service = "org.pellmar.Test.Helper";
const QString path = "/org/pellmar/Test/Helper";
const QString taken = service + ".Error.Taken";

// A link to a helper that offers nothing beyond the protocol every helper
// keeps: it counts what the link asks of it, and the desktop says what the
// test wants it to say.
class CountingLink : public HelperLink
{
public:
    CountingLink(const QDBusConnection &bus, int startWaitMs)
        : HelperLink(bus, Helper{service, path, service, 1, "The desktop", startWaitMs})
    {
    }

    Absence absence;
    int reads = 0, resends = 0, tells = 0, losses = 0, asked = 0;

    // A call of the helper's own, its answer watched as every send is.
    void send(const QString &method)
    {
        watch(
            connection().asyncCall(QDBusMessage::createMethodCall(service, path, service, method)),
            method);
    }

protected:
    void readAttached() override { ++reads; }
    void resend() override { ++resends; }
    void tellAttached() override { ++tells; }
    void lost() override { ++losses; }
    Absence whyAbsent() override
    {
        ++asked;
        return absence;
    }
    QString describe(Status s, const QString &error, unsigned found) const override
    {
        return QString("%1 %2 %3").arg(int(s)).arg(error).arg(found);
    }
};

} // namespace

Q_DECLARE_METATYPE(HelperLink::Status)

class TestHelperLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void attachesOrSaysWhyNot_data();
    void attachesOrSaysWhyNot();
    void followsTheHelperComingAndGoing();
    void takesOverWhenReleased();
    void waitsQuietlyForAStartingHelper_data();
    void waitsQuietlyForAStartingHelper();
    void withoutABusSaysSo();
    void logsRefusals();

private:
    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<FakeService> helper;
    std::unique_ptr<CountingLink> link;

    // A helper that answers as every helper does, not yet on the bus.
    void makeHelper(unsigned version);
    void makeLink(int startWaitMs = 5000);
};

void TestHelperLink::init()
{
    bus = std::make_unique<PrivateBus>();
    if (bus->address().isEmpty())
        QSKIP("no dbus-daemon to run a bus of the test's own");
}

void TestHelperLink::cleanup()
{
    link.reset();
    helper.reset();
    bus.reset();
}

void TestHelperLink::makeHelper(unsigned version)
{
    helper = std::make_unique<FakeService>(bus->connect("helper"), service, path, service);
    helper->offer("Version", QVariant::fromValue(version));
    helper->answer("Attach", {QVariant::fromValue(version)});
}

void TestHelperLink::makeLink(int startWaitMs)
{
    link = std::make_unique<CountingLink>(bus->connect("link"), startWaitMs);
}

void TestHelperLink::attachesOrSaysWhyNot_data()
{
    QTest::addColumn<unsigned>("version"); // of the helper on the bus; 0: none there
    QTest::addColumn<bool>("takenByAnother");
    QTest::addColumn<Status>("desktopSays");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QStringList>("calls");

    const QStringList hello = {"Attach()"};
    QTest::newRow("there") << 1u << false << Status::Off << Status::Attached << "" << hello;
    QTest::newRow("another version, left alone")
        << 2u << false << Status::Off << Status::OtherVersion << "6  2" << QStringList();
    QTest::newRow("taken by another client")
        << 1u << true << Status::Off << Status::Taken << "7  1" << hello;
    QTest::newRow("not there, and off")
        << 0u << false << Status::Off << Status::Off << "2 from the desktop 0" << QStringList();
    QTest::newRow("not there, and unknown to the desktop")
        << 0u << false << Status::Unknown << Status::Unknown << "1 from the desktop 0"
        << QStringList();
    QTest::newRow("not there, failed") << 0u << false << Status::Failed << Status::Failed
                                       << "3 from the desktop 0" << QStringList();
    QTest::newRow("not there, out of date") << 0u << false << Status::OutOfDate << Status::OutOfDate
                                            << "5 from the desktop 0" << QStringList();
    QTest::newRow("not there, the desktop silent")
        << 0u << false << Status::Unreachable << Status::Unreachable << "0 from the desktop 0"
        << QStringList();
    QTest::newRow("not there yet, starting") << 0u << false << Status::Starting << Status::Starting
                                             << "4 from the desktop 0" << QStringList();
}

void TestHelperLink::attachesOrSaysWhyNot()
{
    QFETCH(unsigned, version);
    QFETCH(bool, takenByAnother);
    QFETCH(Status, desktopSays);
    QFETCH(Status, status);
    QFETCH(QString, notice);
    QFETCH(QStringList, calls);

    if (version > 0) {
        makeHelper(version);
        if (takenByAnother)
            helper->refuse("Attach", taken);
        helper->appear();
    }
    makeLink();
    link->absence = {desktopSays, "from the desktop"};
    QSignalSpy changed(link.get(), &HelperLink::statusChanged);
    link->open();

    QCOMPARE(link->status(), status);
    // A link starts out unable to reach anything: no change to tell then.
    QCOMPARE(changed.count(), status == Status::Unreachable ? 0 : 1);
    const bool attached = status == Status::Attached;
    QCOMPARE(link->attached(), attached);
    // The link asks the desktop only when the helper is not on the bus.
    QCOMPARE(link->asked, version > 0 ? 0 : 1);
    QCOMPARE(link->notice(), attached ? QString() : notice);
    QCOMPARE(helper ? helper->called() : QStringList(), calls);
    // Attached: read, sent again, told, in one go.
    const int once = attached ? 1 : 0;
    QCOMPARE(QList<int>({link->reads, link->resends, link->tells}), QList<int>({once, once, once}));
    QCOMPARE(link->losses, 0);
}

void TestHelperLink::followsTheHelperComingAndGoing()
{
    makeHelper(1);
    makeLink();
    link->absence = {Status::Off, QString()};
    link->open();
    QCOMPARE(link->status(), Status::Off);

    // Enabled: its name comes on the bus, and the link takes it up.
    helper->appear();
    QTRY_COMPARE(link->status(), Status::Attached);
    QCOMPARE(link->resends, 1);

    // Turned off (as the lock screen does): what it held is gone.
    helper->vanish();
    QTRY_COMPARE(link->status(), Status::Off);
    QCOMPARE(link->losses, 1);

    // Back: everything asked before is asked again.
    helper->appear();
    QTRY_COMPARE(link->status(), Status::Attached);
    QCOMPARE(link->resends, 2);
    QCOMPARE(link->tells, 2);
    QCOMPARE(helper->called(), QStringList({"Attach()", "Attach()"}));

    // Restarted, gone and back before the link heard of either: each news
    // of the name finds it there again.
    makeHelper(1);
    helper->appear();
    QTRY_VERIFY(link->resends >= 3);
    QCOMPARE(link->status(), Status::Attached);
}

void TestHelperLink::takesOverWhenReleased()
{
    makeHelper(1);
    helper->refuse("Attach", taken);
    helper->appear();
    makeLink();
    link->open();
    QCOMPARE(link->status(), Status::Taken);

    // The other client has gone.
    helper->answer("Attach", {1u});
    helper->emitSignal("Released");
    QTRY_COMPARE(link->status(), Status::Attached);
    QCOMPARE(link->resends, 1);

    // Another client's leaving is nothing to one that is attached.
    helper->emitSignal("Released");
    QTest::qWait(100);
    QCOMPARE(helper->called(), QStringList({"Attach()", "Attach()"}));
}

void TestHelperLink::waitsQuietlyForAStartingHelper_data()
{
    QTest::addColumn<bool>("comes");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("notice");
    QTest::newRow("comes in time") << true << Status::Attached << "";
    QTest::newRow("never comes") << false << Status::Failed
                                 << "3 it runs, but does not answer on the session bus 0";
}

void TestHelperLink::waitsQuietlyForAStartingHelper()
{
    QFETCH(bool, comes);
    QFETCH(Status, status);
    QFETCH(QString, notice);

    const int waitMs = 300;
    makeHelper(1);
    makeLink(waitMs);
    link->absence = {Status::Starting, QString()};
    link->open();
    QCOMPARE(link->status(), Status::Starting);
    QCOMPARE(link->notice(), QString("4  0")); // no error from the desktop meanwhile
    if (comes)
        helper->appear();
    QTest::qWait(2 * waitMs);
    QCOMPARE(link->status(), status);
    QCOMPARE(link->notice(), notice);
}

void TestHelperLink::withoutABusSaysSo()
{
    CountingLink nowhere(QDBusConnection("pellmar-no-bus"), 5000);
    nowhere.open();
    QCOMPARE(nowhere.status(), Status::Unreachable);
    QCOMPARE(nowhere.asked, 0);
}

void TestHelperLink::logsRefusals()
{
    makeHelper(1);
    helper->refuse("Warp", service + ".Error.InvalidArgs", "(5, 5) is on no monitor");
    helper->appear();
    makeLink();
    link->open();
    QTest::ignoreMessage(QtWarningMsg, "The desktop refused Warp: (5, 5) is on no monitor");
    link->send("Warp");
    link->send("Ping");
    QTRY_COMPARE(helper->called().size(), 3);
    QTest::qWait(50); // both answers read: only the refusal is logged
}

QTEST_GUILESS_MAIN(TestHelperLink)
#include "tst_helperlink.moc"
