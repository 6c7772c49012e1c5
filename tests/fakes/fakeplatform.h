#pragma once

#include "fakepointer.h"
#include "platform.h"

// A window system in memory, for tests: screens that change on request, a
// cursor that moves as a device or as another program moves it.
class FakePlatform : public Platform
{
    Q_OBJECT

public:
    explicit FakePlatform(std::vector<PlatformScreen> screens = {}, QObject *parent = nullptr);
    ~FakePlatform() override;

    std::vector<PlatformScreen> screens() override { return screenList; }
    // No monitor of the machine the tests run on counts.
    QSize monitorSizeMm(const QString &) override { return QSize(0, 0); }
    DesktopFeatures features() override;
    PointerWatch *pointerWatch() override { return readable ? &pointer : nullptr; }
    bool compositorRunning() override { return compositor; }
    // A curtain window as X11 has it, marked as an overlay.
    std::unique_ptr<Curtain> makeCurtain(const PlatformScreen &screen, int darkness) override;
    bool focusedFullscreen() override { return fullscreen; }
    bool tellsPointerScreen() override { return tells; }
    QString pointerScreen() override { return toldScreen; }
    std::optional<QPoint> pointerPosition() override
    {
        return positionKnown ? std::optional<QPoint>(pointer.position()) : std::nullopt;
    }
    bool lockPointer(const QRect &screen) override;
    void unlockPointer() override { heldIn = QRect(); }

    // Replaces the screens and reports the change, as a hot-plug does.
    void setScreens(std::vector<PlatformScreen> list);
    // The focused window goes full screen or leaves it, and the desktop
    // says so.
    void setFullscreen(bool on);
    // The pointer device moves the cursor there.
    void moveDevice(int x, int y) { pointer.moveDevice(x, y); }
    // Another program puts the cursor there: no device motion.
    void warp(int x, int y) { pointer.warp(x, y); }
    QPoint cursor() { return pointer.position(); }

    // Whether the engine may read the pointer at all; whether device
    // motion is reported is the pointer's (FakePointer::setReportsMotion).
    bool readable = true;
    bool controlAvailable = true;
    bool compositor = true;
    bool fullscreen = false;
    // As the desktop tells which output holds the pointer (Wayland) rather
    // than where it is.
    bool tells = false;
    QString toldScreen;
    bool positionKnown = true;
    bool lockable = true;
    QRect heldIn;              // where the pointer is held, null while free
    DesktopFeatures allowed;   // what else the fake desktop does not allow
    std::vector<WId> overlays; // every window marked as an overlay
    std::vector<PlatformScreen> screenList;
    FakePointer pointer;
};
