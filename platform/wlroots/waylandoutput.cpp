#include "waylandoutput.h"

#include "xdg-output-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <utility>

std::uint32_t WaylandOutput::maxVersion()
{
#ifdef WL_OUTPUT_NAME_SINCE_VERSION
    return WL_OUTPUT_NAME_SINCE_VERSION;
#else
    return WL_OUTPUT_RELEASE_SINCE_VERSION;
#endif
}

WaylandOutput::WaylandOutput(wl_output *o, std::uint32_t global, std::uint32_t v,
                             std::function<void()> onChange)
    : output(o), globalName(global), version(v), changed(std::move(onChange))
{
    // Filled in by name: the listener structs grow with libwayland's
    // versions, and only the events of the bound version ever come.
    static const wl_output_listener listener = [] {
        wl_output_listener l{};
        l.geometry = onGeometry;
        l.mode = onMode;
        l.done = onDone;
        l.scale = onScale;
#ifdef WL_OUTPUT_NAME_SINCE_VERSION
        l.name = onName;
        l.description = onDescription;
#endif
        return l;
    }();
    wl_output_add_listener(output, &listener, this);
}

WaylandOutput::~WaylandOutput()
{
    if (xdg)
        zxdg_output_v1_destroy(xdg);
    if (version >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output);
    else
        wl_output_destroy(output);
}

void WaylandOutput::describeWith(zxdg_output_manager_v1 *manager)
{
    if (xdg || !manager)
        return;
    static const zxdg_output_v1_listener listener = [] {
        zxdg_output_v1_listener l{};
        l.logical_position = onLogicalPosition;
        l.logical_size = onLogicalSize;
        l.done = onXdgDone;
        l.name = onXdgName;
        l.description = onXdgDescription;
        return l;
    }();
    xdg = zxdg_output_manager_v1_get_xdg_output(manager, output);
    zxdg_output_v1_add_listener(xdg, &listener, this);
}

void WaylandOutput::onGeometry(void *data, wl_output *, int32_t x, int32_t y, int32_t widthMm,
                               int32_t heightMm, int32_t, const char *, const char *,
                               int32_t transform)
{
    auto *self = static_cast<WaylandOutput *>(data);
    self->pending.position = QPoint(x, y);
    // Virtual outputs and projectors say 0; the screen table weighs the rest.
    self->pending.mm = QSize(std::max(0, widthMm), std::max(0, heightMm));
    self->pending.transform = transform;
}

void WaylandOutput::onMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height,
                           int32_t)
{
    auto *self = static_cast<WaylandOutput *>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT)
        self->pending.mode = QSize(width, height);
    // Before version 2 no done follows: each mode is the whole news.
    if (self->version < WL_OUTPUT_DONE_SINCE_VERSION)
        self->apply();
}

void WaylandOutput::onDone(void *data, wl_output *)
{
    static_cast<WaylandOutput *>(data)->apply();
}

void WaylandOutput::onScale(void *data, wl_output *, int32_t factor)
{
    static_cast<WaylandOutput *>(data)->pending.scale = std::max(1, factor);
}

void WaylandOutput::onName(void *data, wl_output *, const char *name)
{
    auto *self = static_cast<WaylandOutput *>(data);
    if (self->pending.name.isEmpty())
        self->pending.name = QString::fromUtf8(name);
}

void WaylandOutput::onLogicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
{
    static_cast<WaylandOutput *>(data)->pending.logicalPosition = QPoint(x, y);
}

void WaylandOutput::onLogicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
{
    static_cast<WaylandOutput *>(data)->pending.logicalSize = QSize(width, height);
}

void WaylandOutput::onXdgDone(void *data, zxdg_output_v1 *)
{
    static_cast<WaylandOutput *>(data)->apply();
}

void WaylandOutput::onXdgName(void *data, zxdg_output_v1 *, const char *name)
{
    // xdg-output's name and wl_output's are the same where both come.
    static_cast<WaylandOutput *>(data)->pending.name = QString::fromUtf8(name);
}

void WaylandOutput::apply()
{
    QRect geometry;
    if (xdg) {
        // The first done may come before xdg-output has said anything.
        if (pending.logicalSize.isEmpty())
            return;
        geometry = QRect(pending.logicalPosition, pending.logicalSize);
    } else {
        if (pending.mode.isEmpty())
            return;
        QSize size = pending.mode / pending.scale;
        if (pending.transform % 2 == 1) // turned a quarter
            size.transpose();
        geometry = QRect(pending.position, size);
    }
    if (described && geometry == current && pending.name == currentName && pending.mm == currentMm)
        return;
    described = true;
    current = geometry;
    currentName = pending.name;
    currentMm = pending.mm;
    if (changed)
        changed();
}
