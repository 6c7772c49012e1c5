#include "desktopchooser.h"

#include "qtonlyplatform.h"

#ifdef PELLMAR_HAVE_X11
#include "x11platform.h"
#endif
#ifdef PELLMAR_HAVE_WLROOTS
#include "waylandplatform.h"
#endif
#ifdef PELLMAR_HAVE_GNOME
#include "gnomeplatform.h"
#endif
#ifdef PELLMAR_HAVE_KDE
#include "kdeplatform.h"
#endif

#include <QStringList>

Session Session::fromEnvironment()
{
    Session s;
    s.type = qEnvironmentVariable("XDG_SESSION_TYPE");
    s.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    s.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    s.display = qEnvironmentVariable("DISPLAY");
    s.qtPlatform = qEnvironmentVariable("QT_QPA_PLATFORM");
    return s;
}

namespace {

bool names(const Session &s, const char *desktop)
{
    // "GNOME", or a distribution's own in front of it ("ubuntu:GNOME").
    return s.currentDesktop.split(':').contains(QString::fromLatin1(desktop), Qt::CaseInsensitive);
}

bool isWaylandSession(const Session &s)
{
    return s.type.compare("wayland", Qt::CaseInsensitive) == 0 || !s.waylandDisplay.isEmpty();
}

} // namespace

QString DesktopChooser::qtPlatformFor(const Session &session)
{
    if (!session.qtPlatform.isEmpty())
        return session.qtPlatform;
    return session.waylandDisplay.isEmpty() ? QString() : QString("wayland");
}

DesktopChooser::Choice DesktopChooser::choose(const Session &s)
{
    const bool waylandClient = s.qtPlatform.startsWith("wayland");
    if (isWaylandSession(s)) {
        const QString wayland = s.waylandDisplay.isEmpty()
                                    ? QString("a Wayland session")
                                    : QString("Wayland display %1").arg(s.waylandDisplay);
        // The desktop-side helpers serve Pellmar whether its windows are
        // Wayland's or XWayland's.
        if (names(s, "GNOME"))
            return {Backend::Gnome, QString("GNOME on %1").arg(wayland)};
        if (names(s, "KDE"))
            return {Backend::Kde, QString("KDE Plasma on %1").arg(wayland)};
        if (waylandClient && !s.waylandDisplay.isEmpty()) {
            const QString desktop =
                s.currentDesktop.isEmpty() ? QString("a compositor") : s.currentDesktop;
            return {Backend::Wlroots,
                    QString("%1 on %2, as a Wayland client").arg(desktop, wayland)};
        }
        // Through XWayland no program sees or moves the pointer.
        return {Backend::QtOnly,
                QString("%1, but Qt runs on %2")
                    .arg(wayland, s.qtPlatform.isEmpty() ? QString("XWayland") : s.qtPlatform)};
    }
    if (s.qtPlatform == "xcb" || (s.qtPlatform.isEmpty() && !s.display.isEmpty()))
        return {Backend::X11, QString("X display %1").arg(s.display)};
    return {Backend::QtOnly, QString("Qt's %1 platform, no window system Pellmar knows")
                                 .arg(s.qtPlatform.isEmpty() ? QString("default") : s.qtPlatform)};
}

bool DesktopChooser::built(Backend backend)
{
    switch (backend) {
    case Backend::X11:
#ifdef PELLMAR_HAVE_X11
        return true;
#else
        return false;
#endif
    case Backend::Wlroots:
#ifdef PELLMAR_HAVE_WLROOTS
        return true;
#else
        return false;
#endif
    case Backend::Gnome:
#ifdef PELLMAR_HAVE_GNOME
        return true;
#else
        return false;
#endif
    case Backend::Kde:
#ifdef PELLMAR_HAVE_KDE
        return true;
#else
        return false;
#endif
    case Backend::QtOnly:
        return true;
    }
    return false;
}

QString DesktopChooser::name(Backend backend)
{
    switch (backend) {
    case Backend::X11:
        return "X11";
    case Backend::Wlroots:
        return "wlroots";
    case Backend::Gnome:
        return "GNOME";
    case Backend::Kde:
        return "KDE";
    case Backend::QtOnly:
        return "Qt only";
    }
    return QString();
}

std::unique_ptr<Platform> DesktopChooser::make(const Choice &choice, const PlatformOptions &options,
                                               QObject *parent)
{
    Q_UNUSED(options);
    switch (choice.backend) {
    case Backend::X11:
#ifdef PELLMAR_HAVE_X11
        return std::make_unique<X11Platform>(options.listenForMotion, parent);
#endif
        break;
    case Backend::Wlroots:
#ifdef PELLMAR_HAVE_WLROOTS
        return std::make_unique<WaylandPlatform>(parent);
#endif
        break;
    case Backend::Gnome:
#ifdef PELLMAR_HAVE_GNOME
        return std::make_unique<GnomePlatform>(parent);
#endif
        break;
    case Backend::Kde:
#ifdef PELLMAR_HAVE_KDE
        return std::make_unique<KdePlatform>(parent);
#endif
        break;
    case Backend::QtOnly:
        break;
    }
    return std::make_unique<QtOnlyPlatform>(fallbackReason(choice), parent);
}

QString DesktopChooser::fallbackReason(const Choice &choice)
{
    switch (choice.backend) {
    case Backend::QtOnly:
        if (choice.why.contains("Wayland"))
            return "Pellmar cannot move the mouse cursor in this session: cursor control needs "
                   "an X11 session. Edge wrap and Easy Move will not work; log in to an X11 "
                   "session (often \"GNOME on Xorg\" at the login screen) to use them.";
        return "Pellmar cannot move the mouse cursor here: it knows no window system in this "
               "session (" +
               choice.why + ").";
    default:
        return QString("Pellmar cannot move the mouse cursor here: this build of Pellmar has no "
                       "%1 backend (it was built without what that backend needs).")
            .arg(name(choice.backend));
    }
}

std::vector<DesktopChooser::Declared> DesktopChooser::declared()
{
    std::vector<Declared> out;
#ifdef PELLMAR_HAVE_X11
    out.push_back({"X11", X11Platform::featuresFor(true, true, true, true)});
#endif
#ifdef PELLMAR_HAVE_WLROOTS
    out.push_back({"sway", WaylandPlatform::featuresFor(QString(), true, true, true)});
    out.push_back({"other wlroots", WaylandPlatform::featuresFor(QString(), true, false, true)});
#endif
#ifdef PELLMAR_HAVE_GNOME
    out.push_back({"GNOME", GnomePlatform::featuresFor(QString())});
#endif
#ifdef PELLMAR_HAVE_KDE
    out.push_back({"KDE", KdePlatform::featuresFor(QString(), true, true, true)});
#endif
    return out;
}
