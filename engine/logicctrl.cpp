#include "logicctrl.h"

#include "velocityupdater.h"

#include <algorithm>

LogicCtrl::LogicCtrl(EngineState &state) : QThread(nullptr), state(state) {}

LogicCtrl::~LogicCtrl() = default;

void LogicCtrl::run()
{
    lastFocusScreen = -1;
    // Samples stored for an earlier engine in this process are not ours.
    requestsSent = samplesSeen = state.samplesStored.load(std::memory_order_acquire);
    while (state.threadsRunning)
        pause(pass());
    state.threadEnds();
}

void LogicCtrl::pause(unsigned long us)
{
    // Device motion ends any pause of a millisecond or more at once.
    if (us >= 1000 && state.doorbell.available())
        state.doorbell.doze(static_cast<int>(us / 1000));
    else
        QThread::usleep(us);
}

unsigned long LogicCtrl::pass()
{
    const std::uint32_t stored = state.samplesStored.load(std::memory_order_acquire);
    if (stored != requestsSent) {
        // The GUI thread has not answered yet. It usually does within a
        // pass or two; if it is busy for longer, look less often.
        return ++unansweredPasses < 50 ? activePauseUs : stalledPauseUs;
    }
    unansweredPasses = 0;

    if (stored != samplesSeen) {
        // A new sample, complete, and quiet: the GUI thread writes the next
        // one only in answer to the next request.
        samplesSeen = stored;
        const int x = state.cursorX;
        const int y = state.cursorY;
        takeSample(x, y);
        wrapEdges(x, y);
        easyMove(x, y);
        updateScreenFocus(x);
        if (idlePauseUs > activePauseUs)
            return idlePauseUs; // the cursor stands still: ask again later
    }

    ++requestsSent;
    emit updateMouse();
    if (!sinceLabels.isValid() || sinceLabels.elapsed() >= labelIntervalMs) {
        sinceLabels.start();
        emit updateLabels();
    }
    return activePauseUs;
}

void LogicCtrl::takeSample(int x, int y)
{
    if (samplesSeen > 1 && x == lastX && y == lastY) {
        // Standing still: lengthen the pause step by step to its bound.
        ++stillSamples;
        if (stillSamples > stillSamplesBeforeDoze && state.doorbell.available())
            idlePauseUs = dozePauseUs;
        else if (stillSamples > stillSamplesBeforeBackoff)
            idlePauseUs = std::min(idlePauseUs * 2, idlePauseBoundUs);
    } else {
        stillSamples = 0;
        idlePauseUs = activePauseUs;
    }
    lastX = x;
    lastY = y;
}

int LogicCtrl::speed() const
{
    return state.velocityUpdater ? state.velocityUpdater->deltaX.load() : 0;
}

void LogicCtrl::emitMoves(const CursorMoves &moves)
{
    for (int k = 0; k < moves.count; ++k)
        emit moveMouse(moves.at[k].x, moves.at[k].y);
}

void LogicCtrl::wrapEdges(int x, int y)
{
    emitMoves(CursorRules::wrapEdges(state, x, y, speed()));
}

void LogicCtrl::easyMove(int x, int y)
{
    emitMoves(CursorRules::easyMove(state, x, y, speed()));
}

void LogicCtrl::updateScreenFocus(int x)
{
    if (!state.multipleScreens)
        return;
    // Switched off, or off and on again: forget the focused screen, so that
    // the curtains go up at the next sample, wherever the cursor is.
    if (!state.screenFocusOn) {
        lastFocusScreen = -1;
        return;
    }
    if (state.screenFocusArmings != focusArmingsSeen) {
        focusArmingsSeen = state.screenFocusArmings;
        lastFocusScreen = -1;
    }
    const int i = state.screenTable.screenIndexAt(x);
    if (i == lastFocusScreen)
        return;
    lastFocusScreen = i;
    emit destroyScreenFocus();
    emit generateNewScreenFocus(static_cast<uint>(i));
}
