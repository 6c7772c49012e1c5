#include "x11fullscreenwatch.h"

#include <QSocketNotifier>

#ifdef PELLMAR_HAVE_LIBXCB
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

#include "xcbatom.h"
#endif

namespace {

#ifdef PELLMAR_HAVE_LIBXCB

// A property of 32-bit values, or nothing where it is not set, not of that
// type, or its window is gone.
std::vector<std::uint32_t> readProperty(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name,
                                        xcb_atom_t type)
{
    std::vector<std::uint32_t> values;
    xcb_generic_error_t *error = nullptr;
    // 64 states are far more than any window has.
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 64), &error);
    std::free(error);
    if (reply && reply->type == type && reply->format == 32) {
        const auto *v = static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
        values.assign(v, v + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

void selectEvents(xcb_connection_t *c, xcb_window_t window, std::uint32_t mask)
{
    // Unchecked: on a window already gone the error comes as an event,
    // which readEvents() passes over.
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
}
#endif

} // namespace

std::unique_ptr<X11FullscreenWatch> X11FullscreenWatch::open(const QByteArray &display)
{
#ifdef PELLMAR_HAVE_LIBXCB
    std::unique_ptr<X11FullscreenWatch> w(new X11FullscreenWatch());
    w->connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    xcb_connection_t *c = w->connection;
    if (xcb_connection_has_error(c))
        return nullptr;
    w->root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    w->activeAtom = XcbAtom::intern(c, "_NET_ACTIVE_WINDOW");
    w->stateAtom = XcbAtom::intern(c, "_NET_WM_STATE");
    w->fullscreenAtom = XcbAtom::intern(c, "_NET_WM_STATE_FULLSCREEN");
    selectEvents(c, w->root, XCB_EVENT_MASK_PROPERTY_CHANGE);
    w->followActive();
    w->notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, w.get());
    X11FullscreenWatch *watch = w.get();
    QObject::connect(w->notifier, &QSocketNotifier::activated, watch,
                     [watch] { watch->readEvents(); });
    // Events that came in with the first replies are queued already: the
    // socket will not tell of them.
    w->readEvents();
    return w;
#else
    Q_UNUSED(display);
    return nullptr;
#endif
}

X11FullscreenWatch::~X11FullscreenWatch()
{
#ifdef PELLMAR_HAVE_LIBXCB
    delete notifier; // before the socket it watches closes
    if (connection)
        xcb_disconnect(connection);
#endif
}

void X11FullscreenWatch::readEvents()
{
#ifdef PELLMAR_HAVE_LIBXCB
    xcb_connection_t *c = connection;
    for (;;) {
        bool follow = false;
        bool state = false;
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            // Errors (type 0) are about windows gone meanwhile: the next
            // read finds them gone too.
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto *p = reinterpret_cast<xcb_property_notify_event_t *>(event);
                if (p->window == root && p->atom == activeAtom)
                    follow = true;
                else if (p->window == active && p->atom == stateAtom)
                    state = true;
            }
            std::free(event);
        }
        if (follow)
            followActive();
        else if (state)
            readState();
        else
            break;
        // Those replies may have brought more events along: read again.
    }
    if (xcb_connection_has_error(c)) {
        // The X server is gone; its socket would stay readable for ever.
        notifier->setEnabled(false);
        setFull(false);
    }
#endif
}

void X11FullscreenWatch::followActive()
{
#ifdef PELLMAR_HAVE_LIBXCB
    xcb_connection_t *c = connection;
    const std::vector<std::uint32_t> named = readProperty(c, root, activeAtom, XCB_ATOM_WINDOW);
    const xcb_window_t now = named.empty() ? xcb_window_t(XCB_WINDOW_NONE) : named.front();
    if (now != active) {
        if (active != XCB_WINDOW_NONE)
            selectEvents(c, active, XCB_EVENT_MASK_NO_EVENT);
        // Property changes only: structure events would wake this thread
        // at every step of a window dragged about. A window that goes away
        // is noticed all the same, as the window manager names the next
        // one (EWMH asks it to) and as its state no longer reads.
        if (now != XCB_WINDOW_NONE)
            selectEvents(c, now, XCB_EVENT_MASK_PROPERTY_CHANGE);
        active = now;
    }
    // Selected before it is read: no change falls between the two.
    readState();
#endif
}

void X11FullscreenWatch::readState()
{
#ifdef PELLMAR_HAVE_LIBXCB
    bool on = false;
    if (active != XCB_WINDOW_NONE) {
        for (std::uint32_t s : readProperty(connection, active, stateAtom, XCB_ATOM_ATOM))
            on = on || s == fullscreenAtom;
    }
    setFull(on);
#endif
}

void X11FullscreenWatch::setFull(bool on)
{
    if (on == full)
        return;
    full = on;
    emit fullscreenChanged(on);
}
