#include "waylandplatform.h"

#include "compositorevents.h"
#include "compositorlink.h"
#include "virtualpointermover.h"
#include "waylandcurtain.h"
#include "waylandoutput.h"
#include "waylandpointerwatch.h"

#include "viewporter-client-protocol.h"
#include "waylandlayershell.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <algorithm>
#include <cstring>

WaylandPlatform::WaylandPlatform(QObject *parent)
    : WaylandPlatform(Grants{"zwlr_virtual_pointer_manager_v1",
                             [] { return std::make_unique<VirtualPointerMover>(); },
                             "does not let programs move the pointer (no virtual pointer "
                             "protocol)",
                             "Edge wrap and Easy Move will not work (sway and the other desktops "
                             "built on wlroots offer what they need).",
                             [] { return CompositorLink::openEvents(); }},
                      parent)
{
}

WaylandPlatform::WaylandPlatform(Grants given, QObject *parent)
    : Platform(parent), grants(std::move(given))
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

    // Which output holds the pointer and whether a window is full screen
    // come from the compositor's own events, where it has them.
    // Where it had them once, it has them again after a reload.
    events = std::make_unique<CompositorLink>(grants.openEvents);
    if (!events->connected()) {
        events.reset();
        return;
    }
    connect(events.get(), &CompositorLink::focusedOutputChanged, this,
            &Platform::pointerScreenChanged);
    connect(events.get(), &CompositorLink::fullscreenChanged, this, &Platform::fullscreenChanged);
    connect(events.get(), &CompositorLink::pointerSeen, this, [this](int x, int y) {
        seen = QPoint(x, y);
        if (watch)
            watch->seen(x, y);
    });
    connect(events.get(), &CompositorLink::connectedChanged, this, [this](bool on) {
        emit featuresChanged();
        if (on) {
            emit pointerScreenChanged(events->focusedOutput());
            emit fullscreenChanged(events->fullscreen());
        }
    });
}

// Out of line, where the members' types are complete.
WaylandPlatform::~WaylandPlatform()
{
    watch.reset();
    events.reset();
    if (!display)
        return;
    outputs.clear();
    if (xdgOutputs)
        zxdg_output_manager_v1_destroy(xdgOutputs);
    if (viewporter)
        wp_viewporter_destroy(viewporter);
    if (layerShell)
        zwlr_layer_shell_v1_destroy(layerShell);
    if (shm)
        wl_shm_destroy(shm);
    if (compositor)
        wl_compositor_destroy(compositor);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
}

void WaylandPlatform::onGlobal(void *data, wl_registry *registry, uint32_t name,
                               const char *interface, uint32_t version)
{
    auto *self = static_cast<WaylandPlatform *>(data);
    const auto bind = [&](const wl_interface &i, uint32_t most) {
        return wl_registry_bind(registry, name, &i, std::min(version, most));
    };
    if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && !self->layerShell) {
        self->layerShell =
            static_cast<zwlr_layer_shell_v1 *>(bind(zwlr_layer_shell_v1_interface, 1));
    } else if (std::strcmp(interface, wl_compositor_interface.name) == 0 && !self->compositor) {
        self->compositor = static_cast<wl_compositor *>(bind(wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !self->shm) {
        self->shm = static_cast<wl_shm *>(bind(wl_shm_interface, 1));
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0 && !self->viewporter) {
        self->viewporter = static_cast<wp_viewporter *>(bind(wp_viewporter_interface, 1));
    } else if (std::strcmp(interface, self->grants.moverInterface) == 0) {
        self->moverOffered = true;
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
            out.push_back(PlatformScreen{screen->name(), screen->geometry(),
                                         screen->physicalSize().toSize()});
        return out;
    }
    for (const auto &o : outputs) {
        if (o->known())
            out.push_back(PlatformScreen{o->name(), o->geometry(), o->physicalMm()});
    }
    return out;
}

bool WaylandPlatform::cursorControlAvailable() const
{
    return layerShell && moverOffered;
}

std::unique_ptr<Curtain> WaylandPlatform::makeCurtain(const PlatformScreen &screen, int darkness)
{
    // Never a window: without the layer shell the curtain does nothing (and
    // Screen Focus says why it cannot work).
    WaylandCurtain::Globals globals;
    globals.display = display;
    globals.compositor = compositor;
    globals.shm = shm;
    globals.layerShell = layerShell;
    globals.viewporter = viewporter;
    // By name when it goes up: the output may have gone (or come back)
    // since.
    const QString name = screen.name;
    auto output = [this, name]() -> wl_output * {
        for (const auto &o : outputs) {
            if (o->known() && o->name() == name)
                return o->handle();
        }
        return nullptr;
    };
    return std::make_unique<WaylandCurtain>(globals, output, screen.geometry, darkness);
}

QString WaylandPlatform::cursorControlNotice() const
{
    if (cursorControlAvailable())
        return QString();
    QStringList missing;
    if (!moverOffered)
        missing << grants.noMover;
    if (!layerShell)
        missing << "does not let programs watch the screen edges (no layer-shell protocol)";
    if (!display)
        missing = QStringList{"could not be reached (no Wayland connection)"};
    return "Pellmar cannot wrap or carry the mouse cursor here: this desktop " +
           missing.join(" and ") + ". " + grants.advice;
}

bool WaylandPlatform::eventsConnected() const
{
    return events && events->connected();
}

bool WaylandPlatform::tellsPointerScreen()
{
    return eventsConnected();
}

QString WaylandPlatform::pointerScreen()
{
    return events ? events->focusedOutput() : QString();
}

std::optional<QPoint> WaylandPlatform::pointerPosition()
{
    return seen;
}

void WaylandPlatform::followReadout(bool shown)
{
    if (!shown)
        seen.reset();
    if (events)
        events->followPointer(shown);
}

bool WaylandPlatform::focusedFullscreen()
{
    return events && events->fullscreen();
}

DesktopFeatures WaylandPlatform::features()
{
    PointerWatch *pointer = pointerWatch();
    return featuresFor(cursorControlNotice(), surfaces(), eventsConnected(),
                       !pointer || pointer->reportsMotion());
}

DesktopFeatures WaylandPlatform::featuresFor(const QString &notice, bool surfaces, bool tellsFocus,
                                             bool motion)
{
    DesktopFeatures f;
    if (!surfaces)
        f.deny(Feature::ScreenFocus, "Screen Focus cannot work here: this desktop does not let "
                                     "programs darken its screens (no layer-shell protocol).");
    if (!notice.isEmpty()) {
        for (const Feature feature : DesktopFeatures::all()) {
            if (feature != Feature::Tray && feature != Feature::StartAtLogin &&
                feature != Feature::ScreenFocus)
                f.deny(feature, notice);
        }
    }
    if (!tellsFocus) {
        f.deny(Feature::ScreenFocus,
               "Screen Focus cannot work here: this desktop does not tell programs which screen "
               "holds the pointer (sway tells it on its IPC socket).");
        f.deny(Feature::QuietInFullscreen,
               "This desktop does not tell programs whether the focused window is full screen "
               "(sway tells it on its IPC socket).");
        // A step counts from the pointer's monitor, which nothing tells here.
        f.allowIf(Feature::Jump, "by name; next goes to the first monitor and previous to the "
                                 "last, as this desktop does not tell which holds the pointer");
    }
    clientLimits(f, motion);
    f.allowIf(Feature::ReadoutPosition, "while the pointer is on an edge strip");
    f.allowIf(Feature::Tray, "with a StatusNotifierItem host, such as a bar's tray");
    return f;
}

void WaylandPlatform::clientLimits(DesktopFeatures &f, bool motion)
{
    // Without keyboard focus no client learns which modifiers are held, and
    // seen only at the edges the pointer has no speed of arrival.
    f.deny(Feature::BypassKey, "This desktop does not tell Pellmar which keys are held: no key "
                               "lets the cursor cross.");
    f.deny({Feature::VelocityThresholds, Feature::ReadoutSpeed},
           "This desktop hides the pointer's speed: no thresholds.");
    // The compositor keeps the pointer with the surface a drag began on: no
    // strip hears of it until the button is let go.
    f.deny(Feature::WrapWhileButtonHeld, "This desktop keeps the pointer with the window a drag "
                                         "began on: no wrap while a button is held.");
    f.deny(Feature::Lock, "This desktop does not let programs hold the pointer on one monitor.");
    if (!motion) {
        f.deny(Feature::PushThrough, "Push through needs the pointer device's own motion, which "
                                     "this desktop does not report: arrival decides.");
        // At a seam only the device's motion tells a crossing from an arrival.
        f.deny(Feature::CrossByPhysicalSize,
               "Crossing by size needs the pointer device's own motion, which this desktop does "
               "not report.");
    }
}

PointerWatch *WaylandPlatform::pointerWatch()
{
    if (watchTried)
        return watch.get();
    watchTried = true;
    if (cursorControlAvailable())
        watch = WaylandPointerWatch::open(grants.makeMover());
    return watch.get();
}
