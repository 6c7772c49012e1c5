#include "fakeplatform.h"

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
