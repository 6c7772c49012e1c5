#pragma once

#include "pointerwatch.h"

#include <QByteArray>
#include <cstdint>
#include <memory>

struct xcb_connection_t;

// The engine thread's own view of an X server: a connection of its own on
// which it hears XInput 2 raw motion from every pointer device (raw events
// come even while the pointer is pinned against the desktop's edge, where
// the engine must look) and queries the pointer. Nothing here touches Qt's
// connection, so a moving mouse wakes only the engine, not the GUI thread.
// A pointer warped by a program makes no raw motion; the engine looks now
// and then for that.
class X11PointerWatch : public PointerWatch
{
public:
    // Null where there is no X server (or Pellmar was built without xcb).
    // With `listen`, raw motion is heard where the server has XInput 2;
    // otherwise, or without it, the engine polls through this connection.
    static std::unique_ptr<X11PointerWatch> open(const QByteArray &display, bool listen);
    ~X11PointerWatch() override;

    bool reportsMotion() const override { return listening; }
    bool waitForMotion(int timeoutMs, bool motionWakes) override;
    bool readPointer(PointerReading &reading) override;
    void takeDeviceMotion(double &dx, double &dy) override;
    void wake() override;

    // Any thread (xcb is safe to share between threads): the server takes
    // one connection's requests in order, so every later read sees the move,
    // and no round trip is needed.
    void movePointer(int x, int y) override;

    // Raw motion values at least this large are positions, not steps.
    static constexpr double maxDelta = 1000;

    // A reading from a QueryPointer reply's position and state mask.
    static PointerReading fromX(int x, int y, unsigned mask);

private:
    X11PointerWatch() = default;
    bool listenForRawMotion();
    // Takes every event received, from the socket too if `readSocket`;
    // returns whether one was motion.
    bool drain(bool readSocket);

    xcb_connection_t *connection = nullptr;
    std::uint32_t root = 0;
    std::uint8_t inputOpcode = 0;
    bool listening = false;
    int wakeFd = -1;
    double motionX = 0; // raw device motion summed since it was last taken
    double motionY = 0;
};
