#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QtGui/qwindowdefs.h>
#include <vector>

#include "pointerwatch.h"

// One monitor as the window system reports it: its output name, which
// stays the same while the monitor is plugged in, moved or resized, and its
// geometry in desktop pixels.
struct PlatformScreen
{
    QString name;
    QRect geometry;
};

// Everything Pellmar needs from the window system, and nothing more: the
// cursor, the screens and their changes, pointer device motion, and whether
// a program may move the cursor at all. Called on the GUI thread only.
class Platform : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~Platform() override;

    virtual QPoint cursorPos() = 0;
    // The cursor with the modifier keys and buttons held, where the window
    // system tells them (else none).
    virtual PointerReading pointerReading() = 0;
    // Moves the cursor: the polling engine's moves, made on the GUI thread.
    virtual void setCursorPos(int x, int y) = 0;

    // The screens in the window system's order.
    virtual std::vector<PlatformScreen> screens() = 0;

    // False where no program may move the pointer (a Wayland session).
    virtual bool cursorControlAvailable() = 0;

    // Whether a compositor runs, so that windows can be partly transparent.
    virtual bool compositorRunning() = 0;

    // Marks a top-level window, created but not yet shown, as an overlay of
    // the desktop: no entry in task lists or pagers.
    virtual void markAsOverlay(WId window) = 0;

    // The engine thread's own watch on pointer device motion and the
    // pointer, owned by the platform; null where the window system does not
    // report device motion, and the engine then polls through the GUI
    // thread. A pointer warped by a program makes no device motion.
    virtual PointerWatch *pointerWatch() = 0;

signals:
    // A screen was added, removed, moved or resized, or the primary screen
    // changed. Comes in bursts while a dock brings its outputs up.
    void screensChanged();
};
