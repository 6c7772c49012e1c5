#pragma once

#include "pointerwatch.h"
#include "shellgeometry.h"

#include <condition_variable>
#include <mutex>
#include <vector>

class ShellLink;

// The engine thread's view of the pointer on GNOME, where only the Shell
// sees it: a pointer barrier stands on each strip's edge where a rule can
// act, each push against one is a contact (with how far the device pushed),
// and while the readout is shown the Shell's positions are readings too.
// The Shell speaks to the GUI thread (ShellLink); what it tells is handed
// over here under a lock, and what the engine asks (barriers, moves) is
// posted back to the link.
class GnomePointerWatch : public PointerWatch
{
public:
    explicit GnomePointerWatch(ShellLink &link);
    ~GnomePointerWatch() override;

    bool reportsMotion() const override { return true; }
    bool contactsOnly() const override { return true; }
    void follow(const Snapshot &snapshot) override;
    bool waitForMotion(int timeoutMs, bool motionWakes) override;
    bool readPointer(PointerReading &reading) override;
    void takeDeviceMotion(double &dx, double &dy) override;
    void movePointer(int x, int y) override;
    void wake() override;

    // GUI thread: what the Shell told.
    void hit(unsigned generation, unsigned index, double x, double y, double dx, double dy,
             unsigned state);
    void seen(double x, double y, unsigned state);

private:
    ShellLink &link;

    std::mutex lock;
    std::condition_variable changed;
    // Guarded by `lock`:
    std::vector<ShellGeometry::Barrier> barriers; // of `generation`
    unsigned generation = 0;
    PointerReading last;
    bool pending = false;
    bool woken = false;
    double motionX = 0;
    double motionY = 0;
};
