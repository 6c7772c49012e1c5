#include "gnomepointerwatch.h"

#include "pointerstate.h"
#include "shelllink.h"
#include "snapshot.h"

#include <QMetaObject>
#include <chrono>
#include <cmath>

GnomePointerWatch::GnomePointerWatch(ShellLink &shell) : link(shell) {}

GnomePointerWatch::~GnomePointerWatch() = default;

void GnomePointerWatch::follow(const Snapshot &snapshot)
{
    auto laid = ShellGeometry::barriers(SensorLayout::strips(snapshot), snapshot.screens);
    std::vector<ShellSegment> lines;
    lines.reserve(laid.size());
    for (const auto &b : laid)
        lines.push_back(b.line);
    unsigned now;
    {
        std::lock_guard<std::mutex> hold(lock);
        // The same barriers (the snapshot changed something else) stay as
        // they are: laid anew, a push on its way against them would be
        // dropped.
        if (generation != 0 && laid == barriers)
            return;
        barriers = std::move(laid);
        now = ++generation;
    }
    // Pushes against the old barriers, still on their way, carry the old
    // generation and are dropped.
    ShellLink *to = &link;
    QMetaObject::invokeMethod(
        to, [to, now, lines] { to->setBarriers(now, lines); }, Qt::QueuedConnection);
}

bool GnomePointerWatch::waitForMotion(int timeoutMs, bool motionWakes)
{
    std::unique_lock<std::mutex> hold(lock);
    const auto ready = [&] { return woken || (motionWakes && pending); };
    if (timeoutMs < 0)
        changed.wait(hold, ready);
    else
        changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), ready);
    woken = false;
    return pending;
}

bool GnomePointerWatch::readPointer(PointerReading &reading)
{
    std::lock_guard<std::mutex> hold(lock);
    if (!pending)
        return false;
    pending = false;
    reading = last;
    return true;
}

void GnomePointerWatch::takeDeviceMotion(double &dx, double &dy)
{
    std::lock_guard<std::mutex> hold(lock);
    dx = motionX;
    dy = motionY;
    motionX = motionY = 0;
}

void GnomePointerWatch::movePointer(int x, int y)
{
    {
        // The old position's pushes are no longer news.
        std::lock_guard<std::mutex> hold(lock);
        motionX = motionY = 0;
    }
    ShellLink *to = &link;
    const auto warp = [to, x, y] { to->warp(x, y); };
    QMetaObject::invokeMethod(to, warp, Qt::QueuedConnection);
}

void GnomePointerWatch::wake()
{
    {
        std::lock_guard<std::mutex> hold(lock);
        woken = true;
    }
    changed.notify_one();
}

void GnomePointerWatch::hit(unsigned gen, unsigned index, double x, double y, double dx, double dy,
                            unsigned state)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        if (gen != generation || index >= barriers.size())
            return; // an old barrier's, or the lock's
        const QPoint p = ShellGeometry::pixelOnStrip(barriers[index].strip, x, y);
        last = PointerState::fromMask(p.x(), p.y(), state);
        if (std::isfinite(dx) && std::isfinite(dy)) {
            motionX += dx;
            motionY += dy;
        }
        pending = true;
    }
    changed.notify_one();
}

void GnomePointerWatch::seen(double x, double y, unsigned state)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    {
        std::lock_guard<std::mutex> hold(lock);
        // A push not read yet is what the engine must see: the position
        // that follows it says nothing new.
        if (pending && !last.inPassing)
            return;
        last = PointerState::fromMask(int(std::floor(x)), int(std::floor(y)), state);
        last.inPassing = true;
        pending = true;
    }
    changed.notify_one();
}
