#include "rawmotionwatcher.h"

#include <QCoreApplication>
#include <QGuiApplication>

#ifdef PELLMAR_HAVE_XINPUT
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QtGui/qguiapplication_platform.h>
#else
#include <QX11Info>
#endif
#endif

namespace {

#ifdef PELLMAR_HAVE_XINPUT
// Qt's own X connection: the only place that differs between Qt 5 and 6.
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

} // namespace

RawMotionWatcher::RawMotionWatcher(std::function<void()> motionListener)
    : listener(std::move(motionListener))
{
}

RawMotionWatcher::~RawMotionWatcher()
{
    if (started)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool RawMotionWatcher::start()
{
#ifdef PELLMAR_HAVE_XINPUT
    if (started)
        return true;
    xcb_connection_t *c = qtConnection();
    if (!c)
        return false;
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
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t *error =
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, root, 1, &mask.head));
    if (error) {
        std::free(error);
        return false;
    }
    inputOpcode = ext->major_opcode;
    QCoreApplication::instance()->installNativeEventFilter(this);
    started = true;
    return true;
#else
    return false;
#endif
}

bool RawMotionWatcher::isRawMotion(const QByteArray &eventType, void *message) const
{
#ifdef PELLMAR_HAVE_XINPUT
    if (eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
        return false;
    auto *generic = static_cast<xcb_ge_generic_event_t *>(message);
    return generic->extension == inputOpcode && generic->event_type == XCB_INPUT_RAW_MOTION;
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    return false;
#endif
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
bool RawMotionWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
#else
bool RawMotionWatcher::nativeEventFilter(const QByteArray &eventType, void *message, long *)
#endif
{
    if (!isRawMotion(eventType, message))
        return false;
    listener();
    return true;
}
