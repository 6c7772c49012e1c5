#pragma once

#include "shellgeometry.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

class QDBusMessage;
class QDBusServiceWatcher;

// A monitor as GNOME Shell names and places it.
struct ShellMonitor
{
    QString connector;
    QRect geometry;
    bool operator==(const ShellMonitor &o) const
    {
        return connector == o.connector && geometry == o.geometry;
    }
};

// Pellmar's side of its GNOME Shell extension's bus interface: whether the
// extension is there and speaks this Pellmar's version, what it tells
// (monitors, the pointer's monitor, pushes against barriers, positions,
// full screen) and what Pellmar asks of it. What was asked is kept and asked
// again whenever the extension comes back (enabled anew, or after the lock
// screen). GUI thread only.
class ShellLink : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *service = "com.brenvik.Pellmar.Shell";
    static constexpr const char *path = "/com/brenvik/Pellmar/Shell";
    static constexpr const char *interface = "com.brenvik.Pellmar.Shell";
    static constexpr const char *uuid = "pellmar@brenvik.com";
    static constexpr unsigned version = 1;

    enum class Status
    {
        NoShell,      // GNOME Shell does not answer on the session bus
        Unknown,      // the Shell does not know the extension (not read yet)
        Off,          // known, but not running
        Failed,       // the Shell could not start it
        Starting,     // started, not yet on the bus (at login, say)
        OutOfDate,    // not made for this Shell
        OtherVersion, // running, but speaks another version
        Taken,        // running, but serving another program
        Attached,
    };

    explicit ShellLink(const QDBusConnection &bus, QObject *parent = nullptr);
    ~ShellLink() override;

    // Looks for the extension and attaches to it; waits for the answers (a
    // few milliseconds), so that the first notice is right. Later comings
    // and goings arrive by themselves.
    void open();

    Status status() const { return state; }
    bool attached() const { return state == Status::Attached; }
    // Why the extension cannot serve, in the user's words; empty while
    // attached, or while it is starting.
    QString notice() const;
    // The notice for a status, with the Shell's own error text for a failed
    // start and the version found for another version.
    static QString noticeFor(Status status, const QString &error, unsigned found);

    const std::vector<ShellMonitor> &monitors() const { return screens; }
    QString pointerMonitor() const { return monitorOfPointer; }
    bool fullscreen() const { return focusedFullscreen; }
    std::optional<QPointF> pointer() const { return lastPointer; }

    // The engine's barriers, numbered by `generation`, and the lock's,
    // which the extension sees as one list: the engine's first.
    void setBarriers(unsigned generation, const std::vector<ShellSegment> &lines);
    void setLock(const std::vector<ShellSegment> &lines);
    void warp(int x, int y);
    // Curtains by connector, percent black.
    void setCurtains(const std::vector<std::pair<QString, int>> &curtains);
    // Positions at most every `intervalMs`; 0 for none.
    void watchPosition(int intervalMs);

    // The monitors in a MonitorsChanged signal or GetMonitors answer.
    static std::optional<std::vector<ShellMonitor>> readMonitors(const QDBusMessage &message);

signals:
    void statusChanged();
    void monitorsChanged();
    void pointerMonitorChanged(const QString &connector);
    void fullscreenChanged(bool on);
    // The pointer pushed against barrier `index` of `generation` at (x, y)
    // by (dx, dy), with the keys and buttons of `state` held.
    void barrierHit(unsigned generation, unsigned index, double x, double y, double dx, double dy,
                    unsigned state);
    void position(double x, double y, unsigned state);

private slots:
    // The extension's signals, as QtDBus delivers them.
    void onMonitorsChanged(const QDBusMessage &message);
    void onPointerMonitorChanged(const QDBusMessage &message);
    void onFullscreenChanged(const QDBusMessage &message);
    void onBarrierHit(const QDBusMessage &message);
    void onPosition(const QDBusMessage &message);
    void onReleased();

private:
    void attach();
    void waitForStart();
    void setStatus(Status s);
    void sendBarriers();
    void sendCurtains();
    void sendPositionWatch();
    // Sends a call whose answer matters only when it is an error: logged.
    void ask(const QString &method, const QVariantList &arguments);

    QDBusConnection bus;
    QDBusServiceWatcher *watcher = nullptr;
    Status state = Status::NoShell;
    QString shellError;
    unsigned foundVersion = 0;

    std::vector<ShellMonitor> screens;
    QString monitorOfPointer;
    bool focusedFullscreen = false;
    std::optional<QPointF> lastPointer;

    unsigned barrierGeneration = 0;
    std::vector<ShellSegment> engineLines;
    std::vector<ShellSegment> lockLines;
    std::vector<std::pair<QString, int>> curtainsWanted;
    int positionInterval = 0;
};
