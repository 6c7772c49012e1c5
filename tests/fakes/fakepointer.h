#pragma once

#include "pointerwatch.h"

#include <QPoint>
#include <condition_variable>
#include <mutex>
#include <vector>

// A pointer device in memory, for tests: the test moves it as a device or
// as another program would, the engine thread watches and reads it, the GUI
// thread sets it. Every call is safe from any thread.
class FakePointer : public PointerWatch
{
public:
    bool reportsMotion() const override { return motionReported; }
    bool contactsOnly() const override { return onlyContacts; }
    bool waitForMotion(int timeoutMs, bool motionWakes) override;
    bool readPointer(PointerReading &reading) override;
    void takeDeviceMotion(double &dx, double &dy) override;
    void wake() override;
    void movePointer(int x, int y) override;

    // Whether device motion is reported (the engine watches) or not (it
    // polls); set before the engine starts.
    void setReportsMotion(bool on) { motionReported = on; }
    // Whether it is seen only where it touches surfaces of one's own, as on
    // Wayland; set before the engine starts.
    void setContactsOnly(bool on) { onlyContacts = on; }
    // From now on every read says the pointer is out of sight, or no longer.
    void setOutOfSight(bool on);
    // From now on every read is a look in passing (the readout's), or no
    // longer.
    void setSeenInPassing(bool on);
    // The device moves the pointer there.
    void moveDevice(int x, int y);
    // A program puts it there: no device motion.
    void warp(int x, int y);
    // The device moves by (dx, dy) while the pointer stays (pinned).
    void pushDevice(double dx, double dy);
    // From now on the pointer cannot be read (the server went away), or can
    // again.
    void failReads(bool fail);
    // The modifier keys (ModifierKey bits) and whether a button is held.
    void hold(unsigned keys, bool button);
    QPoint position();
    // How often the engine has read the pointer, and where it moved it.
    int reads();
    std::vector<QPoint> moves();

private:
    std::mutex lock;
    std::condition_variable changed;
    QPoint at;
    bool moved = false;
    bool woken = false;
    int readCount = 0;
    bool readsFail = false;
    std::vector<QPoint> engineMoves;
    unsigned keysHeld = 0;
    bool buttonHeld = false;
    double motionX = 0, motionY = 0;
    bool motionReported = true;
    bool onlyContacts = false;
    bool outOfSight = false;
    bool inPassing = false;
};
