#include "helperlink.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDebug>
#include <QTimer>
#include <utility>

HelperLink::HelperLink(const QDBusConnection &connection, Helper h, QObject *parent)
    : QObject(parent), linkBus(connection), helper(std::move(h))
{
}

HelperLink::~HelperLink() = default;

void HelperLink::open()
{
    if (!linkBus.isConnected()) {
        setStatus(Status::Unreachable);
        return;
    }
    linkBus.connect(helper.service, helper.path, helper.interface, "Released", this,
                    SLOT(onReleased()));
    watcher = new QDBusServiceWatcher(helper.service, linkBus,
                                      QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &HelperLink::attach);
    attach();
}

void HelperLink::attach()
{
    // The interface's version first: every version of a helper keeps this
    // property, whatever else changes.
    QDBusMessage get = QDBusMessage::createMethodCall(helper.service, helper.path,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << helper.interface << QString("Version");
    const QDBusMessage got = linkBus.call(get, QDBus::Block, lookTimeoutMs);
    if (got.type() == QDBusMessage::ReplyMessage && !got.arguments().isEmpty()) {
        foundVersion = got.arguments().at(0).value<QDBusVariant>().variant().toUInt();
        if (foundVersion != helper.version) {
            setStatus(Status::OtherVersion);
            return;
        }
        const QDBusMessage hello = linkBus.call(
            QDBusMessage::createMethodCall(helper.service, helper.path, helper.interface, "Attach"),
            QDBus::Block, lookTimeoutMs);
        if (hello.type() == QDBusMessage::ErrorMessage &&
            hello.errorName() == helper.interface + ".Error.Taken") {
            setStatus(Status::Taken);
            return;
        }
        if (hello.type() == QDBusMessage::ReplyMessage) {
            // Attached from here on: what was asked before goes out again.
            const bool was = attached();
            current = Status::Attached;
            readAttached();
            resend();
            if (!was)
                emit statusChanged();
            tellAttached();
            return;
        }
    }
    // Not there (or gone between the calls): ask the desktop why.
    const Absence why = whyAbsent();
    desktopError = why.error;
    if (why.status == Status::Starting)
        waitForStart();
    else
        setStatus(why.status);
}

void HelperLink::waitForStart()
{
    // Running, but its name not yet on the bus: it comes within moments
    // (a helper reads the desktop first). Nothing to say meanwhile; a name
    // that never comes is a failed start.
    setStatus(Status::Starting);
    QTimer::singleShot(helper.startWaitMs, this, [this] {
        if (current != Status::Starting)
            return;
        desktopError = "it runs, but does not answer on the session bus";
        setStatus(Status::Failed);
    });
}

void HelperLink::onReleased()
{
    // The program that had the helper has gone: ours to take.
    if (current == Status::Taken)
        attach();
}

void HelperLink::setStatus(Status s)
{
    if (s == current)
        return;
    const bool was = attached();
    current = s;
    emit statusChanged();
    if (was)
        lost();
}

QString HelperLink::notice() const
{
    return attached() ? QString() : describe(current, desktopError, foundVersion);
}

void HelperLink::watch(const QDBusPendingCall &call, const QString &method)
{
    auto *pending = new QDBusPendingCallWatcher(call, this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [host = helper.host, method](QDBusPendingCallWatcher *w) {
                if (w->isError())
                    qWarning().noquote()
                        << host << "refused" << method + ":" << w->error().message();
                w->deleteLater();
            });
}
