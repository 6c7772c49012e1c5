#pragma once

#include "qtonlyplatform.h"

#include <QByteArray>
#include <QRect>
#include <array>
#include <cstdint>
#include <memory>

class X11FullscreenWatch;
class X11PointerWatch;

// The window system as an X11 desktop has it: the screens through Qt (which
// speaks RandR), the pointer and device motion (XInput 2 raw events) on a
// connection of the engine's own, whether the focused window is full screen
// from the window manager (EWMH), the pointer held on one monitor by the X
// server's own pointer barriers (XFixes 5), the curtains as top-level
// windows kept out of task lists. Chosen where Qt runs on xcb.
class X11Platform : public QtOnlyPlatform
{
    Q_OBJECT

public:
    // `listen`: hear device motion where the server reports it; without it
    // the engine polls the pointer.
    explicit X11Platform(bool listen, QObject *parent = nullptr);
    ~X11Platform() override;

    // In the X server's pixels, whatever Qt's scale.
    std::vector<PlatformScreen> screens() override;
    DesktopFeatures features() override;
    // What X11 allows where Pellmar reads the `pointer`, hears its device
    // `motion`, hears of a `fullscreen` window and has pointer `barriers`.
    static DesktopFeatures featuresFor(bool pointer, bool motion, bool fullscreen, bool barriers);
    PointerWatch *pointerWatch() override;
    bool compositorRunning() override;
    std::unique_ptr<Curtain> makeCurtain(const PlatformScreen &screen, int darkness) override;
    bool focusedFullscreen() override;
    std::optional<QPoint> pointerPosition() override;
    bool lockPointer(const QRect &screen) override;
    void unlockPointer() override;

private:
    // Marks a top-level window, created but not yet shown, as an overlay
    // of the desktop: no entry in task lists or pagers.
    void markAsOverlay(WId window);
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
