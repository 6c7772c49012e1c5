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
    bool waitForMotion(int timeoutMs, bool motionWakes) override;
    bool readPointer(int &x, int &y) override;
    void wake() override;

    // The device moves the pointer there.
    void moveDevice(int x, int y);
    // A program puts it there: no device motion.
    void warp(int x, int y);
    QPoint position();
    // How often the engine has read the pointer.
    int reads();

private:
    std::mutex lock;
    std::condition_variable changed;
    QPoint at;
    bool moved = false;
    bool woken = false;
    int readCount = 0;
};
