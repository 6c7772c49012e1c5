#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCall;
class QDBusServiceWatcher;

// Pellmar's link to a helper of its own that runs inside the compositor (a
// GNOME Shell extension, a KWin script) and offers on the session bus what
// only the compositor may do. Every such helper keeps one protocol: a
// Version property on its interface; Attach, which makes the caller its one
// client, or fails with <interface>.Error.Taken while another client has it;
// and the signal Released when that client has gone. The link attaches
// whenever it can: at open(), whenever the helper's name changes owner
// (enabled anew, restarted, back after the lock screen), and when the client
// that had it lets go. What the helper offers beyond that, and how the
// desktop tells why it is not there, are the subclass's. GUI thread only.
class HelperLink : public QObject
{
    Q_OBJECT

public:
    enum class Status
    {
        Unreachable,  // the desktop does not answer on the bus
        Unknown,      // the desktop does not know the helper (not read yet)
        Off,          // known, but not running
        Failed,       // the desktop could not start it
        Starting,     // started, not yet on the bus (at login, say)
        OutOfDate,    // not made for this version of the desktop
        OtherVersion, // running, but speaks another version
        Taken,        // running, but serving another program
        Attached,
    };

    // The helper on the bus.
    struct Helper
    {
        QString service;
        QString path;
        QString interface;
        // The version of the interface this Pellmar speaks.
        unsigned version = 0;
        // Who refuses a call, in the log: the desktop, as the user knows it.
        QString host;
        // How long a helper the desktop runs may take to come on the bus.
        int startWaitMs = 5000;
    };

    // Why the helper is not on the bus, as the desktop tells it.
    struct Absence
    {
        Status status = Status::Unreachable;
        QString error;
    };

    HelperLink(const QDBusConnection &bus, Helper helper, QObject *parent = nullptr);
    ~HelperLink() override;

    // Looks for the helper and attaches to it; waits for the answers (a few
    // milliseconds), so that the first notice is right. Later comings and
    // goings arrive by themselves.
    void open();

    Status status() const { return current; }
    bool attached() const { return current == Status::Attached; }
    // Why the helper cannot serve, in the user's words; empty while
    // attached, or while it is starting.
    QString notice() const;

signals:
    void statusChanged();

protected:
    // How long each look at the helper or the desktop may take: they answer
    // in milliseconds, and one that hangs must not hang Pellmar.
    static constexpr int lookTimeoutMs = 3000;

    const QDBusConnection &connection() const { return linkBus; }

    // Just attached (attached() holds already): reads what the helper tells
    // at once, then sends again everything asked of it before.
    virtual void readAttached() = 0;
    virtual void resend() = 0;
    // After statusChanged for that attach: what was read, as news.
    virtual void tellAttached() {}
    // No longer attached: whatever the helper held for Pellmar went with it.
    virtual void lost() {}
    // Asks the desktop why the helper is not on the bus; Starting waits
    // quietly for it.
    virtual Absence whyAbsent() = 0;
    // The notice for a status, in the desktop's words: with the desktop's
    // error for a failed start, and the version found for another version.
    virtual QString describe(Status status, const QString &error, unsigned found) const = 0;

    // Watches a call whose answer matters only when it is an error: logged.
    void watch(const QDBusPendingCall &call, const QString &method);

private slots:
    void attach();
    void onReleased();

private:
    void waitForStart();
    void setStatus(Status s);

    QDBusConnection linkBus;
    const Helper helper;
    QDBusServiceWatcher *watcher = nullptr;
    Status current = Status::Unreachable;
    QString desktopError;
    unsigned foundVersion = 0;
};
