#include "fakeplatform.h"

FakePlatform::FakePlatform(std::vector<PlatformScreen> screens, QObject *parent)
    : Platform(parent), screenList(std::move(screens))
{
}

FakePlatform::~FakePlatform() = default;

QPoint FakePlatform::cursorPos()
{
    return pointer.position();
}

void FakePlatform::setCursorPos(int x, int y)
{
    moves.push_back(QPoint(x, y));
    pointer.warp(x, y);
}

void FakePlatform::setScreens(std::vector<PlatformScreen> list)
{
    screenList = std::move(list);
    emit screensChanged();
}
