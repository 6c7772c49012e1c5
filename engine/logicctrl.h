#pragma once

#include "cursorrules.h"

#include <QElapsedTimer>
#include <QThread>
#include <cstdint>

// The engine: a worker thread that never touches the cursor itself. It asks
// the GUI thread for cursor samples by signal, runs the cursor steps on each
// sample and asks the GUI thread by signal to move the cursor or to replace
// the focus curtains.
//
// At most one sample request is in flight, and the steps run only once that
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

    // Pause between passes while the cursor moves, and the bound it grows
    // to once the cursor has stood still for a while (microseconds).
    static constexpr unsigned long activePauseUs = 100;
    static constexpr unsigned long idlePauseBoundUs = 8000;
    // Unchanged samples before the pause starts to grow.
    static constexpr unsigned stillSamplesBeforeBackoff = 64;
    // Where the doorbell rings on device motion, a cursor that has stood
    // still this many samples at the bound is sampled only this often; a
    // move of the device wakes the engine at once.
    static constexpr unsigned stillSamplesBeforeDoze = stillSamplesBeforeBackoff + 100;
    static constexpr unsigned long dozePauseUs = 200000;
    // The readout is refreshed at most this often: faster than anyone reads
    // it, and thousands of repaints a second fewer while the cursor moves.
    static constexpr qint64 labelIntervalMs = 20;
    // How often a request that the GUI thread is slow to answer is checked.
    static constexpr unsigned long stalledPauseUs = 1000;

    // One engine pass; returns the pause before the next one, in microseconds.
    unsigned long pass();

    // Waits as long as a pass asked for (a doze may end early).
    void pause(unsigned long us);

    // The cursor steps, each emitting what it asks for.
    void wrapEdges(int x, int y);
    void easyMove(int x, int y);
    void updateScreenFocus(int x);

signals:
    void moveMouse(int, int);
    void updateLabels();
    void updateMouse();
    void generateNewScreenFocus(uint index);
    void destroyScreenFocus();

protected:
    void run() override;

private:
    void emitMoves(const CursorMoves &moves);
    int speed() const;
    void takeSample(int x, int y);

    EngineState &state;
    std::uint32_t requestsSent = 0; // sample requests emitted so far
    std::uint32_t samplesSeen = 0;  // samples the steps have run on
    int lastX = 0;
    int lastY = 0;
    unsigned stillSamples = 0;
    unsigned unansweredPasses = 0;
    unsigned long idlePauseUs = activePauseUs;
    unsigned focusArmingsSeen = 0;
    QElapsedTimer sinceLabels;
};
