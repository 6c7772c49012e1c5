#include "shelllink.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDebug>
#include <QTimer>

#include <algorithm>

namespace {

// How long a first look may take: the Shell answers in milliseconds, and a
// Shell that hangs must not hang Pellmar's start.
constexpr int lookTimeoutMs = 3000;
// How long a running extension may take to come on the bus.
constexpr int startWaitMs = 5000;

struct CurtainEntry
{
    QString connector;
    quint32 darkness = 0;
};

} // namespace

Q_DECLARE_METATYPE(ShellSegment)
Q_DECLARE_METATYPE(CurtainEntry)

// Found by argument lookup, so beside ShellSegment's own namespace.
static QDBusArgument &operator<<(QDBusArgument &out, const ShellSegment &s)
{
    out.beginStructure();
    out << qint32(s.x1) << qint32(s.y1) << qint32(s.x2) << qint32(s.y2) << quint32(s.directions);
    out.endStructure();
    return out;
}

static const QDBusArgument &operator>>(const QDBusArgument &in, ShellSegment &s)
{
    qint32 x1, y1, x2, y2;
    quint32 directions;
    in.beginStructure();
    in >> x1 >> y1 >> x2 >> y2 >> directions;
    in.endStructure();
    s = ShellSegment{x1, y1, x2, y2, directions};
    return in;
}

namespace {

QDBusArgument &operator<<(QDBusArgument &out, const CurtainEntry &c)
{
    out.beginStructure();
    out << c.connector << c.darkness;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, CurtainEntry &c)
{
    in.beginStructure();
    in >> c.connector >> c.darkness;
    in.endStructure();
    return in;
}

// GNOME Shell's extension states (org.gnome.Shell.Extensions).
enum ExtensionState
{
    Active = 1,
    Error = 3,
    OutOfDate = 4,
    Uninstalled = 99
};

} // namespace

ShellLink::ShellLink(const QDBusConnection &connection, QObject *parent)
    : QObject(parent), bus(connection)
{
    qDBusRegisterMetaType<ShellSegment>();
    qDBusRegisterMetaType<QList<ShellSegment>>();
    qDBusRegisterMetaType<CurtainEntry>();
    qDBusRegisterMetaType<QList<CurtainEntry>>();
}

ShellLink::~ShellLink() = default;

void ShellLink::open()
{
    if (!bus.isConnected()) {
        setStatus(Status::NoShell);
        return;
    }
    const struct
    {
        const char *name;
        const char *slot;
    } signalsHeard[] = {
        {"MonitorsChanged", SLOT(onMonitorsChanged(QDBusMessage))},
        {"PointerMonitorChanged", SLOT(onPointerMonitorChanged(QDBusMessage))},
        {"FullscreenChanged", SLOT(onFullscreenChanged(QDBusMessage))},
        {"BarrierHit", SLOT(onBarrierHit(QDBusMessage))},
        {"Position", SLOT(onPosition(QDBusMessage))},
        {"Released", SLOT(onReleased())},
    };
    for (const auto &s : signalsHeard)
        bus.connect(service, path, interface, s.name, this, s.slot);
    watcher = new QDBusServiceWatcher(service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &ShellLink::attach);
    attach();
}

void ShellLink::attach()
{
    // The interface's version first: every version of the extension keeps
    // this property, whatever else changes.
    QDBusMessage get =
        QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get << QString(interface) << QString("Version");
    const QDBusMessage got = bus.call(get, QDBus::Block, lookTimeoutMs);
    if (got.type() == QDBusMessage::ReplyMessage && !got.arguments().isEmpty()) {
        foundVersion = got.arguments().at(0).value<QDBusVariant>().variant().toUInt();
        if (foundVersion != version) {
            setStatus(Status::OtherVersion);
            return;
        }
        const auto call = [this](const char *method) {
            return bus.call(QDBusMessage::createMethodCall(service, path, interface, method),
                            QDBus::Block, lookTimeoutMs);
        };
        const QDBusMessage hello = call("Attach");
        const QDBusMessage monitors = call("GetMonitors");
        const QDBusMessage pointer = call("GetPointer");
        const QDBusMessage full = call("GetFullscreen");
        if (hello.type() == QDBusMessage::ErrorMessage &&
            hello.errorName() == QLatin1String("com.brenvik.Pellmar.Shell.Error.Taken")) {
            setStatus(Status::Taken);
            return;
        }
        if (hello.type() == QDBusMessage::ReplyMessage) {
            if (const auto read = readMonitors(monitors))
                screens = *read;
            if (pointer.arguments().size() == 4) {
                lastPointer = QPointF(pointer.arguments().at(0).toDouble(),
                                      pointer.arguments().at(1).toDouble());
                monitorOfPointer = pointer.arguments().at(3).toString();
            }
            if (full.arguments().size() == 1)
                focusedFullscreen = full.arguments().at(0).toBool();
            // Attached from here on: what was asked before goes out again.
            const bool was = attached();
            state = Status::Attached;
            sendBarriers();
            sendCurtains();
            sendPositionWatch();
            if (!was)
                emit statusChanged();
            emit monitorsChanged();
            emit pointerMonitorChanged(monitorOfPointer);
            emit fullscreenChanged(focusedFullscreen);
            return;
        }
    }
    // Not there (or gone between the calls): ask the Shell why.
    QDBusMessage ask =
        QDBusMessage::createMethodCall("org.gnome.Shell.Extensions", "/org/gnome/Shell/Extensions",
                                       "org.gnome.Shell.Extensions", "GetExtensionInfo");
    ask << QString(uuid);
    const QDBusMessage info = bus.call(ask, QDBus::Block, lookTimeoutMs);
    const bool wasAttached = attached();
    if (info.type() != QDBusMessage::ReplyMessage || info.arguments().isEmpty()) {
        setStatus(Status::NoShell);
    } else {
        const QVariantMap map = qdbus_cast<QVariantMap>(info.arguments().at(0));
        const int extensionState = map.value("state").toInt();
        shellError = map.value("error").toString();
        if (map.isEmpty() || extensionState == Uninstalled)
            setStatus(Status::Unknown);
        else if (extensionState == Error)
            setStatus(Status::Failed);
        else if (extensionState == OutOfDate)
            setStatus(Status::OutOfDate);
        else if (extensionState == Active)
            waitForStart();
        else
            setStatus(Status::Off);
    }
    if (wasAttached) {
        // Whatever it drew went with it; what it told no longer holds.
        focusedFullscreen = false;
        emit fullscreenChanged(false);
    }
}

void ShellLink::waitForStart()
{
    // Running, but its name not yet on the bus: it comes within moments
    // (the extension first reads the monitors). Nothing to say meanwhile;
    // a name that never comes is a failed start.
    setStatus(Status::Starting);
    QTimer::singleShot(startWaitMs, this, [this] {
        if (state != Status::Starting)
            return;
        shellError = "it runs, but does not answer on the session bus";
        setStatus(Status::Failed);
    });
}

void ShellLink::setStatus(Status s)
{
    if (s == state)
        return;
    state = s;
    emit statusChanged();
}

QString ShellLink::notice() const
{
    return attached() ? QString() : noticeFor(state, shellError, foundVersion);
}

QString ShellLink::noticeFor(Status status, const QString &error, unsigned found)
{
    const QString enable =
        QString("Turn on “Pellmar” in the Extensions app, or run: gnome-extensions enable %1")
            .arg(uuid);
    switch (status) {
    case Status::Attached:
    case Status::Starting:
        return QString();
    case Status::NoShell:
        return "Pellmar cannot reach GNOME Shell on the session bus, so it cannot wrap or carry "
               "the mouse cursor or darken screens here.";
    case Status::Unknown:
        return "On GNOME, Pellmar wraps and carries the mouse cursor and darkens screens through "
               "its GNOME Shell extension, which GNOME Shell has not read yet: GNOME reads newly "
               "installed extensions at the next login. Log out and back in, then " +
               enable.left(1).toLower() + enable.mid(1) + ".";
    case Status::Off:
        return "Pellmar's GNOME Shell extension is turned off, so Pellmar cannot wrap or carry "
               "the mouse cursor or darken screens. " +
               enable +
               " (if all extensions are switched off, switch them on first). Pellmar uses it as "
               "soon as it runs.";
    case Status::Failed:
        return "Pellmar's GNOME Shell extension did not start" +
               (error.isEmpty() ? QString() : ": " + error) +
               ". Pellmar cannot wrap or carry the mouse cursor or darken screens until it runs; "
               "turn it off and on again in the Extensions app, or log out and back in.";
    case Status::OutOfDate:
        return "Pellmar's GNOME Shell extension was not made for this version of GNOME Shell, "
               "so Pellmar cannot wrap or carry the mouse cursor or darken screens here.";
    case Status::Taken:
        return "Pellmar's GNOME Shell extension serves another program, so this Pellmar cannot "
               "wrap or carry the mouse cursor or darken screens (does another Pellmar run in "
               "this session?). It takes over when that program ends.";
    case Status::OtherVersion:
        return QString("Pellmar's GNOME Shell extension speaks version %1 of its interface, and "
                       "this Pellmar version %2, so Pellmar does not use it. Log out and back in "
                       "so that GNOME loads the extension that came with this Pellmar.")
            .arg(found)
            .arg(version);
    }
    return QString();
}

std::optional<std::vector<ShellMonitor>> ShellLink::readMonitors(const QDBusMessage &message)
{
    if (message.arguments().size() != 1 || !message.arguments().at(0).canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument arg = message.arguments().at(0).value<QDBusArgument>();
    if (arg.currentSignature() != "a(siiii)")
        return std::nullopt;
    std::vector<ShellMonitor> out;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString connector;
        qint32 x, y, width, height;
        arg.beginStructure();
        arg >> connector >> x >> y >> width >> height;
        arg.endStructure();
        if (width > 0 && height > 0)
            out.push_back(ShellMonitor{connector, QRect(x, y, width, height)});
    }
    arg.endArray();
    return out;
}

void ShellLink::onMonitorsChanged(const QDBusMessage &message)
{
    const auto read = readMonitors(message);
    if (!read || *read == screens)
        return;
    screens = *read;
    // The extension took every barrier down: those laid for the old layout
    // come anew with the engine's next snapshot. The lock is the
    // application's to lay again.
    lockLines.clear();
    emit monitorsChanged();
}

void ShellLink::onPointerMonitorChanged(const QDBusMessage &message)
{
    if (message.arguments().size() != 1)
        return;
    monitorOfPointer = message.arguments().at(0).toString();
    emit pointerMonitorChanged(monitorOfPointer);
}

void ShellLink::onFullscreenChanged(const QDBusMessage &message)
{
    if (message.arguments().size() != 1)
        return;
    focusedFullscreen = message.arguments().at(0).toBool();
    emit fullscreenChanged(focusedFullscreen);
}

void ShellLink::onBarrierHit(const QDBusMessage &message)
{
    const QVariantList a = message.arguments();
    if (a.size() != 7)
        return;
    emit barrierHit(a[0].toUInt(), a[1].toUInt(), a[2].toDouble(), a[3].toDouble(), a[4].toDouble(),
                    a[5].toDouble(), a[6].toUInt());
}

void ShellLink::onPosition(const QDBusMessage &message)
{
    const QVariantList a = message.arguments();
    if (a.size() != 3)
        return;
    lastPointer = QPointF(a[0].toDouble(), a[1].toDouble());
    emit position(a[0].toDouble(), a[1].toDouble(), a[2].toUInt());
}

void ShellLink::onReleased()
{
    // The program that had the extension has gone: ours to take.
    if (state == Status::Taken)
        attach();
}

void ShellLink::ask(const QString &method, const QVariantList &arguments)
{
    if (!attached())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    auto *pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [method](QDBusPendingCallWatcher *w) {
                if (w->isError())
                    qWarning().noquote()
                        << "GNOME Shell refused" << method + ":" << w->error().message();
                w->deleteLater();
            });
}

void ShellLink::setBarriers(unsigned generation, const std::vector<ShellSegment> &lines)
{
    barrierGeneration = generation;
    engineLines = lines;
    sendBarriers();
}

void ShellLink::setLock(const std::vector<ShellSegment> &lines)
{
    lockLines = lines;
    sendBarriers();
}

void ShellLink::sendBarriers()
{
    QList<ShellSegment> all(engineLines.begin(), engineLines.end());
    for (const ShellSegment &s : lockLines)
        all.append(s);
    ask("SetBarriers", {QVariant::fromValue(quint32(barrierGeneration)), QVariant::fromValue(all)});
}

void ShellLink::warp(int x, int y)
{
    ask("Warp", {double(x), double(y)});
}

void ShellLink::setCurtains(const std::vector<std::pair<QString, int>> &curtains)
{
    curtainsWanted = curtains;
    sendCurtains();
}

void ShellLink::sendCurtains()
{
    QList<CurtainEntry> list;
    for (const auto &[connector, darkness] : curtainsWanted)
        list.append(CurtainEntry{connector, quint32(std::clamp(darkness, 0, 100))});
    ask("SetCurtains", {QVariant::fromValue(list)});
}

void ShellLink::watchPosition(int intervalMs)
{
    positionInterval = intervalMs;
    sendPositionWatch();
}

void ShellLink::sendPositionWatch()
{
    ask("WatchPosition", {QVariant::fromValue(quint32(positionInterval))});
}
