#include "platform.h"

#include "edidreader.h"

Platform::~Platform() = default;

bool Platform::lockPointer(const QRect &)
{
    return false;
}

QSize Platform::monitorSizeMm(const QString &output)
{
    return EdidReader().sizeMmOf(output);
}
