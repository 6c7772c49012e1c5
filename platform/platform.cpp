#include "platform.h"

Platform::~Platform() = default;

std::unique_ptr<Curtain> Platform::makeCurtain(const PlatformScreen &, int)
{
    return nullptr;
}
