#pragma once

#include "arrivalgate.h"
#include "cursorrules.h"
#include "engineinbox.h"
#include "samplesource.h"

#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>

// The engine's work on its thread: takes the newest snapshot, lets the
// sample source take samples, applies the rules to each (onSample: the one
// entry point, whichever source took the sample), moves the pointer where
// they say, and reports the readout and the screen to focus by queued
// signals. Everything here but the signals' receivers lives on the engine
// thread; what comes from the GUI thread comes through the inbox.
class LogicCtrl : public QObject, public SampleSink
{
    Q_OBJECT

public:
    LogicCtrl(EngineInbox &inbox, SampleSource &source);
    ~LogicCtrl() override;

    // The readout is refreshed at most this often: faster than anyone reads
    // it, and far fewer repaints while the cursor moves.
    static constexpr qint64 labelIntervalMs = 40;

    // Milliseconds on a monotonic clock; tests step their own.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock);

    // The loop, until the inbox says to stop.
    void run();
    // One turn of it; returns the wait before the next, in microseconds.
    unsigned long pass();

    bool onSample(const PointerReading &reading, double pushX, double pushY, qint64 nowMs) override;

signals:
    // Where the pointer is and its horizontal speed in pixels per 150 ms.
    void readout(int x, int y, int speed);
    // The pointer has gone where it cannot be seen: its position is not
    // known until it is seen again.
    void pointerUnseen();
    // The screen under the pointer, -1 for none, of the snapshot layout
    // `layout`: every other screen is to be curtained.
    void focusScreen(int screen, quint64 layout);

private:
    // The wait the readout asks for, in ms; -1 for none.
    qint64 refreshReadoutIfDue(qint64 now);
    // Makes the moves; `last` becomes where the last one put the pointer.
    bool makeMoves(const CursorMoves &moves, CursorMove &last);
    void updateScreenFocus(int x, int y);

    EngineInbox &inbox;
    SampleSource &source;
    Clock clock;
    std::shared_ptr<const Snapshot> snapshot;
    std::uint64_t snapshotSeen = 0;
    ArrivalGate gate;
    // The screen that last received focus; unknown after a new snapshot, so
    // the curtains go up wherever the cursor is.
    static constexpr int unknownScreen = -2;
    int lastFocusScreen = unknownScreen;
    // The readout: the last sample, and what was last shown.
    bool sampled = false;
    int sampleX = 0;
    int sampleY = 0;
    qint64 xChangedAt = 0; // when a sample last found x elsewhere
    bool readoutSent = false;
    bool readoutDue = false;
    qint64 lastReadoutAt = 0;
    int shownX = 0;
    int shownY = 0;
    int shownSpeed = 0;
    bool sampleLost = false; // the last sample said the pointer is out of sight
    // Where the last sample left the pointer (where a rule moved it, if
    // one did), in the snapshot layout `placedLayout`: a crossing by size
    // starts from there.
    bool placed = false;
    int placedX = 0;
    int placedY = 0;
    std::uint64_t placedLayout = 0;
    // Where the pointer was seen resting while Pellmar kept quiet (paused,
    // a window full screen); cleared once it moves or the device pushes.
    std::optional<QPoint> restingSinceQuiet;
    bool shownLost = false;
};
