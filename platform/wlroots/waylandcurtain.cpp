#include "waylandcurtain.h"

#include "viewporter-client-protocol.h"
#include "waylandlayershell.h"
#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

WaylandCurtain::WaylandCurtain(const Globals &globals, std::function<wl_output *()> output,
                               const QRect &area, int percent)
    : g(globals), findOutput(std::move(output)), covered(area), darkness(percent)
{
}

WaylandCurtain::~WaylandCurtain()
{
    unmap();
    if (buffer)
        wl_buffer_destroy(buffer);
    if (g.display)
        wl_display_flush(g.display);
}

void WaylandCurtain::setShown(bool shown)
{
    if (shown == wanted)
        return;
    wanted = shown;
    if (shown)
        map();
    else
        unmap();
    if (g.display)
        wl_display_flush(g.display);
}

void WaylandCurtain::setDarkness(int percent)
{
    if (percent == darkness)
        return;
    darkness = percent;
    if (buffer)
        wl_buffer_destroy(buffer);
    buffer = nullptr;
    if (layer && width > 0) {
        paint();
        wl_display_flush(g.display);
    }
}

void WaylandCurtain::map()
{
    if (surface || !g.display || !g.compositor || !g.shm || !g.layerShell)
        return;
    wl_output *output = findOutput ? findOutput() : nullptr;
    if (!output)
        return;
    static const zwlr_layer_surface_v1_listener listener = [] {
        zwlr_layer_surface_v1_listener l{};
        l.configure = onConfigure;
        l.closed = onClosed;
        return l;
    }();
    surface = wl_compositor_create_surface(g.compositor);
    // No input at all: clicks and motion go to what lies below.
    wl_region *none = wl_compositor_create_region(g.compositor);
    wl_surface_set_input_region(surface, none);
    wl_region_destroy(none);
    if (g.viewporter)
        viewport = wp_viewporter_get_viewport(g.viewporter, surface);
    layer = zwlr_layer_shell_v1_get_layer_surface(
        g.layerShell, surface, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "pellmar-curtain");
    zwlr_layer_surface_v1_add_listener(layer, &listener, this);
    // The whole output, panels' reserved zones included.
    zwlr_layer_surface_v1_set_anchor(
        layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                   ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    // No buffer yet: the configure that answers says the size.
    wl_surface_commit(surface);
}

void WaylandCurtain::unmap()
{
    if (viewport)
        wp_viewport_destroy(viewport);
    if (layer)
        zwlr_layer_surface_v1_destroy(layer);
    if (surface)
        wl_surface_destroy(surface);
    viewport = nullptr;
    layer = nullptr;
    surface = nullptr;
    width = height = 0;
}

void WaylandCurtain::onConfigure(void *data, zwlr_layer_surface_v1 *, uint32_t serial, uint32_t w,
                                 uint32_t h)
{
    auto *self = static_cast<WaylandCurtain *>(data);
    zwlr_layer_surface_v1_ack_configure(self->layer, serial);
    const int width = w ? int(w) : self->covered.width();
    const int height = h ? int(h) : self->covered.height();
    // The same size again (sway answers each commit with one): the ack is
    // taken with the next commit, and a commit now would only bring
    // another.
    if (width == self->width && height == self->height) {
        wl_display_flush(self->g.display);
        return;
    }
    self->width = width;
    self->height = height;
    self->paint();
    wl_display_flush(self->g.display);
}

void WaylandCurtain::onClosed(void *data, zwlr_layer_surface_v1 *)
{
    // The output went: shown again, the curtain looks for it anew.
    auto *self = static_cast<WaylandCurtain *>(data);
    self->unmap();
    self->wanted = false;
}

namespace {

// The buffer's side for a curtain side of `n` pixels when the compositor
// scales it: a power-of-two fraction of it (at most 1/16), so that the
// scale is exact in fixed point too. One pixel scaled to 1080 rows left the
// bottom six uncovered on sway's software renderer.
int scaledSide(int n)
{
    int divisor = 1;
    while (divisor < 16 && n % (divisor * 2) == 0)
        divisor *= 2;
    return n / divisor;
}

} // namespace

void WaylandCurtain::paint()
{
    const int w = viewport ? scaledSide(width) : width;
    const int h = viewport ? scaledSide(height) : height;
    if (!buffer || bufferWidth != w || bufferHeight != h) {
        if (buffer)
            wl_buffer_destroy(buffer);
        buffer = makeBuffer(w, h);
        bufferWidth = w;
        bufferHeight = h;
    }
    if (!buffer)
        return;
    if (viewport)
        wp_viewport_set_destination(viewport, width, height);
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, width, height);
    wl_surface_commit(surface);
}

wl_buffer *WaylandCurtain::makeBuffer(int w, int h)
{
    if (w <= 0 || h <= 0)
        return nullptr;
    const int stride = w * 4;
    const size_t size = size_t(stride) * size_t(h);
    const int fd = ::memfd_create("pellmar-curtain", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (::ftruncate(fd, off_t(size)) != 0) {
        ::close(fd);
        return nullptr;
    }
    void *pixels = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    // Black, `darkness` percent opaque; premultiplied, so the colour stays 0.
    const std::uint32_t alpha = std::uint32_t(darkness * 255 + 50) / 100;
    const std::uint32_t pixel = alpha << 24;
    auto *p = static_cast<std::uint32_t *>(pixels);
    for (size_t k = 0; k < size / 4; ++k)
        p[k] = pixel;
    ::munmap(pixels, size);
    wl_shm_pool *pool = wl_shm_create_pool(g.shm, fd, int(size));
    wl_buffer *b = wl_shm_pool_create_buffer(pool, 0, w, h, stride, WL_SHM_FORMAT_ARGB8888);
    // The buffer keeps the memory; the pool and the file are not needed.
    wl_shm_pool_destroy(pool);
    ::close(fd);
    return b;
}
