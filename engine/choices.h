#pragma once

#include <QHash>
#include <QPair>
#include <QSize>
#include <QString>

// A monitor's own wrap switches: its top row to its bottom row and back.
struct MonitorWraps
{
    bool top = false;
    bool bottom = false;
    bool operator==(const MonitorWraps &o) const { return top == o.top && bottom == o.bottom; }
    bool operator!=(const MonitorWraps &o) const { return !(*this == o); }
};

// Every choice the user makes that Pellmar keeps between runs, as one plain
// value: the settings store reads and writes it, the application hands it
// on, and the engine gets a read-only copy. The defaults live in the
// settings store's table of keys; a value-initialised Choices is all off.
struct Choices
{
    // The notice that Pellmar still runs in the tray, shown the first time
    // the window is closed.
    bool showCloseNotice = false;
    // The desktop's outermost left and right columns wrap to each other.
    bool allowLeftWrap = false;
    bool allowRightWrap = false;
    bool easyMove = false;
    // The velocity thresholds, in pixels per 150 ms.
    bool minVelocityOn = false;
    int minVelocity = 0;
    bool maxVelocityOn = false;
    int maxVelocity = 0;
    bool screenFocus = false;
    // Percent black; a first run starts half dark.
    static constexpr int defaultDarkness = 50;
    int screenFocusDarkness = defaultDarkness;
    // Nothing moves the pointer and no curtain is up.
    bool paused = false;
    // Control at the edge: while the bypass key (a ModifierKey bit, 0 for
    // none) is held, or a button unless wrapWhileButtonHeld, no jump
    // happens; with pushThrough above 0 a gated jump waits until the device
    // has pushed that far beyond the edge.
    unsigned bypassModifier = 0;
    bool wrapWhileButtonHeld = false;
    int pushThrough = 0;
    // Safe corners: within this many pixels of a monitor's corner, measured
    // along the edge, that edge neither wraps nor carries (0: none).
    int cornerGuard = 0;
    // No jump while the focused window is full screen: a game's mouse-look
    // or a presentation is not thrown across the desktop.
    bool pauseInFullscreen = false;
    // Each monitor's top and bottom wraps by output name, monitors
    // unplugged for now included, so that they come back with it.
    QHash<QString, MonitorWraps> monitorWraps;
    // Cross by physical size: a pointer that crosses to a neighbouring
    // monitor keeps its height on the desk (its place left to right across
    // a stacked pair) in millimetres, not its pixel row.
    bool crossByPhysicalSize = false;
    // Monitor sizes in millimetres the user gave, by output name; they win
    // over what the window system or the monitor reports. A size is used
    // only with both sides above 0.
    QHash<QString, QSize> monitorSizesMm;
    // How far a pair's second monitor's middle stands from the first's, in
    // millimetres: higher for monitors side by side, further left for a
    // stacked pair; 0 (level middles) for a pair not named. Keyed by the two
    // output names in order (offsetMm and setOffsetMm keep that).
    QHash<QPair<QString, QString>, int> monitorOffsetsMm;

    int offsetMm(const QString &first, const QString &second) const;
    void setOffsetMm(const QString &first, const QString &second, int mm);

    // Equal as choices: a monitor missing from one and one with both wraps
    // off in the other are the same.
    bool operator==(const Choices &o) const;
    bool operator!=(const Choices &o) const { return !(*this == o); }
};
