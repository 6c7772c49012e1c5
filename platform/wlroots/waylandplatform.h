#pragma once

#include "platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CompositorEvents;
class CompositorLink;
class PointerMover;
class QSocketNotifier;
class WaylandOutput;
class WaylandPointerWatch;
struct wl_compositor;
struct wl_display;
struct wl_registry;
struct wl_shm;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;

// The window system as a wlroots compositor (sway first) has it: the
// screens are its outputs, read on a connection of the platform's own on
// the GUI thread; the pointer is seen on sensor strips at the edges
// (layer-shell) and moved by a virtual pointer (WaylandPointerWatch, on the
// engine thread's own connection). Where the compositor offers neither,
// Pellmar shows the screens and says why it cannot act.
class WaylandPlatform : public Platform
{
    Q_OBJECT

public:
    // A wlroots compositor: the virtual pointer moves the pointer, and the
    // compositor's own IPC (sway's) tells the focus.
    explicit WaylandPlatform(QObject *parent = nullptr);
    ~WaylandPlatform() override;

    std::vector<PlatformScreen> screens() override;
    DesktopFeatures features() override;
    // What a wlroots compositor allows: `notice` says why the pointer
    // cannot be moved (empty where it can); `surfaces`, whether Pellmar may
    // put layer surfaces up; `tellsFocus`, whether the compositor tells
    // which output holds the pointer (sway's IPC); `motion`, whether device
    // motion is heard.
    static DesktopFeatures featuresFor(const QString &notice, bool surfaces, bool tellsFocus,
                                       bool motion);
    // No XEmbed tray without X: only a bar's StatusNotifierItem host.
    bool trayOnlyOnBus() override { return true; }
    PointerWatch *pointerWatch() override;
    bool compositorRunning() override { return true; }
    // Curtains are layer surfaces of our own, never windows.
    std::unique_ptr<Curtain> makeCurtain(const PlatformScreen &screen, int darkness) override;
    // Told by the compositor's own events (sway's IPC), where it has them.
    bool tellsPointerScreen() override;
    QString pointerScreen() override;
    bool focusedFullscreen() override;
    // Where the compositor tells positions (KWin's script), while the
    // readout is shown.
    std::optional<QPoint> pointerPosition() override;
    void followReadout(bool shown) override;

protected:
    // What sets another Wayland desktop that offers the layer shell apart.
    struct Grants
    {
        // The global that lets a program move the pointer, and what moves
        // it with that.
        const char *moverInterface = nullptr;
        std::function<std::unique_ptr<PointerMover>()> makeMover;
        // Where that global is not offered, what the desktop does not do
        // ("this desktop ..."), and what the user can do about it, in the
        // user's words.
        QString noMover;
        QString advice;
        // The compositor's own events (the output that holds the pointer,
        // full screen); null where it has none.
        std::function<std::unique_ptr<CompositorEvents>()> openEvents;
    };
    WaylandPlatform(Grants grants, QObject *parent);

    // What no Wayland client is told or allowed, wherever it runs: added to
    // every such desktop's features. `motion`: whether device motion is heard.
    static void clientLimits(DesktopFeatures &f, bool motion);
    // Why the pointer cannot be moved or the edges watched, in the user's
    // words; empty where it can.
    QString cursorControlNotice() const;
    bool surfaces() const { return layerShell && compositor && shm; }
    // Whether the compositor's events are connected.
    bool eventsConnected() const;
    // Whether the pointer can be moved and the edges watched.
    bool cursorControlAvailable() const;

private:
    static void onGlobal(void *data, wl_registry *, uint32_t name, const char *interface,
                         uint32_t version);
    static void onGlobalRemove(void *data, wl_registry *, uint32_t name);
    // Reads and dispatches what the compositor sent.
    void dispatch();

    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    zxdg_output_manager_v1 *xdgOutputs = nullptr;
    // For the curtains, drawn on this connection.
    wl_compositor *compositor = nullptr;
    wl_shm *shm = nullptr;
    zwlr_layer_shell_v1 *layerShell = nullptr;
    wp_viewporter *viewporter = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs;
    QSocketNotifier *notifier = nullptr;
    const Grants grants;
    bool moverOffered = false;
    std::unique_ptr<CompositorLink> events;
    std::unique_ptr<WaylandPointerWatch> watch;
    bool watchTried = false;
    std::optional<QPoint> seen; // the compositor's last word on the pointer
};
