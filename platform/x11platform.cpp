#include "x11platform.h"

#include "x11fullscreenwatch.h"
#include "x11pointerwatch.h"

#include <QGuiApplication>
#include <QScreen>

#ifdef PELLMAR_HAVE_XCB
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QtGui/qguiapplication_platform.h>
#else
#include <QX11Info>
#endif
#endif

namespace {

#ifdef PELLMAR_HAVE_XCB
// Qt's own X connection, where Pellmar's windows live: the one place that
// differs between Qt 5 and Qt 6.
xcb_connection_t *qtConnection()
{
    if (QGuiApplication::platformName() != "xcb")
        return nullptr;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
#else
    return QX11Info::connection();
#endif
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = XCB_ATOM_NONE;
    if (reply)
        a = reply->atom;
    std::free(reply);
    return a;
}
#endif

} // namespace

X11Platform::X11Platform(bool listenForMotion, QObject *parent)
    : Platform(parent), listen(listenForMotion)
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watchScreen(screen);
        emit screensChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Platform::screensChanged);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Platform::screensChanged);
    for (QScreen *screen : QGuiApplication::screens())
        watchScreen(screen);
    if (QGuiApplication::platformName() == "xcb") {
        fullscreenWatch = X11FullscreenWatch::open(qgetenv("DISPLAY"));
        if (fullscreenWatch)
            connect(fullscreenWatch.get(), &X11FullscreenWatch::fullscreenChanged, this,
                    &Platform::fullscreenChanged);
    }
}

// Out of line, where the watches are complete types.
X11Platform::~X11Platform() = default;

void X11Platform::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Platform::screensChanged);
}

std::vector<PlatformScreen> X11Platform::screens()
{
    std::vector<PlatformScreen> out;
    for (const QScreen *screen : QGuiApplication::screens())
        out.push_back(PlatformScreen{screen->name(), screen->geometry()});
    return out;
}

bool X11Platform::cursorControlAvailable(const QString &platformName, const QByteArray &sessionType)
{
    if (platformName.startsWith("wayland"))
        return false;
    if (platformName == "xcb" && sessionType.toLower() == "wayland")
        return false;
    return true;
}

bool X11Platform::cursorControlAvailable()
{
    return cursorControlAvailable(QGuiApplication::platformName(), qgetenv("XDG_SESSION_TYPE"));
}

QString X11Platform::cursorControlNotice()
{
    if (cursorControlAvailable())
        return QString();
    return "Pellmar cannot move the mouse cursor in this session: cursor control needs an X11 "
           "session. Edge wrap and Easy Move will not work; log in to an X11 session (often "
           "\"GNOME on Xorg\" or \"Plasma (X11)\" at the login screen) to use them.";
}

bool X11Platform::compositorRunning()
{
#ifdef PELLMAR_HAVE_XCB
    xcb_connection_t *c = qtConnection();
    if (!c)
        return true; // not X11: the window system composes
    // The compositor of screen 0 owns this selection (EWMH).
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
        c, xcb_get_selection_owner(c, atom(c, "_NET_WM_CM_S0")), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
#else
    return true;
#endif
}

void X11Platform::markAsOverlay(WId window)
{
#ifdef PELLMAR_HAVE_XCB
    xcb_connection_t *c = qtConnection();
    if (!c)
        return;
    // Set before the window is first shown; Qt adds its own states (above
    // the others) to these when it maps the window.
    const xcb_atom_t states[] = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window),
                        atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(c);
#else
    Q_UNUSED(window);
#endif
}

bool X11Platform::focusedFullscreen()
{
    return fullscreenWatch && fullscreenWatch->fullscreen();
}

PointerWatch *X11Platform::pointerWatch()
{
    if (watchTried)
        return watch.get();
    watchTried = true;
    if (QGuiApplication::platformName() != "xcb")
        return nullptr;
    watch = X11PointerWatch::open(qgetenv("DISPLAY"), listen);
    return watch.get();
}
