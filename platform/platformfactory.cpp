#include "platformfactory.h"

#include "x11platform.h"

#ifdef PELLMAR_HAVE_WAYLAND
#include "waylandplatform.h"
#endif
#ifdef PELLMAR_HAVE_GNOME
#include "gnomeplatform.h"
#endif
#include <QGuiApplication>

std::unique_ptr<Platform> makePlatform(const PlatformOptions &options, QObject *parent)
{
#ifdef PELLMAR_HAVE_GNOME
    // GNOME on Wayland: everything goes through the Shell's extension on
    // the bus, whether Qt's windows are Wayland's or XWayland's (Qt 5 picks
    // XWayland on GNOME).
    if (GnomePlatform::isGnomeSession())
        return std::make_unique<GnomePlatform>(parent);
#endif
#ifdef PELLMAR_HAVE_WAYLAND
    // A Wayland client in another Wayland session: the wlroots protocols.
    // Under XWayland the X11 platform says that it cannot act.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        QGuiApplication::platformName().startsWith("wayland"))
        return std::make_unique<WaylandPlatform>(parent);
#endif
    return std::make_unique<X11Platform>(options.listenForMotion, parent);
}
