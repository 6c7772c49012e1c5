#include "shelllink.h"

#include "shellcontract.h"
#include "shellproxy.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingReply>

#include <algorithm>

namespace {

// GNOME Shell's extension states (org.gnome.Shell.Extensions).
enum ExtensionState
{
    Active = 1,
    Error = 3,
    OutOfDate = 4,
    Uninstalled = 99
};

// The monitors as the extension tells them; one of no size is none.
std::vector<ShellMonitor> placed(const QList<ShellMonitor> &told)
{
    std::vector<ShellMonitor> out;
    for (const ShellMonitor &m : told) {
        if (!m.geometry.isEmpty())
            out.push_back(m);
    }
    return out;
}

} // namespace

ShellLink::ShellLink(const QDBusConnection &bus, QObject *parent)
    : HelperLink(bus,
                 Helper{ShellContract::busName, ShellContract::objectPath,
                        ShellProxy::staticInterfaceName(), ShellContract::version, "GNOME Shell"},
                 parent),
      shell(new ShellProxy(ShellContract::busName, ShellContract::objectPath, bus, this))
{
    // Before the first signal is heard: QtDBus matches signals by their
    // signature, which it makes from the registered types.
    ShellWire::registerTypes();
    connect(shell, &ShellProxy::MonitorsChanged, this, &ShellLink::onMonitorsChanged);
    connect(shell, &ShellProxy::PointerMonitorChanged, this, [this](const QString &monitor) {
        monitorOfPointer = monitor;
        emit pointerMonitorChanged(monitorOfPointer);
    });
    connect(shell, &ShellProxy::FullscreenChanged, this, [this](bool on) {
        focusedFullscreen = on;
        emit fullscreenChanged(focusedFullscreen);
    });
    connect(shell, &ShellProxy::BarrierHit, this, &ShellLink::barrierHit);
    connect(shell, &ShellProxy::Position, this, [this](double x, double y, unsigned state) {
        lastPointer = QPointF(x, y);
        emit position(x, y, state);
    });
}

ShellLink::~ShellLink() = default;

void ShellLink::readAttached()
{
    // Looks, bounded as every look is; the calls made later wait as long as
    // QtDBus lets them.
    shell->setTimeout(lookTimeoutMs);
    QDBusPendingReply<QList<ShellMonitor>> monitors = shell->GetMonitors();
    QDBusPendingReply<double, double, uint, QString> pointer = shell->GetPointer();
    QDBusPendingReply<bool> full = shell->GetFullscreen();
    shell->setTimeout(-1);
    monitors.waitForFinished();
    pointer.waitForFinished();
    full.waitForFinished();
    if (monitors.isValid())
        screens = placed(monitors.value());
    if (pointer.isValid()) {
        lastPointer = QPointF(pointer.argumentAt<0>(), pointer.argumentAt<1>());
        monitorOfPointer = pointer.argumentAt<3>();
    }
    if (full.isValid())
        focusedFullscreen = full.value();
}

void ShellLink::resend()
{
    sendBarriers();
    sendCurtains();
    sendPositionWatch();
}

void ShellLink::tellAttached()
{
    emit monitorsChanged();
    emit pointerMonitorChanged(monitorOfPointer);
    emit fullscreenChanged(focusedFullscreen);
}

void ShellLink::lost()
{
    // Whatever it drew went with it; what it told no longer holds.
    focusedFullscreen = false;
    emit fullscreenChanged(false);
}

HelperLink::Absence ShellLink::whyAbsent()
{
    QDBusMessage ask =
        QDBusMessage::createMethodCall("org.gnome.Shell.Extensions", "/org/gnome/Shell/Extensions",
                                       "org.gnome.Shell.Extensions", "GetExtensionInfo");
    ask << QString(ShellContract::uuid);
    const QDBusMessage info = connection().call(ask, QDBus::Block, lookTimeoutMs);
    if (info.type() != QDBusMessage::ReplyMessage || info.arguments().isEmpty())
        return {Status::Unreachable, QString()};
    const QVariantMap map = qdbus_cast<QVariantMap>(info.arguments().at(0));
    const int extensionState = map.value("state").toInt();
    const QString error = map.value("error").toString();
    if (map.isEmpty() || extensionState == Uninstalled)
        return {Status::Unknown, error};
    if (extensionState == Error)
        return {Status::Failed, error};
    if (extensionState == OutOfDate)
        return {Status::OutOfDate, error};
    if (extensionState == Active)
        return {Status::Starting, error};
    return {Status::Off, error};
}

QString ShellLink::describe(Status status, const QString &error, unsigned found) const
{
    return noticeFor(status, error, found);
}

QString ShellLink::noticeFor(Status status, const QString &error, unsigned found)
{
    const QString enable =
        QString("Turn on “Pellmar” in the Extensions app, or run: gnome-extensions enable %1")
            .arg(ShellContract::uuid);
    switch (status) {
    case Status::Attached:
    case Status::Starting:
        return QString();
    case Status::Unreachable:
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
            .arg(ShellContract::version);
    }
    return QString();
}

void ShellLink::onMonitorsChanged(const QList<ShellMonitor> &told)
{
    const std::vector<ShellMonitor> read = placed(told);
    if (read == screens)
        return;
    screens = read;
    // The extension took every barrier down: those laid for the old layout
    // come anew with the engine's next snapshot. The lock is the
    // application's to lay again.
    lockLines.clear();
    emit monitorsChanged();
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
    if (!attached())
        return;
    QList<ShellSegment> all(engineLines.begin(), engineLines.end());
    for (const ShellSegment &s : lockLines)
        all.append(s);
    watch(shell->SetBarriers(barrierGeneration, all), "SetBarriers");
}

void ShellLink::warp(int x, int y)
{
    if (attached())
        watch(shell->Warp(x, y), "Warp");
}

void ShellLink::setCurtains(const std::vector<std::pair<QString, int>> &curtains)
{
    curtainsWanted = curtains;
    sendCurtains();
}

void ShellLink::sendCurtains()
{
    if (!attached())
        return;
    QList<ShellCurtain> list;
    for (const auto &[connector, darkness] : curtainsWanted)
        list.append(ShellCurtain{connector, quint32(std::clamp(darkness, 0, 100))});
    watch(shell->SetCurtains(list), "SetCurtains");
}

void ShellLink::watchPosition(int intervalMs)
{
    positionInterval = intervalMs;
    sendPositionWatch();
}

void ShellLink::sendPositionWatch()
{
    if (attached())
        watch(shell->WatchPosition(quint32(positionInterval)), "WatchPosition");
}
