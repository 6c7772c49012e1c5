#pragma once

#include "pointermover.h"
#include "pointerwatch.h"
#include "screentable.h"
#include "sensorlayout.h"

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class WaylandOutput;
class WaylandSensor;
struct wl_compositor;
struct wl_display;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwp_relative_pointer_manager_v1;
struct zwp_relative_pointer_v1;
struct zxdg_output_manager_v1;

// The engine thread's own view of a wlroots compositor, on a connection of
// its own. A Wayland client sees the pointer only over its own surfaces, so
// the watch lays a sensor (WaylandSensor) on each strip where a rule can act
// and hears the pointer's contacts there: an arrival, a move along the
// strip, and, where the compositor reports device motion, each push against
// the edge while it rests there. It moves the pointer by what the compositor
// grants (a PointerMover). Opened on the GUI thread; from then on only the
// engine thread uses the connection, but for wake().
class WaylandPointerWatch : public PointerWatch
{
public:
    // Null where no compositor answers or it offers no layer-shell or not
    // the mover's global.
    static std::unique_ptr<WaylandPointerWatch> open(std::unique_ptr<PointerMover> mover);
    ~WaylandPointerWatch() override;

    bool reportsMotion() const override { return relativeMotion; }
    bool contactsOnly() const override { return true; }
    void follow(const Snapshot &snapshot) override;
    bool waitForMotion(int timeoutMs, bool motionWakes) override;
    bool readPointer(PointerReading &reading) override;
    void takeDeviceMotion(double &dx, double &dy) override;
    void movePointer(int x, int y) override;
    void wake() override;

    // Any thread: where the desktop itself says the pointer is (a helper
    // inside the compositor, while the readout is shown). The next reading,
    // unless a contact comes first.
    void seen(int x, int y);

private:
    WaylandPointerWatch() = default;

    static void onGlobal(void *data, wl_registry *, uint32_t name, const char *interface,
                         uint32_t version);
    static void onGlobalRemove(void *data, wl_registry *, uint32_t name);
    static void onCapabilities(void *data, wl_seat *, uint32_t capabilities);
    static void onSeatName(void *, wl_seat *, const char *) {}
    static void onEnter(void *data, wl_pointer *, uint32_t serial, wl_surface *surface, int32_t sx,
                        int32_t sy);
    static void onLeave(void *data, wl_pointer *, uint32_t serial, wl_surface *surface);
    static void onMotion(void *data, wl_pointer *, uint32_t time, int32_t sx, int32_t sy);
    static void onButton(void *data, wl_pointer *, uint32_t serial, uint32_t time, uint32_t button,
                         uint32_t state);
    static void onRelativeMotion(void *data, zwp_relative_pointer_v1 *, uint32_t, uint32_t,
                                 int32_t dx, int32_t dy, int32_t dxRaw, int32_t dyRaw);

    // Puts a sensor on every wanted strip the outputs hold and takes away
    // the others; sensors that stay as they are are kept.
    void layOut();
    void dropPointer();
    // The strip under the pointer, at surface-local (sx, sy), becomes the
    // next reading.
    void contact(double sx, double sy);
    // Takes a position told by seen() as the next reading; false if none.
    bool takeSeen();
    // Whether a reading waits to be read.
    bool ready();

    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_compositor *compositor = nullptr;
    wl_shm *shm = nullptr;
    wl_seat *seat = nullptr;
    std::uint32_t seatVersion = 0;
    wl_pointer *pointer = nullptr;
    zwlr_layer_shell_v1 *layerShell = nullptr;
    std::unique_ptr<PointerMover> mover;
    zwp_relative_pointer_manager_v1 *relativePointers = nullptr;
    zwp_relative_pointer_v1 *relativePointer = nullptr;
    zxdg_output_manager_v1 *xdgOutputs = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs;
    std::vector<std::unique_ptr<WaylandSensor>> sensors;
    bool relativeMotion = false;
    int wakeFd = -1;

    // What the last snapshot wants sensed, and the box an absolute move
    // maps onto.
    ScreenTable screens;
    std::vector<SensorStrip> wanted;
    QRect extent;

    WaylandSensor *under = nullptr; // the sensor the pointer is on
    PointerReading last;            // where it was seen last
    bool pending = false;           // `last` not read yet
    int buttonsDown = 0;            // pressed on a sensor, not yet released
    bool jumped = false;            // our own move; no contact since
    double motionX = 0;             // device motion pushing on a sensor
    double motionY = 0;
    double takenX = 0; // the motion that came with the reading read last
    double takenY = 0;

    // Contacts the pointer left before the engine read them, oldest first,
    // each with the motion that took it off: how it left a seam is how it
    // crosses.
    struct Unread
    {
        PointerReading reading;
        double dx;
        double dy;
    };
    std::vector<Unread> unread;

    std::mutex seenLock;
    std::optional<QPoint> seenAt; // guarded by seenLock
};
