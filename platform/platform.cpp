#include "platform.h"

Platform::~Platform() = default;

bool Platform::lockPointer(const QRect &)
{
    return false;
}
