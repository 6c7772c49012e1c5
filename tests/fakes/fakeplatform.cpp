#include "fakeplatform.h"

#include "screendarkencurtain.h"

FakePlatform::FakePlatform(std::vector<PlatformScreen> screens, QObject *parent)
    : Platform(parent), screenList(std::move(screens))
{
}

FakePlatform::~FakePlatform() = default;

void FakePlatform::setScreens(std::vector<PlatformScreen> list)
{
    screenList = std::move(list);
    emit screensChanged();
}

void FakePlatform::setFullscreen(bool on)
{
    fullscreen = on;
    emit fullscreenChanged(on);
}

bool FakePlatform::lockPointer(const QRect &screen)
{
    if (!lockable)
        return false;
    heldIn = screen;
    return true;
}

DesktopFeatures FakePlatform::features()
{
    DesktopFeatures f = allowed;
    if (!controlAvailable) {
        f.denyPointer("The fake desktop lets no one move it.");
    }
    if (!lockable)
        f.deny(Feature::Lock, "The fake desktop cannot hold the pointer.");
    if (!readable || !pointer.reportsMotion())
        f.deny(Feature::PushThrough, "The fake desktop reports no device motion.");
    return f;
}

std::unique_ptr<Curtain> FakePlatform::makeCurtain(const PlatformScreen &screen, int darkness)
{
    auto window = std::make_unique<ScreenDarkenCurtain>(screen.geometry, darkness);
    overlays.push_back(window->winId());
    return window;
}
