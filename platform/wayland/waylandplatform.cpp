#include "waylandplatform.h"

#include "waylandoutput.h"
#include "waylandpointerwatch.h"

#include "waylandlayershell.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <algorithm>
#include <cstring>

WaylandPlatform::WaylandPlatform(QObject *parent) : Platform(parent)
{
    display = wl_display_connect(nullptr);
    if (!display) {
        qWarning("Pellmar: cannot reach the Wayland compositor");
        return;
    }
    static const wl_registry_listener listener = {onGlobal, onGlobalRemove};
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, this);
    // The globals, then the outputs' descriptions.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    notifier = new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &WaylandPlatform::dispatch);
}

// Out of line, where the members' types are complete.
WaylandPlatform::~WaylandPlatform()
{
    watch.reset();
    if (!display)
        return;
    outputs.clear();
    if (xdgOutputs)
        zxdg_output_manager_v1_destroy(xdgOutputs);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
}

void WaylandPlatform::onGlobal(void *data, wl_registry *registry, uint32_t name,
                               const char *interface, uint32_t version)
{
    auto *self = static_cast<WaylandPlatform *>(data);
    if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        self->layerShell = true;
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        self->virtualPointer = true;
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 &&
               !self->xdgOutputs) {
        self->xdgOutputs = static_cast<zxdg_output_manager_v1 *>(wl_registry_bind(
            registry, name, &zxdg_output_manager_v1_interface, std::min<uint32_t>(version, 3)));
        for (auto &o : self->outputs)
            o->describeWith(self->xdgOutputs);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        const uint32_t v = std::min(version, WaylandOutput::maxVersion());
        auto *output =
            static_cast<wl_output *>(wl_registry_bind(registry, name, &wl_output_interface, v));
        self->outputs.push_back(std::make_unique<WaylandOutput>(
            output, name, v, [self] { emit self->screensChanged(); }));
        self->outputs.back()->describeWith(self->xdgOutputs);
    }
}

void WaylandPlatform::onGlobalRemove(void *data, wl_registry *, uint32_t name)
{
    auto *self = static_cast<WaylandPlatform *>(data);
    const auto gone = std::find_if(self->outputs.begin(), self->outputs.end(),
                                   [name](const auto &o) { return o->global() == name; });
    if (gone == self->outputs.end())
        return;
    self->outputs.erase(gone);
    emit self->screensChanged();
}

void WaylandPlatform::dispatch()
{
    // The socket is readable: read it (unless events already read wait),
    // then hand every event out, and send what their handlers asked.
    if (wl_display_prepare_read(display) == 0 && wl_display_read_events(display) != 0) {
        notifier->setEnabled(false); // the compositor is gone; Qt ends the program
        return;
    }
    wl_display_dispatch_pending(display);
    wl_display_flush(display);
}

std::vector<PlatformScreen> WaylandPlatform::screens()
{
    std::vector<PlatformScreen> out;
    if (!display) {
        // No connection of our own: what Qt knows, for the map at least.
        for (const QScreen *screen : QGuiApplication::screens())
            out.push_back(PlatformScreen{screen->name(), screen->geometry()});
        return out;
    }
    for (const auto &o : outputs) {
        if (o->known())
            out.push_back(PlatformScreen{o->name(), o->geometry()});
    }
    return out;
}

bool WaylandPlatform::cursorControlAvailable()
{
    return layerShell && virtualPointer;
}

QString WaylandPlatform::cursorControlNotice()
{
    if (cursorControlAvailable())
        return QString();
    QStringList missing;
    if (!virtualPointer)
        missing << "does not let programs move the pointer (no virtual pointer protocol)";
    if (!layerShell)
        missing << "does not let programs watch the screen edges (no layer-shell protocol)";
    if (!display)
        missing = QStringList{"could not be reached (no Wayland connection)"};
    return "Pellmar cannot wrap or carry the mouse cursor here: this desktop " +
           missing.join(" and ") +
           ". Edge wrap and Easy Move will not work (sway and the other desktops built on "
           "wlroots offer what they need).";
}

PlatformAbilities WaylandPlatform::abilities()
{
    // Without keyboard focus no client learns which modifiers are held, and
    // seen only at the edges the pointer has no speed of arrival.
    PlatformAbilities a;
    a.modifierKeys = false;
    a.arrivalSpeed = false;
    // The compositor keeps the pointer with the surface a drag began on: no
    // strip hears of it until the button is let go.
    a.pointerWhileDragging = false;
    return a;
}

PointerWatch *WaylandPlatform::pointerWatch()
{
    if (watchTried)
        return watch.get();
    watchTried = true;
    if (cursorControlAvailable())
        watch = WaylandPointerWatch::open();
    return watch.get();
}
