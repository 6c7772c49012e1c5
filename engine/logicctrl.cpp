#include "logicctrl.h"

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

LogicCtrl::LogicCtrl(EngineInbox &in, SampleSource &from)
    : inbox(in), source(from), clock(monotonicMs)
{
}

LogicCtrl::~LogicCtrl() = default;

void LogicCtrl::setClock(Clock c)
{
    clock = std::move(c);
}

void LogicCtrl::run()
{
    while (inbox.running.load(std::memory_order_acquire))
        source.wait(pass());
}

unsigned long LogicCtrl::pass()
{
    const qint64 now = clock();
    bool lookNow = inbox.lookNow.exchange(false, std::memory_order_acq_rel);
    if (inbox.snapshot.refresh(snapshot, snapshotSeen)) {
        // New choices or a new desktop: look at once, and focus afresh.
        lastFocusScreen = unknownScreen;
        lookNow = true;
        source.pointer().follow(*snapshot);
    }
    if (!snapshot)
        return 1000 * 1000; // nothing to work on until the first snapshot
    if (inbox.jumpWanted.exchange(false, std::memory_order_acq_rel)) {
        int x = 0, y = 0;
        EngineInbox::unpack(inbox.jumpTo.load(std::memory_order_relaxed), x, y);
        source.pointer().movePointer(x, y);
    }
    unsigned long us = source.turn(now, lookNow, *this);
    const qint64 readoutWait = refreshReadoutIfDue(now);
    if (readoutWait >= 0)
        us = std::min(us, static_cast<unsigned long>(readoutWait) * 1000);
    return us;
}

bool LogicCtrl::onSample(const PointerReading &r, double pushX, double pushY, qint64 now)
{
    const Snapshot &s = *snapshot;
    sampleLost = r.lost;
    if (r.lost) {
        sampled = true;
        placed = false;
        return false; // nothing to act on until it is seen again
    }
    if (!sampled || r.x != sampleX)
        xChangedAt = now;
    sampled = true;
    sampleX = r.x;
    sampleY = r.y;
    gate.record(now, r.x);
    // Seen only at the edges, a contact the device moves back into the
    // screen is the pointer leaving the edge: no rule acts on it.
    if (r.inPassing ||
        (source.pointer().contactsOnly() && CursorRules::leavingEdge(s, r.x, r.y, pushX, pushY)))
        return false;
    // Pushing counts only where the engine hears the device itself, and
    // the speed only where it sees the pointer move, not just its contacts.
    const int pushNeeded = source.pointer().reportsMotion() ? s.choices.pushThrough : 0;
    const double pushed = pushNeeded > 0 ? pushX * CursorRules::edgeDirection(s, r.x, r.y) : 0;
    const bool speedSeen = !source.pointer().contactsOnly();
    // With no threshold and no push asked for nothing is gated: spare the
    // edge test (an Easy Move lookup of its own) on every sample.
    const bool gating =
        (speedSeen && (s.choices.minVelocityOn || s.choices.maxVelocityOn)) || pushNeeded > 0;
    const bool jumpAllowed = gate.allows(s.choices, gating && CursorRules::atGatedEdge(s, r.x, r.y),
                                         now, pushed, pushNeeded, speedSeen);
    // A pointer left resting while Pellmar kept quiet has not come to where
    // it rests once that ends: nothing acts on it until it moves on or the
    // device pushes.
    const QPoint here(r.x, r.y);
    if (CursorRules::quiet(s))
        restingSinceQuiet = here;
    else if (restingSinceQuiet != here || pushX != 0 || pushY != 0)
        restingSinceQuiet.reset();
    bool moved = false;
    CursorMove at{r.x, r.y};
    if (!restingSinceQuiet && !CursorRules::heldBack(s, r.keys, r.buttonHeld)) {
        // Sensed on a seam's strip the pointer has not crossed yet, and
        // crosses as the device moves it on; sampled on motion it has, from
        // where it was before.
        const bool fromBefore = placed && placedLayout == s.layout;
        const CursorMoves crossing =
            source.pointer().contactsOnly() ? CursorRules::crossSeam(s, r.x, r.y, pushX, pushY)
            : fromBefore ? CursorRules::crossBySize(s, placedX, placedY, r.x, r.y)
                         : CursorMoves();
        // Landed, it is past every edge the sample found it at.
        moved = makeMoves(crossing, at);
        if (!moved) {
            moved = makeMoves(CursorRules::wrapEdges(s, r.x, r.y, jumpAllowed), at);
            moved = makeMoves(CursorRules::easyMove(s, r.x, r.y, jumpAllowed), at) || moved;
        }
    }
    placed = true;
    placedX = at.x;
    placedY = at.y;
    placedLayout = s.layout;
    updateScreenFocus(r.x, r.y);
    return moved;
}

bool LogicCtrl::makeMoves(const CursorMoves &moves, CursorMove &last)
{
    for (int k = 0; k < moves.count; ++k) {
        source.pointer().movePointer(moves.at[k].x, moves.at[k].y);
        last = moves.at[k];
    }
    return !moves.empty();
}

void LogicCtrl::updateScreenFocus(int x, int y)
{
    const Snapshot &s = *snapshot;
    // A pointer seen only at the edges would leave the curtains wherever it
    // last touched one: the desktop itself tells where it is, if anyone.
    if (!s.screens.multipleScreens || source.pointer().contactsOnly())
        return;
    if (!s.choices.screenFocus || s.choices.paused) {
        lastFocusScreen = unknownScreen;
        return;
    }
    const int i = s.screens.screenIndexAt(x, y);
    if (i == lastFocusScreen)
        return;
    lastFocusScreen = i;
    // The new set replaces the old one on the GUI thread, which keeps the
    // curtains that stay, so nothing flickers.
    emit focusScreen(i, s.layout);
}

qint64 LogicCtrl::refreshReadoutIfDue(qint64 now)
{
    if (!sampled)
        return -1;
    // The first refresh comes at once; later ones only when what they show
    // has changed, and at most once per interval. A change that comes too
    // soon is shown when the interval is up.
    const int v = gate.speed(now);
    if (sampleX != shownX || sampleY != shownY || v != shownSpeed || sampleLost != shownLost)
        readoutDue = true;
    if (!inbox.readoutShown.load(std::memory_order_relaxed))
        return -1; // refreshed when the window is shown again
    if (readoutSent && readoutDue && now - lastReadoutAt < labelIntervalMs)
        return lastReadoutAt + labelIntervalMs - now;
    if (readoutDue || !readoutSent) {
        readoutSent = true;
        readoutDue = false;
        lastReadoutAt = now;
        shownX = sampleX;
        shownY = sampleY;
        shownSpeed = v;
        shownLost = sampleLost;
        if (sampleLost)
            emit pointerUnseen();
        else
            emit readout(sampleX, sampleY, v);
    }
    // A speed shown falls to 0 once x has stood still for a whole window,
    // with no sample to say so: look again then. Samples that find x where
    // it was do not put that off.
    if (shownSpeed != 0)
        return std::max<qint64>(xChangedAt + ArrivalGate::windowMs + 1 - now, 1);
    return -1;
}
