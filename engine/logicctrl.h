#pragma once

#include "arrivalgate.h"
#include "cursorrules.h"

#include <QThread>
#include <cstdint>
#include <functional>
#include <limits>

// The engine: a worker thread that runs the cursor steps on each cursor
// sample and asks the GUI thread by signal to replace the focus curtains.
//
// Where the platform reports pointer device motion (a PointerWatch), the
// engine sleeps until something happens and reads and moves the pointer
// itself: one sample per burst of device motion (motion within
// motionIntervalMs of a sample taken on motion is one more sample when that
// time is up), none while nothing moves, and a slow look every warpCheckMs
// for a pointer that another program moved. Its moves and reads go the same
// way in order, so the read after a jump sees where it went. Each hop
// through another thread is one more wake-up before the cursor jumps.
//
// Elsewhere it never touches the cursor itself: it asks the GUI thread for
// samples (updateMouse) and moves (moveMouse) by signal, polling a sample
// every 100 µs while the cursor moves, less often once it stands still. At
// most one sample request is in flight, and the steps run only once that
// request has been answered, once per sample. Queued calls reach the GUI
// thread in the order they were emitted, so every later sample is taken
// after the moves the steps asked for: a stale position can never repeat a
// jump, and a stalled GUI thread finds one request waiting, not thousands.
class LogicCtrl : public QThread
{
    Q_OBJECT

public:
    explicit LogicCtrl(EngineState &state = engineState);
    ~LogicCtrl() override;

    // The screen that last received focus, or -1. Engine thread only.
    int lastFocusScreen = 0;

    // Polling: the pause between passes while the cursor moves, and the
    // bound it grows to once the cursor has stood still for a while
    // (microseconds).
    static constexpr unsigned long activePauseUs = 100;
    static constexpr unsigned long idlePauseBoundUs = 8000;
    // Unchanged samples before the pause starts to grow.
    static constexpr unsigned stillSamplesBeforeBackoff = 64;
    // How often a request that the GUI thread is slow to answer is checked.
    static constexpr unsigned long stalledPauseUs = 1000;
    // Event-driven: a pointer warped by another program makes no device
    // motion; a sample this often finds it.
    static constexpr qint64 warpCheckMs = 240;
    // Watching: while the device keeps moving, the pointer is read at most
    // this often, whatever the mouse's report rate: about once a frame of a
    // 60 Hz screen, so a cursor that runs onto an edge is seldom drawn
    // there. Each read is a round trip that also costs the X server. A
    // motion after a pause is read at once.
    static constexpr qint64 motionIntervalMs = 16;
    // The readout is refreshed at most this often: faster than anyone reads
    // it, and far fewer repaints while the cursor moves.
    static constexpr qint64 labelIntervalMs = 40;

    // The plain loop: a sample request and a readout refresh every pass,
    // 100 µs apart, whatever the cursor does. Costly; kept only as the
    // benchmark's yardstick (PELLMAR_PLAIN_LOOP=1 in the environment).
    bool plainLoop = false;

    // Milliseconds on a monotonic clock; tests step their own.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock);

    // One engine pass; returns the pause before the next one, in
    // microseconds.
    unsigned long pass();

    // Waits as long as a pass asked for; device motion or a wake-up ends
    // the wait early where the engine watches the pointer.
    void pause(unsigned long us);

    // The cursor steps, each emitting what it asks for; they return whether
    // they asked for a move. The thresholds' verdict for the sample comes
    // from the arrival gate.
    bool wrapEdges(int x, int y);
    bool easyMove(int x, int y);
    void updateScreenFocus(int x, int y);

signals:
    void moveMouse(int, int);
    void updateLabels();
    void updateMouse();
    void generateNewScreenFocus(uint index);
    void destroyScreenFocus();

protected:
    void run() override;

private:
    unsigned long pollPass(qint64 now);
    unsigned long watchPass(qint64 now);
    // Runs the steps on a new sample; returns whether a move was asked for
    // (the follow-up request is then already made).
    bool stepsOnSample(qint64 now);
    // The cursor steps on one sample, after its bookkeeping; returns whether
    // a move was made or asked for.
    bool runSteps(int x, int y, qint64 now, unsigned keys, bool buttonHeld, double pushX = 0);
    // Asks the GUI thread for a sample.
    void requestSample(qint64 now);
    void refreshLabelsIfDue(qint64 now);
    qint64 sinceLastSample(qint64 now) const;
    bool makeMoves(const CursorMoves &moves);
    int speed() const;
    // Bookkeeping for every sample: the pause, the arrival gate and what is
    // held decide jumpAllowed. `pushX` is device motion since the last one.
    void takeSample(int x, int y, qint64 now, unsigned keys, bool buttonHeld, double pushX);
    bool jumpAllowed = true; // the arrival gate's verdict on this sample
    bool held = false;       // paused, bypass key or dragging: no move at all
    ArrivalGate gate;

    EngineState &state;
    Clock clock;
    std::uint32_t requestsSent = 0; // sample requests emitted so far
    std::uint32_t samplesSeen = 0;  // samples the steps have run on
    int lastX = 0;
    int lastY = 0;
    unsigned stillSamples = 0;
    unsigned unansweredPasses = 0;
    unsigned long idlePauseUs = activePauseUs;
    unsigned focusArmingsSeen = 0;
    qint64 lastRequestAt = 0;
    qint64 lastLabelsAt = 0;
    bool requestedOnce = false;
    // Watching the pointer: motion seen by the last wait, and whether the
    // position after a jump is still to be read.
    bool motionSeen = false;
    bool motionWakes = true; // whether the next wait ends on motion
    static constexpr qint64 neverMs = std::numeric_limits<qint64>::min() / 2;
    qint64 lastMotionSampleAt = neverMs; // the last sample taken on motion
    bool followUp = false;
    bool labelsShown = false;
    bool labelsDue = false;
    // What the readout last showed, so an unchanged one is not refreshed.
    int shownX = 0;
    int shownY = 0;
    int shownSpeed = 0;
};
