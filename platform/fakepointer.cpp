#include "fakepointer.h"

#include <chrono>

bool FakePointer::waitForMotion(int timeoutMs, bool motionWakes)
{
    std::unique_lock<std::mutex> hold(lock);
    changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                     [&] { return (motionWakes && moved) || woken; });
    const bool was = moved;
    moved = woken = false;
    return was;
}

bool FakePointer::readPointer(int &x, int &y)
{
    std::lock_guard<std::mutex> hold(lock);
    ++readCount;
    x = at.x();
    y = at.y();
    return true;
}

void FakePointer::wake()
{
    std::lock_guard<std::mutex> hold(lock);
    woken = true;
    changed.notify_all();
}

void FakePointer::moveDevice(int x, int y)
{
    std::lock_guard<std::mutex> hold(lock);
    at = QPoint(x, y);
    moved = true;
    changed.notify_all();
}

void FakePointer::warp(int x, int y)
{
    std::lock_guard<std::mutex> hold(lock);
    at = QPoint(x, y);
}

QPoint FakePointer::position()
{
    std::lock_guard<std::mutex> hold(lock);
    return at;
}

int FakePointer::reads()
{
    std::lock_guard<std::mutex> hold(lock);
    return readCount;
}
