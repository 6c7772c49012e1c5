#include "platformfactory.h"

#include "x11platform.h"

std::unique_ptr<Platform> makePlatform(const PlatformOptions &options, QObject *parent)
{
    return std::make_unique<X11Platform>(options.listenForMotion, parent);
}
