#pragma once

struct Snapshot;

// The modifier keys the engine tells apart, as bits.
enum ModifierKey : unsigned
{
    ShiftKey = 1,
    ControlKey = 2,
    AltKey = 4,
    MetaKey = 8
};

// The pointer as read at one moment: where it is, and what is held.
struct PointerReading
{
    int x = 0;
    int y = 0;
    unsigned keys = 0;       // ModifierKey bits
    bool buttonHeld = false; // any mouse button
    // Where the pointer is seen only on surfaces of one's own (Wayland): it
    // has left them, and is no longer seen at all; x and y are where it was
    // last.
    bool lost = false;
    // Where the desktop reports the position now and then for the readout
    // (GNOME): a look in passing, which may arrive after a move the engine
    // has made since, so no rule acts on it; only contacts move the
    // pointer.
    bool inPassing = false;
};

// The pointer as the engine thread itself sees it, on a view of the window
// system of its own: it reads the pointer's position and moves it, and
// where the window system reports device motion it sleeps until a pointer
// device moves. This spares the GUI thread a wake-up per motion event, and
// a jump the hop through it. Implemented by the platform; every call but
// wake() comes from the engine thread.
class PointerWatch
{
public:
    virtual ~PointerWatch();

    // Whether device motion is reported: if not, waitForMotion only sleeps
    // and the engine polls the pointer instead. Fixed for the watch's life.
    virtual bool reportsMotion() const = 0;

    // Where the window system lets a program see the pointer only where it
    // touches a surface of its own (Wayland): the watch senses it on strips
    // along the edges where a rule can act, each contact (and each push
    // while the pointer rests on a strip) is one reading, and there is
    // nothing to read in between. Fixed for the watch's life.
    virtual bool contactsOnly() const { return false; }

    // Engine thread, with each new snapshot: where the rules can act now. A
    // watch that senses contacts lays its strips out anew.
    virtual void follow(const Snapshot &snapshot);

    // Sleeps until a pointer device moves (only if `motionWakes`), wake()
    // is called or timeoutMs has passed (-1: no timeout); returns whether a
    // device moved since the last call.
    virtual bool waitForMotion(int timeoutMs, bool motionWakes) = 0;

    // Reads the pointer; false if it cannot be read.
    virtual bool readPointer(PointerReading &reading) = 0;

    // How far the pointer device has moved since the last call, in its own
    // units, whether or not the pointer could follow (against the edge of
    // the desktop it cannot).
    virtual void takeDeviceMotion(double &dx, double &dy) = 0;

    // Moves the pointer, as the engine's own move; every later read sees
    // it.
    virtual void movePointer(int x, int y) = 0;

    // Any thread: ends the current wait, or the next one if none runs.
    virtual void wake() = 0;
};
