#include "logicctrl.h"

#include "velocityupdater.h"

#include <QElapsedTimer>
#include <algorithm>

namespace {

qint64 monotonicMs()
{
    static const QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return since.elapsed();
}

} // namespace

LogicCtrl::LogicCtrl(EngineState &shared) : QThread(nullptr), state(shared), clock(monotonicMs) {}

LogicCtrl::~LogicCtrl() = default;

void LogicCtrl::setClock(Clock c)
{
    clock = std::move(c);
}

void LogicCtrl::run()
{
    lastFocusScreen = -1;
    // Samples stored for an earlier engine in this process are not ours, and
    // a request it left unanswered is forgotten.
    requestsSent = samplesSeen = state.samplesStored.load(std::memory_order_acquire);
    requestedOnce = false;
    followUp = motionSeen = false;
    lastMotionSampleAt = neverMs;
    while (state.threadsRunning)
        pause(pass());
    state.threadEnds();
}

void LogicCtrl::pause(unsigned long us)
{
    if (state.pointerWatch)
        motionSeen =
            state.pointerWatch->waitForMotion(static_cast<int>((us + 999) / 1000), motionWakes) ||
            motionSeen;
    else
        QThread::usleep(us);
}

unsigned long LogicCtrl::pass()
{
    // The table the steps read stays valid until the pass has ended.
    state.screens.enterPass();
    const qint64 now = clock();
    const unsigned long us = state.pointerWatch ? watchPass(now) : pollPass(now);
    state.screens.leavePass();
    return us;
}

unsigned long LogicCtrl::pollPass(qint64 now)
{
    const std::uint32_t stored = state.samplesStored.load(std::memory_order_acquire);
    // An answer to a request of an earlier run of this engine counts too.
    if (static_cast<std::int32_t>(stored - requestsSent) > 0)
        requestsSent = stored;
    if (stored != requestsSent) {
        // The GUI thread has not answered yet. It usually does within a
        // pass or two; if it is busy for longer, look less often.
        return ++unansweredPasses < 50 ? activePauseUs : stalledPauseUs;
    }
    unansweredPasses = 0;

    if (stored != samplesSeen) {
        if (stepsOnSample(now))
            return activePauseUs; // the follow-up request is out
        if (idlePauseUs > activePauseUs && !plainLoop)
            return idlePauseUs; // the cursor stands still: ask again later
    }
    requestSample(now);
    if (plainLoop) {
        emit updateLabels();
        return activePauseUs;
    }
    // After the request: the readout shows the sample just answered.
    refreshLabelsIfDue(now);
    return activePauseUs;
}

unsigned long LogicCtrl::watchPass(qint64 now)
{
    const qint64 sinceLast = sinceLastSample(now);
    bool want = (motionSeen && now - lastMotionSampleAt >= motionIntervalMs) || followUp ||
                sinceLast >= warpCheckMs;
    if (state.sampleWanted.exchange(false, std::memory_order_acq_rel))
        want = true;
    PointerReading r;
    if (want) {
        // A read that fails counts as a look too: the next comes when it
        // would have, never at once over and over.
        if (motionSeen)
            lastMotionSampleAt = now;
        motionSeen = followUp = false;
        requestedOnce = true;
        lastRequestAt = now;
    }
    if (want && state.pointerWatch->readPointer(r)) {
        state.storeSample(r.x, r.y, r.keys, r.buttonHeld);
        samplesSeen = state.samplesStored.load(std::memory_order_relaxed);
        double dx = 0, dy = 0;
        state.pointerWatch->takeDeviceMotion(dx, dy);
        // Look where the cursor went: a warp makes no device motion.
        followUp = runSteps(r.x, r.y, now, r.keys, r.buttonHeld, dx);
    }
    refreshLabelsIfDue(now);

    if (followUp)
        return 0; // look where the cursor went, at once
    qint64 wait = lastRequestAt + warpCheckMs - now;
    if (labelsDue && state.readoutShown)
        wait = std::min(wait, lastLabelsAt + labelIntervalMs - now);
    // Right after a sample taken on motion, sleep out the interval deaf to
    // motion (more is likely to come); motion meanwhile is read once when
    // it is up. Otherwise motion wakes at once, and nothing else before the
    // next look.
    motionWakes = now - lastMotionSampleAt >= motionIntervalMs;
    if (!motionWakes)
        wait = std::min(wait, lastMotionSampleAt + motionIntervalMs - now);
    return static_cast<unsigned long>(std::max<qint64>(wait, 1)) * 1000;
}

qint64 LogicCtrl::sinceLastSample(qint64 now) const
{
    return requestedOnce ? now - lastRequestAt : warpCheckMs;
}

bool LogicCtrl::stepsOnSample(qint64 now)
{
    // A new sample, complete, and quiet: the GUI thread writes the next one
    // only in answer to the next request.
    samplesSeen = state.samplesStored.load(std::memory_order_acquire);
    const bool asked =
        runSteps(state.cursorX, state.cursorY, now, state.cursorKeys, state.cursorButtonHeld);
    if (asked) {
        // Look where the cursor went: the request is queued behind the
        // moves, so its answer is taken after them.
        requestSample(now);
    }
    return asked;
}

bool LogicCtrl::runSteps(int x, int y, qint64 now, unsigned keys, bool buttonHeld, double pushX)
{
    const bool xChanged = x != lastX;
    takeSample(x, y, now, keys, buttonHeld, pushX);
    const bool wrapped = wrapEdges(x, y);
    const bool moved = easyMove(x, y);
    updateScreenFocus(x, y);
    // After the moves are on their way: waking the sampler must not delay
    // them.
    if (state.velocityUpdater && xChanged)
        state.velocityUpdater->cursorMoved();
    return wrapped || moved;
}

void LogicCtrl::requestSample(qint64 now)
{
    ++requestsSent;
    requestedOnce = true;
    lastRequestAt = now;
    emit updateMouse();
}

void LogicCtrl::refreshLabelsIfDue(qint64 now)
{
    // The first refresh comes at once; later ones only when what they show
    // has changed, and at most once per interval. A change that comes too
    // soon is shown when the interval is up.
    const int x = state.cursorX, y = state.cursorY, v = speed();
    if (x != shownX || y != shownY || v != shownSpeed)
        labelsDue = true;
    if (labelsShown && (!labelsDue || now - lastLabelsAt < labelIntervalMs))
        return;
    if (!state.readoutShown && !plainLoop)
        return; // refreshed when the window is shown again
    labelsShown = true;
    labelsDue = false;
    lastLabelsAt = now;
    shownX = x;
    shownY = y;
    shownSpeed = v;
    emit updateLabels();
}

void LogicCtrl::takeSample(int x, int y, qint64 now, unsigned keys, bool buttonHeld, double pushX)
{
    gate.record(now, x);
    // Pushing counts only where the engine hears the device itself.
    const int pushNeeded = state.pointerWatch ? state.pushThrough.load() : 0;
    const double pushed = pushNeeded > 0 ? pushX * CursorRules::edgeDirection(state, x, y) : 0;
    // With no threshold and no push asked for nothing is gated: spare the
    // edge test (an Easy Move lookup of its own) on every sample.
    const bool gating = state.minVelocityOn || state.maxVelocityOn || pushNeeded > 0;
    jumpAllowed = gate.allows(state, gating && CursorRules::atGatedEdge(state, x, y), now, pushed,
                              pushNeeded);
    held = CursorRules::heldBack(state, keys, buttonHeld);
    if (samplesSeen > 1 && x == lastX && y == lastY) {
        // Standing still: lengthen the polling pause step by step to its
        // bound.
        ++stillSamples;
        if (stillSamples > stillSamplesBeforeBackoff)
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

bool LogicCtrl::makeMoves(const CursorMoves &moves)
{
    for (int k = 0; k < moves.count; ++k) {
        if (state.pointerWatch)
            state.pointerWatch->movePointer(moves.at[k].x, moves.at[k].y);
        else
            emit moveMouse(moves.at[k].x, moves.at[k].y);
    }
    return !moves.empty();
}

bool LogicCtrl::wrapEdges(int x, int y)
{
    if (held)
        return false;
    return makeMoves(CursorRules::wrapEdges(state, x, y, jumpAllowed));
}

bool LogicCtrl::easyMove(int x, int y)
{
    if (held)
        return false;
    return makeMoves(CursorRules::easyMove(state, x, y, jumpAllowed));
}

void LogicCtrl::updateScreenFocus(int x, int y)
{
    const ScreenTable &table = state.screenTable();
    if (!table.multipleScreens)
        return;
    // Switched off, or off and on again (or the desktop changed): forget the
    // focused screen, so that the curtains go up at the next sample,
    // wherever the cursor is.
    if (!state.screenFocusOn || state.paused) {
        lastFocusScreen = -1;
        return;
    }
    if (state.screenFocusArmings != focusArmingsSeen) {
        focusArmingsSeen = state.screenFocusArmings;
        lastFocusScreen = -1;
    }
    const int i = table.screenIndexAt(x, y);
    if (i == lastFocusScreen)
        return;
    lastFocusScreen = i;
    // The new set replaces the old one on the GUI thread, which keeps the
    // curtains that stay: no destroy first, so nothing flickers.
    emit generateNewScreenFocus(static_cast<uint>(i));
}
