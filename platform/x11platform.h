#pragma once

#include "platform.h"

#include <QByteArray>
#include <QRect>
#include <array>
#include <cstdint>
#include <memory>

class QScreen;
class X11FullscreenWatch;
class X11PointerWatch;

// The window system as an X11 desktop has it: the screens through Qt (which
// speaks RandR), the pointer and device motion (XInput 2 raw events) on a
// connection of the engine's own, whether the focused window is full screen
// from the window manager (EWMH), the pointer held on one monitor by the X
// server's own pointer barriers (XFixes 5). On Qt platforms other than xcb (offscreen
// tests, other systems) it still gives the screens; the pointer is then out
// of reach.
class X11Platform : public Platform
{
    Q_OBJECT

public:
    // `listen`: hear device motion where the server reports it; without it
    // the engine polls the pointer.
    explicit X11Platform(bool listen, QObject *parent = nullptr);
    ~X11Platform() override;

    std::vector<PlatformScreen> screens() override;
    bool cursorControlAvailable() override;
    QString cursorControlNotice() override;
    PointerWatch *pointerWatch() override;
    bool compositorRunning() override;
    void markAsOverlay(WId window) override;
    bool focusedFullscreen() override;
    std::optional<QPoint> pointerPosition() override;
    QString pointerLockNotice() override;
    bool lockPointer(const QRect &screen) override;
    void unlockPointer() override;

    // Under Wayland, XWayland included, X pointer warps reach only
    // XWayland's own windows, so no program can move the cursor.
    static bool cursorControlAvailable(const QString &platformName, const QByteArray &sessionType);

private:
    void watchScreen(QScreen *screen);
    // Whether the X server has pointer barriers; asked once.
    bool barriersAvailable();
    // Removes these barriers; zeros are none.
    void removeBarriers(const std::array<std::uint32_t, 4> &which);

    std::unique_ptr<X11PointerWatch> watch;
    std::unique_ptr<X11FullscreenWatch> fullscreenWatch;
    bool watchTried = false;
    bool listen;
    int barrierSupport = -1; // not asked yet
    // One barrier along each side of `lockedTo`, while it holds.
    std::array<std::uint32_t, 4> barriers{};
    QRect lockedTo;
};
