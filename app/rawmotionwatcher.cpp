#include "rawmotionwatcher.h"

#include "enginestate.h"

#include <QCoreApplication>
#include <QX11Info>

#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

RawMotionWatcher::~RawMotionWatcher()
{
    if (started) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        engineState.doorbell.setAvailable(false);
    }
}

bool RawMotionWatcher::start()
{
    if (started || !QX11Info::isPlatformX11())
        return started;
    xcb_connection_t *c = QX11Info::connection();
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_input_id);
    if (!ext || !ext->present)
        return false;
    // No version query of our own: Qt has already agreed one on this
    // connection, and the server refuses a second, lower one. A server
    // without XInput 2 fails the selection below.
    // Master devices only: their own mask, which leaves the one Qt keeps on
    // the root window for all devices untouched.
    struct
    {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask = {{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
    xcb_generic_error_t *error = xcb_request_check(
        c, xcb_input_xi_select_events_checked(c, QX11Info::appRootWindow(), 1, &mask.head));
    if (error) {
        std::free(error);
        return false;
    }
    inputOpcode = ext->major_opcode;
    QCoreApplication::instance()->installNativeEventFilter(this);
    engineState.doorbell.setAvailable(true);
    started = true;
    return true;
}

bool RawMotionWatcher::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
        return false;
    auto *generic = static_cast<xcb_ge_generic_event_t *>(message);
    if (generic->extension != inputOpcode || generic->event_type != XCB_INPUT_RAW_MOTION)
        return false;
    engineState.doorbell.ring();
    return true;
}
