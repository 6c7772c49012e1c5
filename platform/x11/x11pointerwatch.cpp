#include "x11pointerwatch.h"

#include "pointerstate.h"

#ifdef PELLMAR_HAVE_XINPUT
#include <cmath>
#include <cstdlib>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
#endif

std::unique_ptr<X11PointerWatch> X11PointerWatch::open(const QByteArray &display, bool listen)
{
#ifdef PELLMAR_HAVE_XINPUT
    std::unique_ptr<X11PointerWatch> w(new X11PointerWatch());
    w->connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    xcb_connection_t *c = w->connection;
    if (xcb_connection_has_error(c))
        return nullptr;
    w->root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    w->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (w->wakeFd < 0)
        return nullptr;
    if (listen)
        w->listening = w->listenForRawMotion();
    return w;
#else
    Q_UNUSED(display);
    Q_UNUSED(listen);
    return nullptr;
#endif
}

bool X11PointerWatch::listenForRawMotion()
{
#ifdef PELLMAR_HAVE_XINPUT
    xcb_connection_t *c = connection;
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_input_id);
    if (!ext || !ext->present)
        return false;
    xcb_input_xi_query_version_reply_t *version =
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 0), nullptr);
    const bool xi2 = version && version->major_version >= 2;
    std::free(version);
    if (!xi2)
        return false;
    // Master devices: one event per motion, whichever device made it.
    struct
    {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask = {{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
    xcb_generic_error_t *error =
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, root, 1, &mask.head));
    if (error) {
        std::free(error);
        return false;
    }
    inputOpcode = ext->major_opcode;
    return true;
#else
    return false;
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

bool X11PointerWatch::drain(bool readSocket)
{
    bool moved = false;
#ifdef PELLMAR_HAVE_XINPUT
    while (xcb_generic_event_t *event = readSocket ? xcb_poll_for_event(connection)
                                                   : xcb_poll_for_queued_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_GE_GENERIC) {
            auto *generic = reinterpret_cast<xcb_ge_generic_event_t *>(event);
            if (generic->extension == inputOpcode && generic->event_type == XCB_INPUT_RAW_MOTION) {
                moved = true;
                // The unaccelerated values of the axes in the mask, in
                // order; axes 0 and 1 are x and y.
                auto *raw = reinterpret_cast<xcb_input_raw_motion_event_t *>(event);
                const std::uint32_t *mask = xcb_input_raw_button_press_valuator_mask(raw);
                const int axes = 32 * xcb_input_raw_button_press_valuator_mask_length(raw);
                const xcb_input_fp3232_t *values = xcb_input_raw_button_press_axisvalues_raw(raw);
                int k = 0; // the value of the next axis in the mask
                for (int axis = 0; axis < 2 && axis < axes; ++axis) {
                    if (!(mask[0] & (1u << axis)))
                        continue;
                    const double v = values[k].integral + values[k].frac / 4294967296.0;
                    // A device that reports where it is rather than how far it
                    // moved (XTest's absolute motion, a tablet) is no push.
                    if (std::abs(v) < maxDelta)
                        (axis == 0 ? motionX : motionY) += v;
                    ++k;
                }
            }
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
    if (motionWakes && drain(false))
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
    // Every system call counts at a few looks a second: read the socket
    // only if it has something, or if it went unwatched.
    return drain(!motionWakes || (fds[1].revents & POLLIN));
#else
    Q_UNUSED(timeoutMs);
    Q_UNUSED(motionWakes);
    return false;
#endif
}

bool X11PointerWatch::readPointer(PointerReading &reading)
{
#ifdef PELLMAR_HAVE_XINPUT
    xcb_query_pointer_reply_t *reply =
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr);
    if (!reply)
        return false;
    reading = fromX(reply->root_x, reply->root_y, reply->mask);
    std::free(reply);
    return true;
#else
    Q_UNUSED(reading);
    return false;
#endif
}

PointerReading X11PointerWatch::fromX(int x, int y, unsigned mask)
{
    return PointerState::fromMask(x, y, mask);
}

void X11PointerWatch::takeDeviceMotion(double &dx, double &dy)
{
    // Called after a read: waiting for its reply took in every event sent
    // before it.
    drain(false);
    dx = motionX;
    dy = motionY;
    motionX = motionY = 0;
}

void X11PointerWatch::movePointer(int x, int y)
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
