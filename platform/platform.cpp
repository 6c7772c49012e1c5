#include "platform.h"

Platform::~Platform() = default;

std::unique_ptr<Curtain> Platform::makeCurtain(const PlatformScreen &, int)
{
    return nullptr;
}

QString Platform::pointerLockNotice()
{
    return "This desktop does not let programs hold the pointer on one monitor.";
}

bool Platform::lockPointer(const QRect &)
{
    return false;
}
