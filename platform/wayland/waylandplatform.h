#pragma once

#include "platform.h"

#include <cstdint>
#include <memory>
#include <vector>

class QSocketNotifier;
class WaylandOutput;
class WaylandPointerWatch;
struct wl_display;
struct wl_registry;
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
    bool cursorControlAvailable() override;
    QString cursorControlNotice() override;
    PlatformAbilities abilities() override;
    PointerWatch *pointerWatch() override;
    bool compositorRunning() override { return true; }
    // Curtains on Wayland come with a layer surface of their own, later.
    void markAsOverlay(WId) override {}

private:
    static void onGlobal(void *data, wl_registry *, uint32_t name, const char *interface,
                         uint32_t version);
    static void onGlobalRemove(void *data, wl_registry *, uint32_t name);
    // Reads and dispatches what the compositor sent.
    void dispatch();

    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    zxdg_output_manager_v1 *xdgOutputs = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs;
    QSocketNotifier *notifier = nullptr;
    bool layerShell = false;
    bool virtualPointer = false;
    std::unique_ptr<WaylandPointerWatch> watch;
    bool watchTried = false;
};
