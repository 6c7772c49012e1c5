#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <vector>

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
    virtual void setCursorPos(int x, int y) = 0;

    // The screens in the window system's order.
    virtual std::vector<PlatformScreen> screens() = 0;

    // False where no program may move the pointer (a Wayland session).
    virtual bool cursorControlAvailable() = 0;

    // Calls `listener` on every motion of a pointer device, also while the
    // pointer is pinned against the edge of the desktop. A pointer warped by
    // a program makes no device motion. Returns false where the window
    // system does not report device motion; the listener is then never
    // called. The listener runs for each motion event: it must be cheap.
    virtual bool watchDeviceMotion(std::function<void()> listener) = 0;

signals:
    // A screen was added, removed, moved or resized, or the primary screen
    // changed. Comes in bursts while a dock brings its outputs up.
    void screensChanged();
};
