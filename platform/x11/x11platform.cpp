#include "x11platform.h"

#include "screendarkencurtain.h"
#include "screenscale.h"
#include "x11fullscreenwatch.h"
#include "x11pointerwatch.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>

#ifdef PELLMAR_HAVE_XCB
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

#include "xcbatom.h"
#ifdef PELLMAR_HAVE_XFIXES
#include <xcb/xfixes.h>
#endif
#ifdef PELLMAR_HAVE_RANDR
#include <xcb/randr.h>
#endif
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

#endif

// One of the X server's own monitors: where it is in the server's pixels,
// and its size as RandR reports it (0x0 where it reports none).
struct ServerMonitor
{
    QRect rect;
    QSize mm = QSize(0, 0);
};

// The X server's own monitors by name; empty where it was not asked.
QHash<QString, ServerMonitor> serverMonitors()
{
    QHash<QString, ServerMonitor> out;
#if defined(PELLMAR_HAVE_XCB) && defined(PELLMAR_HAVE_RANDR)
    xcb_connection_t *c = qtConnection();
    if (!c)
        return out;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_randr_get_monitors_reply_t *reply =
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr);
    if (!reply)
        return out;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t *m = it.data;
        xcb_get_atom_name_reply_t *name =
            xcb_get_atom_name_reply(c, xcb_get_atom_name(c, m->name), nullptr);
        if (!name)
            continue;
        out.insert(
            QString::fromUtf8(xcb_get_atom_name_name(name), xcb_get_atom_name_name_length(name)),
            ServerMonitor{QRect(m->x, m->y, m->width, m->height),
                          QSize(int(m->width_in_millimeters), int(m->height_in_millimeters))});
        std::free(name);
    }
    std::free(reply);
#endif
    return out;
}

std::vector<ScreenScale::Screen> scaledScreens(const QHash<QString, ServerMonitor> &server)
{
    std::vector<ScreenScale::Screen> out;
    for (const QScreen *screen : QGuiApplication::screens())
        out.push_back({screen->name(), screen->geometry(), screen->devicePixelRatio(),
                       server.value(screen->name()).rect});
    return out;
}

std::vector<ScreenScale::Screen> scaledScreens()
{
    return scaledScreens(serverMonitors());
}

} // namespace

X11Platform::X11Platform(bool listenForMotion, QObject *parent)
    : QtOnlyPlatform(QString(), parent), listen(listenForMotion)
{
    fullscreenWatch = X11FullscreenWatch::open(qgetenv("DISPLAY"));
    if (fullscreenWatch)
        connect(fullscreenWatch.get(), &X11FullscreenWatch::fullscreenChanged, this,
                &Platform::fullscreenChanged);
}

X11Platform::~X11Platform()
{
    unlockPointer();
}

std::vector<PlatformScreen> X11Platform::screens()
{
    std::vector<PlatformScreen> out;
    // A size the server made up (from its DPI, say) is for the screen
    // table to doubt, and the EDID to stand in for.
    const QHash<QString, ServerMonitor> server = serverMonitors();
    for (const ScreenScale::Screen &s : scaledScreens(server))
        out.push_back(PlatformScreen{s.name, ScreenScale::nativeOf(s), server.value(s.name).mm});
    return out;
}

DesktopFeatures X11Platform::features()
{
    PointerWatch *pointer = pointerWatch();
    return featuresFor(pointer != nullptr, pointer && pointer->reportsMotion(),
                       fullscreenWatch != nullptr, barriersAvailable());
}

DesktopFeatures X11Platform::featuresFor(bool pointer, bool motion, bool fullscreen, bool barriers)
{
    DesktopFeatures f;
    if (!pointer) {
        f.denyPointer("Pellmar cannot reach the X server's pointer.");
        return f;
    }
    if (!motion)
        f.deny(Feature::PushThrough,
               "This X server does not report pointer device motion (XInput 2), so a push "
               "beyond an edge cannot be measured.");
    if (!fullscreen)
        f.deny(Feature::QuietInFullscreen,
               "Pellmar cannot hear from the window manager which window is full screen.");
    if (!barriers)
        f.deny(Feature::Lock, "This X server cannot hold the pointer on one monitor: it has no "
                              "pointer barriers (XFixes 5).");
    return f;
}

std::unique_ptr<Curtain> X11Platform::makeCurtain(const PlatformScreen &screen, int darkness)
{
    auto window = std::make_unique<ScreenDarkenCurtain>(
        ScreenScale::toLogical(screen.geometry, scaledScreens()), darkness);
    markAsOverlay(window->winId());
    return window;
}

bool X11Platform::compositorRunning()
{
#ifdef PELLMAR_HAVE_XCB
    xcb_connection_t *c = qtConnection();
    if (!c)
        return true; // not X11: the window system composes
    // The compositor of screen 0 owns this selection (EWMH).
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
        c, xcb_get_selection_owner(c, XcbAtom::intern(c, "_NET_WM_CM_S0")), nullptr);
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
    const xcb_atom_t states[] = {XcbAtom::intern(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 XcbAtom::intern(c, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window),
                        XcbAtom::intern(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
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
    watch = X11PointerWatch::open(qgetenv("DISPLAY"), listen);
    return watch.get();
}

std::optional<QPoint> X11Platform::pointerPosition()
{
    return ScreenScale::toNative(QCursor::pos(), scaledScreens());
}

bool X11Platform::barriersAvailable()
{
    if (barrierSupport >= 0)
        return barrierSupport == 1;
    barrierSupport = 0;
#if defined(PELLMAR_HAVE_XCB) && defined(PELLMAR_HAVE_XFIXES)
    xcb_connection_t *c = qtConnection();
    if (!c)
        return false;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!extension || !extension->present)
        return false;
    // Announces the version this client speaks, which the server holds it
    // to; the newest the headers know, so as not to take any from Qt.
    xcb_xfixes_query_version_reply_t *reply = xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr);
    if (reply && reply->major_version >= 5)
        barrierSupport = 1;
    std::free(reply);
#endif
    return barrierSupport == 1;
}

bool X11Platform::lockPointer(const QRect &screen)
{
#if defined(PELLMAR_HAVE_XCB) && defined(PELLMAR_HAVE_XFIXES)
    if (screen == lockedTo)
        return true;
    xcb_connection_t *c = qtConnection();
    if (!c || !barriersAvailable() || screen.isEmpty() || screen.left() < 0 || screen.top() < 0)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // A barrier lets motion across it only in the directions it names: each
    // side lets the pointer in and not out. The far sides lie one pixel past
    // the last column and row, and every side runs past the corners, so no
    // diagonal slips out between two of them.
    const int l = screen.left(), t = screen.top(), r = screen.right() + 1, b = screen.bottom() + 1;
    struct Side
    {
        int x1, y1, x2, y2;
        std::uint32_t through;
    };
    const Side sides[4] = {
        {l, t, l, b, XCB_XFIXES_BARRIER_DIRECTIONS_POSITIVE_X},
        {r, t, r, b, XCB_XFIXES_BARRIER_DIRECTIONS_NEGATIVE_X},
        {l, t, r, t, XCB_XFIXES_BARRIER_DIRECTIONS_POSITIVE_Y},
        {l, b, r, b, XCB_XFIXES_BARRIER_DIRECTIONS_NEGATIVE_Y},
    };
    std::array<std::uint32_t, 4> made{};
    bool ok = true;
    for (int k = 0; k < 4; ++k) {
        const Side &s = sides[k];
        made[k] = xcb_generate_id(c);
        // No devices named: it holds every pointer.
        xcb_generic_error_t *error = xcb_request_check(
            c, xcb_xfixes_create_pointer_barrier_checked(
                   c, made[k], root, std::uint16_t(s.x1), std::uint16_t(s.y1), std::uint16_t(s.x2),
                   std::uint16_t(s.y2), s.through, 0, nullptr));
        if (error) {
            qWarning("Pellmar: the X server refused a pointer barrier (error %d)",
                     int(error->error_code));
            std::free(error);
            made[k] = 0;
            ok = false;
            break;
        }
    }
    if (!ok) {
        removeBarriers(made);
        return false;
    }
    // The new ones stand before the old ones go: no moment without a hold.
    removeBarriers(barriers);
    barriers = made;
    lockedTo = screen;
    return true;
#else
    Q_UNUSED(screen);
    return false;
#endif
}

void X11Platform::unlockPointer()
{
    removeBarriers(barriers);
    barriers = {};
    lockedTo = QRect();
}

void X11Platform::removeBarriers(const std::array<std::uint32_t, 4> &which)
{
#if defined(PELLMAR_HAVE_XCB) && defined(PELLMAR_HAVE_XFIXES)
    xcb_connection_t *c = qtConnection();
    if (!c)
        return;
    bool any = false;
    for (const std::uint32_t barrier : which) {
        if (barrier != 0) {
            xcb_xfixes_delete_pointer_barrier(c, barrier);
            any = true;
        }
    }
    if (any)
        xcb_flush(c);
#else
    Q_UNUSED(which);
#endif
}
