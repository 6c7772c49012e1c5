#include "platformfactory.h"

#include "x11platform.h"

#ifdef PELLMAR_HAVE_WAYLAND
#include "waylandplatform.h"
#include <QGuiApplication>
#endif

std::unique_ptr<Platform> makePlatform(const PlatformOptions &options, QObject *parent)
{
#ifdef PELLMAR_HAVE_WAYLAND
    // A Wayland client in a Wayland session; under XWayland the X11
    // platform says that it cannot act.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        QGuiApplication::platformName().startsWith("wayland"))
        return std::make_unique<WaylandPlatform>(parent);
#endif
    return std::make_unique<X11Platform>(options.listenForMotion, parent);
}
