#pragma once

#include <QObject>
#include <QTimer>

class QDBusServiceWatcher;

// Waits for a StatusNotifierItem host (a bar's tray) on the session bus.
// Qt decides once per process, when first asked, whether tray icons go over
// D-Bus: asked before a bar started at the same login has registered its
// tray, Pellmar would stay without an icon all session. So where such a
// host is the only tray there can be (Wayland), the tray is asked for only
// once this has seen a host.
class TrayHostWatch : public QObject
{
    Q_OBJECT

public:
    explicit TrayHostWatch(QObject *parent = nullptr);

    // Whether a host is registered with the session bus's watcher now.
    static bool hostThere();

    // A watcher that has just come registers its host a moment later: it
    // is asked again this often, this many times.
    static constexpr int recheckMs = 100;
    static constexpr int rechecks = 50;

signals:
    // A host is there now; said once.
    void hostArrived();

private:
    void check();

    QDBusServiceWatcher *watcher = nullptr;
    QTimer recheck;
    int checksLeft = 0;
    bool arrived = false;
};
