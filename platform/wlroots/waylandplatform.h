#pragma once

#include "platform.h"

#include <cstdint>
#include <memory>
#include <vector>

class CompositorLink;
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

private:
    // Whether the pointer can be moved and the edges watched.
    bool cursorControlAvailable() const;
    // Why not, in the user's words; empty where it can.
    QString cursorControlNotice() const;
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
    bool virtualPointer = false;
    std::unique_ptr<CompositorLink> events;
    std::unique_ptr<WaylandPointerWatch> watch;
    bool watchTried = false;
};
