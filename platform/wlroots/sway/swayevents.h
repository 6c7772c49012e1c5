#pragma once

#include "compositorevents.h"
#include "swayipcreader.h"
#include "swaystate.h"

#include <QByteArray>
#include <cstdint>
#include <memory>

class QSocketNotifier;

// sway's focus and full screen, from its IPC socket: subscribed to
// workspace and window events, with GET_WORKSPACES and GET_TREE for the
// state at the start. A workspace's focus event names the new output at
// once; whether the focused window is full screen comes from a fresh tree
// after each event that may change it, one request at a time.
class SwayEvents : public CompositorEvents
{
    Q_OBJECT

public:
    // Connects to the socket at `path`; null where nothing listens there.
    static std::unique_ptr<SwayEvents> connectTo(const QString &path, QObject *parent = nullptr);
    ~SwayEvents() override;

    QString focusedOutput() const override { return state.focusedOutput(); }
    bool fullscreen() const override { return state.fullscreen(); }
    QString name() const override { return QStringLiteral("sway"); }

private:
    SwayEvents(int socket, QObject *parent);

    void readable();
    // Returns false where a slot deleted this object or the socket closed.
    bool handle(const SwayIpcReader::Message &message);
    void askTree();
    void send(std::uint32_t type, const QByteArray &payload = QByteArray());
    void flush();
    // Closes the socket and says so, once.
    void drop();

    int fd = -1;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr; // on while `outgoing` waits
    QByteArray outgoing;
    SwayIpcReader reader;
    SwayState state;
    bool treeAsked = false;  // a GET_TREE is on its way
    bool treeWanted = false; // and another is due after its reply
};
