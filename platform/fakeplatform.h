#pragma once

#include "fakepointer.h"
#include "platform.h"

// A window system in memory, for tests: screens that change on request, a
// cursor that moves as a device or as another program moves it, and a log
// of every cursor move Pellmar asks for.
class FakePlatform : public Platform
{
    Q_OBJECT

public:
    explicit FakePlatform(std::vector<PlatformScreen> screens = {}, QObject *parent = nullptr);
    ~FakePlatform() override;

    QPoint cursorPos() override;
    PointerReading pointerReading() override
    {
        PointerReading r;
        pointer.readPointer(r);
        return r;
    }
    void setCursorPos(int x, int y) override;
    std::vector<PlatformScreen> screens() override { return screenList; }
    bool cursorControlAvailable() override { return controlAvailable; }
    PointerWatch *pointerWatch() override { return reportsMotion ? &pointer : nullptr; }
    bool compositorRunning() override { return compositor; }
    void markAsOverlay(WId window) override { overlays.push_back(window); }

    // Replaces the screens and reports the change, as a hot-plug does.
    void setScreens(std::vector<PlatformScreen> list);
    // The pointer device moves the cursor there.
    void moveDevice(int x, int y) { pointer.moveDevice(x, y); }
    // Another program puts the cursor there: no device motion.
    void warp(int x, int y) { pointer.warp(x, y); }
    QPoint cursor() { return pointer.position(); }

    bool reportsMotion = true;
    bool controlAvailable = true;
    bool compositor = true;
    std::vector<WId> overlays; // every window marked as an overlay
    std::vector<PlatformScreen> screenList;
    FakePointer pointer;
    std::vector<QPoint> moves; // every setCursorPos, in order
};
