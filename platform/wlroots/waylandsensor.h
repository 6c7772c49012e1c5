#pragma once

#include "sensorlayout.h"
#include "waylandgeometry.h"

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// One sensor strip as a surface of the compositor's own: a transparent
// layer surface on the overlay layer of the output that holds the strip,
// covering exactly its pixels, so that the pointer's arrival there is an
// enter event of ours. It takes no keyboard focus, and panels' exclusive
// zones do not push it off the edge.
class WaylandSensor
{
public:
    WaylandSensor(const SensorStrip &strip, wl_output *output,
                  const WaylandGeometry::LayerPlacement &placement, wl_display *display,
                  wl_compositor *compositor, wl_shm *shm, zwlr_layer_shell_v1 *shell);
    ~WaylandSensor();
    WaylandSensor(const WaylandSensor &) = delete;
    WaylandSensor &operator=(const WaylandSensor &) = delete;

    const SensorStrip &strip() const { return where; }
    wl_output *output() const { return on; }
    const WaylandGeometry::LayerPlacement &placement() const { return placed; }
    wl_surface *surface() const { return wlSurface; }
    // The compositor has taken the surface away (its output went).
    bool closed() const { return gone; }
    // Just shown, and the compositor has not yet answered what came after:
    // an enter now is the strip appearing under the pointer, not the
    // pointer coming to it.
    bool appearing() const { return shown != nullptr; }

private:
    static void onConfigure(void *data, zwlr_layer_surface_v1 *, uint32_t serial, uint32_t width,
                            uint32_t height);
    static void onClosed(void *data, zwlr_layer_surface_v1 *);
    static void onShown(void *data, wl_callback *, uint32_t);
    // A buffer of that size, every pixel transparent; null if none can be
    // made.
    wl_buffer *transparentBuffer(int width, int height);

    SensorStrip where;
    wl_output *on;
    WaylandGeometry::LayerPlacement placed;
    wl_display *display;
    wl_shm *shm;
    wl_surface *wlSurface = nullptr;
    zwlr_layer_surface_v1 *layer = nullptr;
    wl_buffer *buffer = nullptr;
    wl_callback *shown = nullptr; // the round trip after the first buffer
    int bufferWidth = 0;
    int bufferHeight = 0;
    bool bufferShown = false;
    bool gone = false;
};
