#include "waylandsensor.h"

#include "waylandlayershell.h"
#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

using namespace WaylandGeometry;

static_assert(AnchorTop == ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP &&
                  AnchorBottom == ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM &&
                  AnchorLeft == ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT &&
                  AnchorRight == ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT,
              "anchor bits differ from the protocol's");

WaylandSensor::WaylandSensor(const SensorStrip &strip, wl_output *output,
                             const LayerPlacement &placement, wl_display *connection,
                             wl_compositor *compositor, wl_shm *sharedMemory,
                             zwlr_layer_shell_v1 *shell)
    : where(strip), on(output), placed(placement), display(connection), shm(sharedMemory)
{
    static const zwlr_layer_surface_v1_listener listener = [] {
        zwlr_layer_surface_v1_listener l{};
        l.configure = onConfigure;
        l.closed = onClosed;
        return l;
    }();
    wlSurface = wl_compositor_create_surface(compositor);
    layer = zwlr_layer_shell_v1_get_layer_surface(
        shell, wlSurface, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "pellmar-edge");
    zwlr_layer_surface_v1_add_listener(layer, &listener, this);
    zwlr_layer_surface_v1_set_size(layer, placement.width, placement.height);
    zwlr_layer_surface_v1_set_anchor(layer, placement.anchor);
    zwlr_layer_surface_v1_set_margin(layer, placement.top, placement.right, placement.bottom,
                                     placement.left);
    // -1: placed against the output's very edge, whatever panels reserve.
    zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    // The first commit carries no buffer; the configure that answers it says
    // the size.
    wl_surface_commit(wlSurface);
}

WaylandSensor::~WaylandSensor()
{
    if (shown)
        wl_callback_destroy(shown);
    zwlr_layer_surface_v1_destroy(layer);
    wl_surface_destroy(wlSurface);
    if (buffer)
        wl_buffer_destroy(buffer);
}

void WaylandSensor::onConfigure(void *data, zwlr_layer_surface_v1 *, uint32_t serial,
                                uint32_t width, uint32_t height)
{
    auto *self = static_cast<WaylandSensor *>(data);
    zwlr_layer_surface_v1_ack_configure(self->layer, serial);
    // A size of 0 leaves it to us: the strip's own.
    const int w = width ? int(width) : self->where.width;
    const int h = height ? int(height) : self->where.height;
    if (!self->buffer || w != self->bufferWidth || h != self->bufferHeight) {
        if (self->buffer)
            wl_buffer_destroy(self->buffer);
        self->buffer = self->transparentBuffer(w, h);
        self->bufferWidth = w;
        self->bufferHeight = h;
        if (!self->buffer)
            return;
        wl_surface_attach(self->wlSurface, self->buffer, 0, 0);
        wl_surface_damage(self->wlSurface, 0, 0, w, h);
    }
    const bool first = !self->bufferShown && self->buffer;
    wl_surface_commit(self->wlSurface);
    if (first) {
        // The compositor puts a surface that appears under the pointer in
        // its focus while it takes the commit, before it answers a round
        // trip asked for after it.
        static const wl_callback_listener listener = {onShown};
        self->bufferShown = true;
        self->shown = wl_display_sync(self->display);
        wl_callback_add_listener(self->shown, &listener, self);
    }
}

void WaylandSensor::onShown(void *data, wl_callback *callback, uint32_t)
{
    auto *self = static_cast<WaylandSensor *>(data);
    wl_callback_destroy(callback);
    self->shown = nullptr;
}

void WaylandSensor::onClosed(void *data, zwlr_layer_surface_v1 *)
{
    static_cast<WaylandSensor *>(data)->gone = true;
}

wl_buffer *WaylandSensor::transparentBuffer(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    const int stride = width * 4;
    const int size = stride * height;
    const int fd = ::memfd_create("pellmar-sensor", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // A file grown by ftruncate reads as zeros: ARGB 0, fully transparent,
    // without mapping it.
    if (::ftruncate(fd, size) != 0) {
        ::close(fd);
        return nullptr;
    }
    wl_shm_pool *pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer *b =
        wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    // The buffer keeps the memory; the pool and the file are not needed.
    wl_shm_pool_destroy(pool);
    ::close(fd);
    return b;
}
