#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// What sway's replies and events say of the focus: the output that holds it
// and whether the focused window is full screen. Fed every message in the
// order it came (replies and events interleave on the socket, and sway
// writes them in the order things happened), it says what changed and when
// a fresh tree is needed. No socket here, so it is tested on recorded
// messages.
class SwayState
{
public:
    // The message types used (sway-ipc(7)); replies carry their request's.
    enum Type : std::uint32_t
    {
        GetWorkspaces = 1,
        Subscribe = 2,
        GetTree = 4,
        WorkspaceEvent = 0x80000000u,
        WindowEvent = 0x80000003u,
    };

    struct Update
    {
        bool outputChanged = false;
        bool fullscreenChanged = false;
        // The focused window or its full screen may have changed in ways the
        // event does not tell: GET_TREE has the answer.
        bool wantTree = false;
        // sway refused the subscription: no events will come.
        bool refused = false;
    };

    Update take(std::uint32_t type, const QByteArray &payload);

    QString focusedOutput() const { return output; }
    bool fullscreen() const { return full; }

private:
    void takeWorkspaces(const QByteArray &payload);
    void takeTree(const QByteArray &payload);
    bool takeWorkspaceEvent(const QByteArray &payload);
    bool takeWindowEvent(const QByteArray &payload);
    void setOutput(const QString &name);

    QString output;
    bool full = false;
};
