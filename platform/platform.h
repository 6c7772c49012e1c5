#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGui/qwindowdefs.h>
#include <memory>
#include <optional>
#include <vector>

#include "curtain.h"
#include "desktopfeatures.h"
#include "pointerwatch.h"

// One monitor as the window system reports it: its output name, which
// stays the same while the monitor is plugged in, moved or resized, and its
// geometry in desktop pixels.
struct PlatformScreen
{
    QString name;
    QRect geometry;
    // The monitor's size in millimetres as the window system reports it,
    // 0x0 where it does not.
    QSize physicalMm = QSize(0, 0);
};

// Everything Pellmar needs from the window system, and nothing more: the
// screens and their changes, the engine's own view of the pointer, and
// whether a program may move the cursor at all. Called on the GUI thread
// only. Made by makePlatform().
class Platform : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~Platform() override;

    // The screens in the window system's order.
    virtual std::vector<PlatformScreen> screens() = 0;

    // A monitor's size in millimetres where the window system reports none:
    // from its EDID, by output name; 0x0 where that gives none.
    virtual QSize monitorSizeMm(const QString &output);

    // What this desktop allows Pellmar, as things stand now (a desktop
    // helper may come or go: featuresChanged()).
    virtual DesktopFeatures features() = 0;
    // Where the only tray there can be is a StatusNotifierItem host on the
    // session bus (a bar's tray), which may come after Pellmar.
    virtual bool trayOnlyOnBus() { return false; }

    // Whether a compositor runs, so that windows can be partly transparent.
    virtual bool compositorRunning() = 0;

    // A curtain of the desktop's own over `screen`, `darkness` percent
    // black; null where it can make none (and Screen Focus says why).
    virtual std::unique_ptr<Curtain> makeCurtain(const PlatformScreen &screen, int darkness) = 0;

    // Where the pointer is read, the engine tells which screen holds it.
    // Where it is not (Wayland), the desktop itself may tell: then this is
    // true, pointerScreen() is the output it named last (empty until it
    // has) and pointerScreenChanged() brings each change.
    virtual bool tellsPointerScreen() { return false; }
    virtual QString pointerScreen() { return QString(); }
    // Where the pointer is now, read on the GUI thread; none where the
    // window system does not say.
    virtual std::optional<QPoint> pointerPosition() { return std::nullopt; }

    // Holds the pointer inside `screen` (desktop pixels) until
    // unlockPointer(): the window system itself stops any motion out of it.
    // Called again, the hold moves to the new rectangle with no gap. False
    // where it cannot (see the features' Lock).
    virtual bool lockPointer(const QRect &screen);
    virtual void unlockPointer() {}
    // Whether the focused window fills its screen, where the desktop tells
    // it (fullscreenChanged() brings each change); false elsewhere.
    virtual bool focusedFullscreen() { return false; }
    // Whether the readout can be seen: where the pointer's position must be
    // asked for, it is asked for only then.
    virtual void followReadout(bool shown) { Q_UNUSED(shown); }

    // The engine thread's own view of the pointer, owned by the platform:
    // it reads and moves the pointer, and where it reports device motion
    // the engine sleeps until the device moves, else it polls. Null where
    // the window system lets no program read the pointer.
    virtual PointerWatch *pointerWatch() = 0;

signals:
    // A screen was added, removed, moved or resized, or the primary screen
    // changed. Comes in bursts while a dock brings its outputs up.
    void screensChanged();
    // The output that holds the pointer, where tellsPointerScreen().
    void pointerScreenChanged(const QString &output);
    void fullscreenChanged(bool on);
    // What the desktop allows changed: a desktop helper was switched on or
    // off while Pellmar runs.
    void featuresChanged();
};
