#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

// A session bus of a test's own: a dbus-daemon that ends with it.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Empty when no dbus-daemon could start.
    QString address() const { return busAddress; }
    // A connection of its own to the bus: one per client, as each program
    // on a real bus has its own. Closed with the bus.
    QDBusConnection connect(const QString &name);

private:
    QProcess daemon;
    QString busAddress;
    QStringList names;
};
