#pragma once

#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>

struct wl_output;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

// One output as a Wayland connection sees it: its name (HEADLESS-1, DP-1),
// which stays while it is plugged in, and where it lies on the desktop in
// logical pixels, its scale applied, as xdg-output tells. Each connection
// keeps its own, on the thread that dispatches it.
class WaylandOutput
{
public:
    // Takes `output`, bound from the registry's global `global` at
    // `version`. `changed` runs whenever a complete description arrives
    // that differs from the last one.
    WaylandOutput(wl_output *output, std::uint32_t global, std::uint32_t version,
                  std::function<void()> changed);
    ~WaylandOutput();
    WaylandOutput(const WaylandOutput &) = delete;
    WaylandOutput &operator=(const WaylandOutput &) = delete;

    // The highest wl_output version whose events this class takes.
    static std::uint32_t maxVersion();

    // Asks for the logical geometry and the name; without it the geometry
    // is worked out from the mode and the scale, and the name comes only
    // from newer compositors.
    void describeWith(zxdg_output_manager_v1 *manager);

    wl_output *handle() const { return output; }
    std::uint32_t global() const { return globalName; }
    // Whether a complete description has arrived.
    bool known() const { return described; }
    const QString &name() const { return currentName; }
    const QRect &geometry() const { return current; }
    // The size wl_output.geometry gives, in millimetres, as the monitor is
    // built (not turned); 0x0 where the compositor does not know it.
    QSize physicalMm() const { return currentMm; }

private:
    struct Pending
    {
        QString name;
        QPoint position; // wl_output.geometry's
        QSize mm = QSize(0, 0);
        QSize mode; // the current mode, in device pixels
        int scale = 1;
        int transform = 0;
        QPoint logicalPosition; // xdg-output's
        QSize logicalSize;
    };

    static void onGeometry(void *data, wl_output *, int32_t x, int32_t y, int32_t widthMm,
                           int32_t heightMm, int32_t, const char *, const char *,
                           int32_t transform);
    static void onMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height,
                       int32_t);
    static void onDone(void *data, wl_output *);
    static void onScale(void *data, wl_output *, int32_t factor);
    static void onName(void *data, wl_output *, const char *name);
    static void onDescription(void *, wl_output *, const char *) {}
    static void onLogicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y);
    static void onLogicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height);
    static void onXdgDone(void *data, zxdg_output_v1 *);
    static void onXdgName(void *data, zxdg_output_v1 *, const char *name);
    static void onXdgDescription(void *, zxdg_output_v1 *, const char *) {}
    // The description is complete: takes it and tells if it changed.
    void apply();

    wl_output *output;
    zxdg_output_v1 *xdg = nullptr;
    std::uint32_t globalName;
    std::uint32_t version;
    std::function<void()> changed;
    Pending pending;
    bool described = false;
    QString currentName;
    QRect current;
    QSize currentMm = QSize(0, 0);
};
