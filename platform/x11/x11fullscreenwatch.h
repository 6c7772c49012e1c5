#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

// Whether the focused window of an X11 desktop is full screen, as the
// window manager says through EWMH: the root's _NET_ACTIVE_WINDOW names the
// focused window, whose _NET_WM_STATE holds _NET_WM_STATE_FULLSCREEN while
// it fills its monitor. Both are heard as they change (PropertyNotify), on a
// connection of its own read on the GUI thread: the event masks it selects
// are its own, so Qt's selection on the root stays as Qt set it, and an
// error about a window already gone comes here instead of into Qt's log.
// Without a window manager that names the focused window, nothing is full
// screen.
class X11FullscreenWatch : public QObject
{
    Q_OBJECT

public:
    // Null where there is no X server (or Pellmar was built without xcb).
    static std::unique_ptr<X11FullscreenWatch> open(const QByteArray &display);
    ~X11FullscreenWatch() override;

    bool fullscreen() const { return full; }

signals:
    // Only when it changes.
    void fullscreenChanged(bool on);

private:
    X11FullscreenWatch() = default;
    void readEvents();
    // Reads which window is focused and moves the watch onto it.
    void followActive();
    void readState();
    void setFull(bool on);

    xcb_connection_t *connection = nullptr;
    QSocketNotifier *notifier = nullptr;
    std::uint32_t root = 0;
    std::uint32_t active = 0; // the focused window as last heard; 0 for none
    std::uint32_t activeAtom = 0;
    std::uint32_t stateAtom = 0;
    std::uint32_t fullscreenAtom = 0;
    bool full = false;
};
