#include "fakeplatform.h"

FakePlatform::FakePlatform(std::vector<PlatformScreen> screens, QObject *parent)
    : Platform(parent), screenList(std::move(screens))
{
}

FakePlatform::~FakePlatform() = default;

QPoint FakePlatform::cursorPos()
{
    ++cursorReads;
    return cursor;
}

void FakePlatform::setCursorPos(int x, int y)
{
    moves.push_back(QPoint(x, y));
    cursor = QPoint(x, y);
}

bool FakePlatform::watchDeviceMotion(std::function<void()> listener)
{
    if (!reportsMotion)
        return false;
    motionListener = std::move(listener);
    return true;
}

void FakePlatform::setScreens(std::vector<PlatformScreen> list)
{
    screenList = std::move(list);
    emit screensChanged();
}

void FakePlatform::moveDevice(int x, int y)
{
    cursor = QPoint(x, y);
    if (motionListener)
        motionListener();
}
