#include "x11pointerwatch.h"

#ifdef PELLMAR_HAVE_XINPUT
#include <cstdlib>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
#endif

std::unique_ptr<X11PointerWatch> X11PointerWatch::open(const QByteArray &display)
{
#ifdef PELLMAR_HAVE_XINPUT
    std::unique_ptr<X11PointerWatch> w(new X11PointerWatch());
    w->connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    xcb_connection_t *c = w->connection;
    if (xcb_connection_has_error(c))
        return nullptr;
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_input_id);
    if (!ext || !ext->present)
        return nullptr;
    xcb_input_xi_query_version_reply_t *version =
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 0), nullptr);
    const bool xi2 = version && version->major_version >= 2;
    std::free(version);
    if (!xi2)
        return nullptr;
    w->root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Master devices: one event per motion, whichever device made it.
    struct
    {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask = {{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
    xcb_generic_error_t *error =
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, w->root, 1, &mask.head));
    if (error) {
        std::free(error);
        return nullptr;
    }
    w->inputOpcode = ext->major_opcode;
    w->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (w->wakeFd < 0)
        return nullptr;
    return w;
#else
    Q_UNUSED(display);
    return nullptr;
#endif
}

X11PointerWatch::~X11PointerWatch()
{
#ifdef PELLMAR_HAVE_XINPUT
    if (wakeFd >= 0)
        ::close(wakeFd);
    if (connection)
        xcb_disconnect(connection);
#endif
}

bool X11PointerWatch::drain()
{
    bool moved = false;
#ifdef PELLMAR_HAVE_XINPUT
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_GE_GENERIC) {
            auto *generic = reinterpret_cast<xcb_ge_generic_event_t *>(event);
            if (generic->extension == inputOpcode && generic->event_type == XCB_INPUT_RAW_MOTION)
                moved = true;
        }
        std::free(event);
    }
#endif
    return moved;
}

bool X11PointerWatch::waitForMotion(int timeoutMs, bool motionWakes)
{
#ifdef PELLMAR_HAVE_XINPUT
    // Events read along with a reply are already off the socket: take them
    // first, or poll would sleep on them.
    if (motionWakes && drain())
        return true;
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {xcb_get_file_descriptor(connection), POLLIN, 0}};
    if (::poll(fds, motionWakes ? 2 : 1, timeoutMs) > 0 && (fds[0].revents & POLLIN)) {
        std::uint64_t count;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
    }
    if (xcb_connection_has_error(connection)) {
        // The server is gone; Qt ends the program. Do not spin meanwhile.
        ::poll(nullptr, 0, timeoutMs);
        return false;
    }
    return drain();
#else
    Q_UNUSED(timeoutMs);
    Q_UNUSED(motionWakes);
    return false;
#endif
}

bool X11PointerWatch::readPointer(int &x, int &y)
{
#ifdef PELLMAR_HAVE_XINPUT
    xcb_query_pointer_reply_t *reply =
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr);
    if (!reply)
        return false;
    x = reply->root_x;
    y = reply->root_y;
    std::free(reply);
    return true;
#else
    Q_UNUSED(x);
    Q_UNUSED(y);
    return false;
#endif
}

void X11PointerWatch::warp(int x, int y)
{
#ifdef PELLMAR_HAVE_XINPUT
    xcb_warp_pointer(connection, XCB_NONE, root, 0, 0, 0, 0, static_cast<std::int16_t>(x),
                     static_cast<std::int16_t>(y));
    xcb_flush(connection);
#else
    Q_UNUSED(x);
    Q_UNUSED(y);
#endif
}

void X11PointerWatch::wake()
{
#ifdef PELLMAR_HAVE_XINPUT
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
#endif
}
