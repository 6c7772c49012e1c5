#pragma once

#include "helperlink.h"
#include "shellgeometry.h"
#include "shellwire.h"

#include <QDBusConnection>
#include <QPointF>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

class ShellProxy;

// Pellmar's side of its GNOME Shell extension's bus interface
// (com.brenvik.Pellmar.Shell.xml): what the extension tells (monitors, the
// pointer's monitor, pushes against barriers, positions, full screen) and
// what Pellmar asks of it. What was asked is kept and asked again whenever
// the extension comes back (enabled anew, or after the lock screen). Why
// the extension is not there, GNOME Shell tells. GUI thread only.
class ShellLink : public HelperLink
{
    Q_OBJECT

public:
    explicit ShellLink(const QDBusConnection &bus, QObject *parent = nullptr);
    ~ShellLink() override;

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

signals:
    void monitorsChanged();
    void pointerMonitorChanged(const QString &connector);
    void fullscreenChanged(bool on);
    // The pointer pushed against barrier `index` of `generation` at (x, y)
    // by (dx, dy), with the keys and buttons of `state` held.
    void barrierHit(unsigned generation, unsigned index, double x, double y, double dx, double dy,
                    unsigned state);
    void position(double x, double y, unsigned state);

protected:
    void readAttached() override;
    void resend() override;
    void tellAttached() override;
    void lost() override;
    Absence whyAbsent() override;
    QString describe(Status status, const QString &error, unsigned found) const override;

private:
    void onMonitorsChanged(const QList<ShellMonitor> &told);
    void sendBarriers();
    void sendCurtains();
    void sendPositionWatch();

    ShellProxy *shell;

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
