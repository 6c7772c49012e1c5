#pragma once

// The pointer as the engine thread itself watches it, where the window
// system allows a second thread its own view: it sleeps until a pointer
// device moves, and reads the pointer's position. This spares the GUI thread
// a wake-up per motion event. Implemented by the platform; every call but
// wake() comes from the engine thread.
class PointerWatch
{
public:
    virtual ~PointerWatch();

    // Sleeps until a pointer device moves (only if `motionWakes`), wake()
    // is called or timeoutMs has passed; returns whether a device moved
    // since the last call.
    virtual bool waitForMotion(int timeoutMs, bool motionWakes) = 0;

    // Reads the pointer's position; false if it cannot be read.
    virtual bool readPointer(int &x, int &y) = 0;

    // Any thread: ends the current wait, or the next one if none runs.
    virtual void wake() = 0;
};
