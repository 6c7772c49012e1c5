#include "privatebus.h"

PrivateBus::PrivateBus()
{
    daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address"});
    if (!daemon.waitForStarted(5000))
        return;
    while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) {
    }
    busAddress = QString::fromUtf8(daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    for (const QString &name : names)
        QDBusConnection::disconnectFromBus(name);
    daemon.terminate();
    daemon.waitForFinished(5000);
}

QDBusConnection PrivateBus::connect(const QString &name)
{
    // QtDBus hands out the connection it has under a name: a name of a bus
    // gone by would give a dead one.
    static int made = 0;
    names << QString("%1-%2").arg(name).arg(++made);
    return QDBusConnection::connectToBus(busAddress, names.last());
}
