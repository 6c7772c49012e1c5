#pragma once

#include <QObject>
#include <QString>
#include <memory>

// What the compositor itself says of the desktop: which output holds the
// focus, and whether the focused window fills its output. A Wayland client
// cannot read the pointer, but where the focus follows the mouse (sway's
// default) the focused output is the one the pointer is on. Read on its own
// IPC socket; GUI thread only. Signals come on real changes only.
class CompositorEvents : public QObject
{
    Q_OBJECT

public:
    virtual QString focusedOutput() const = 0; // empty: not known yet
    virtual bool fullscreen() const = 0;       // the focused window fills its output
    virtual QString name() const = 0;          // "sway", for logs and notices
    // Where the compositor tells the pointer's position (KWin's script):
    // while following, pointerSeen() brings it, as often as the readout is
    // refreshed. Elsewhere, nothing.
    virtual void followPointer(bool on) { Q_UNUSED(on); }

signals:
    void focusedOutputChanged(const QString &output);
    void fullscreenChanged(bool on);
    void pointerSeen(int x, int y);
    // The socket closed or garbled (the compositor ended or restarted): no
    // more changes come. The object may be deleted from a slot of this.
    void lost();

protected:
    explicit CompositorEvents(QObject *parent = nullptr) : QObject(parent) {}
};
