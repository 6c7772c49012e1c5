#include "trayhostwatch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QVariant>

namespace {
const char *const watcherService = "org.kde.StatusNotifierWatcher";
} // namespace

TrayHostWatch::TrayHostWatch(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return; // no session bus: no such tray, ever
    recheck.setInterval(recheckMs);
    connect(&recheck, &QTimer::timeout, this, &TrayHostWatch::check);
    watcher = new QDBusServiceWatcher(watcherService, bus,
                                      QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        checksLeft = rechecks;
        check();
    });
    // A watcher that came between the caller's look and this one's start.
    checksLeft = 1;
    check();
}

bool TrayHostWatch::hostThere()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcherService))
        return false;
    QDBusInterface watcherObject(watcherService, "/StatusNotifierWatcher", watcherService, bus);
    return watcherObject.property("IsStatusNotifierHostRegistered").toBool();
}

void TrayHostWatch::check()
{
    if (arrived)
        return;
    if (hostThere()) {
        arrived = true;
        recheck.stop();
        emit hostArrived();
        return;
    }
    if (--checksLeft > 0)
        recheck.start();
    else
        recheck.stop();
}
