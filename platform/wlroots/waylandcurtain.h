#pragma once

#include "curtain.h"

#include <cstdint>
#include <functional>

struct wl_buffer;
struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_shm;
struct wl_surface;
struct wp_viewport;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// A curtain as a bare layer surface on the overlay layer of its output,
// on the platform's own connection: never a window, covering panels too,
// with an empty input region so that every click and motion goes to what
// lies below. Shown, it is mapped; hidden, its surface is gone, so that a
// compositor has nothing to draw (and a full-screen game keeps its direct
// path to the screen). A small translucent buffer, scaled to the output
// where the compositor can scale (viewporter), else one the output's size.
class WaylandCurtain : public Curtain
{
public:
    // The connection's objects; a curtain with any of the first five null
    // does nothing.
    struct Globals
    {
        wl_display *display = nullptr;
        wl_compositor *compositor = nullptr;
        wl_shm *shm = nullptr;
        zwlr_layer_shell_v1 *layerShell = nullptr;
        wp_viewporter *viewporter = nullptr; // optional
    };

    // `output` finds the output's handle when the curtain goes up (null:
    // the output is gone, and the curtain stays down).
    WaylandCurtain(const Globals &globals, std::function<wl_output *()> output, const QRect &area,
                   int darkness);
    ~WaylandCurtain() override;
    WaylandCurtain(const WaylandCurtain &) = delete;
    WaylandCurtain &operator=(const WaylandCurtain &) = delete;

    void setShown(bool shown) override;
    bool isShown() const override { return wanted; }
    void setDarkness(int percent) override;
    QRect area() const override { return covered; }

private:
    static void onConfigure(void *data, zwlr_layer_surface_v1 *, uint32_t serial, uint32_t width,
                            uint32_t height);
    static void onClosed(void *data, zwlr_layer_surface_v1 *);
    void map();
    void unmap();
    // Attaches the buffer for the size configured and commits.
    void paint();
    // `width` x `height` pixels, each black at the darkness, premultiplied.
    wl_buffer *makeBuffer(int width, int height);

    Globals g;
    std::function<wl_output *()> findOutput;
    QRect covered;
    int darkness;
    bool wanted = false;
    wl_surface *surface = nullptr;
    zwlr_layer_surface_v1 *layer = nullptr;
    wp_viewport *viewport = nullptr;
    wl_buffer *buffer = nullptr;
    int bufferWidth = 0, bufferHeight = 0;
    int width = 0, height = 0; // as configured; 0 until then
};
