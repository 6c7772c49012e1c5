#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>

// Rings the engine's doorbell whenever a pointer device moves, from XInput 2
// raw motion events on the X root window. Raw events come even while the
// pointer is pinned against the edge of the desktop, which is exactly when
// the engine must look. Pointer warps by programs make no raw events; the
// engine's slow idle sampling catches those.
class RawMotionWatcher : public QAbstractNativeEventFilter
{
public:
    RawMotionWatcher() = default;
    ~RawMotionWatcher() override;

    // Subscribes where the platform allows it; returns whether it could.
    bool start();

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

private:
    std::uint8_t inputOpcode = 0;
    bool started = false;
};
