#pragma once

#include <QAbstractNativeEventFilter>
#include <QtGlobal>
#include <cstdint>
#include <functional>

// Calls its listener whenever a pointer device moves, from XInput 2 raw
// motion events on the X root window. Raw events come even while the
// pointer is pinned against the edge of the desktop, which is exactly when
// the engine must look. Built without XInput 2 support, or on a platform
// other than xcb, start() fails and nothing is ever reported.
class RawMotionWatcher : public QAbstractNativeEventFilter
{
public:
    explicit RawMotionWatcher(std::function<void()> listener);
    ~RawMotionWatcher() override;

    // Subscribes where the platform allows it; returns whether it could.
    bool start();

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
#else
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;
#endif

private:
    bool isRawMotion(const QByteArray &eventType, void *message) const;

    std::function<void()> listener;
    std::uint8_t inputOpcode = 0;
    bool started = false;
};
