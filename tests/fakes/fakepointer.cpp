#include "fakepointer.h"

#include <chrono>

bool FakePointer::waitForMotion(int timeoutMs, bool motionWakes)
{
    std::unique_lock<std::mutex> guard(lock);
    changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                     [&] { return (motionWakes && moved) || woken; });
    const bool was = moved;
    moved = woken = false;
    return was;
}

bool FakePointer::readPointer(PointerReading &reading)
{
    std::lock_guard<std::mutex> guard(lock);
    ++readCount;
    if (readsFail)
        return false;
    reading.x = at.x();
    reading.y = at.y();
    reading.keys = keysHeld;
    reading.buttonHeld = buttonHeld;
    reading.lost = outOfSight;
    reading.inPassing = inPassing;
    return true;
}

void FakePointer::setOutOfSight(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    outOfSight = on;
    moved = true;
    changed.notify_all();
}

void FakePointer::setSeenInPassing(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    inPassing = on;
}

void FakePointer::takeDeviceMotion(double &dx, double &dy)
{
    std::lock_guard<std::mutex> guard(lock);
    dx = motionX;
    dy = motionY;
    motionX = motionY = 0;
}

void FakePointer::pushDevice(double dx, double dy)
{
    std::lock_guard<std::mutex> guard(lock);
    motionX += dx;
    motionY += dy;
    moved = true;
    changed.notify_all();
}

void FakePointer::hold(unsigned keys, bool button)
{
    std::lock_guard<std::mutex> guard(lock);
    keysHeld = keys;
    buttonHeld = button;
}

void FakePointer::wake()
{
    std::lock_guard<std::mutex> guard(lock);
    woken = true;
    changed.notify_all();
}

void FakePointer::moveDevice(int x, int y)
{
    std::lock_guard<std::mutex> guard(lock);
    motionX += x - at.x();
    motionY += y - at.y();
    at = QPoint(x, y);
    moved = true;
    changed.notify_all();
}

void FakePointer::warp(int x, int y)
{
    std::lock_guard<std::mutex> guard(lock);
    at = QPoint(x, y);
}

void FakePointer::failReads(bool fail)
{
    std::lock_guard<std::mutex> guard(lock);
    readsFail = fail;
}

void FakePointer::movePointer(int x, int y)
{
    std::lock_guard<std::mutex> guard(lock);
    at = QPoint(x, y);
    engineMoves.push_back(at);
}

std::vector<QPoint> FakePointer::moves()
{
    std::lock_guard<std::mutex> guard(lock);
    return engineMoves;
}

QPoint FakePointer::position()
{
    std::lock_guard<std::mutex> guard(lock);
    return at;
}

int FakePointer::reads()
{
    std::lock_guard<std::mutex> guard(lock);
    return readCount;
}
