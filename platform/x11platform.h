#pragma once

#include "platform.h"

#include <QByteArray>
#include <memory>

class QScreen;
class X11PointerWatch;

// The window system as an X11 desktop has it: the cursor and the screens
// through Qt (which speaks RandR), device motion from XInput 2 raw events on
// a connection of the engine's own. On Qt platforms other than xcb
// (offscreen tests, other systems) it still gives the cursor and screens;
// device motion is then not reported.
class X11Platform : public Platform
{
    Q_OBJECT

public:
    explicit X11Platform(QObject *parent = nullptr);
    ~X11Platform() override;

    QPoint cursorPos() override;
    PointerReading pointerReading() override;
    void setCursorPos(int x, int y) override;
    std::vector<PlatformScreen> screens() override;
    bool cursorControlAvailable() override;
    PointerWatch *pointerWatch() override;
    bool compositorRunning() override;
    void markAsOverlay(WId window) override;

    // Under Wayland, XWayland included, X pointer warps reach only
    // XWayland's own windows, so no program can move the cursor.
    static bool cursorControlAvailable(const QString &platformName, const QByteArray &sessionType);

private:
    void watchScreen(QScreen *screen);

    std::unique_ptr<X11PointerWatch> watch;
    bool watchTried = false;
};
