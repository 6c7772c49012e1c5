#pragma once

#include "pointerwatch.h"
#include "relaxed.h"
#include "screentableholder.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

class LogicCtrl;
class VelocityUpdater;
class QLabel;

// The variables the GUI, engine and velocity threads share. Nothing is
// locked: each field is one word or byte, read and written whole, and every
// reader accepts a value that is a pass or more old.
//
// The object pointers are set on the GUI thread before the worker threads
// start (starting a thread publishes them). The screen table is replaced
// whole when the desktop changes (ScreenTableHolder).
struct EngineState
{
    LogicCtrl *logicCtrl = nullptr;
    VelocityUpdater *velocityUpdater = nullptr;
    QLabel *lblMouseX = nullptr;
    QLabel *lblMouseY = nullptr;
    QLabel *lblVelocity = nullptr;

    // The desktop's screens, their edges and the two screen facts.
    ScreenTableHolder screens;
    const ScreenTable &screenTable() const { return screens.current(); }
    // GUI thread only: each monitor's top and bottom wrap switches by output
    // name, also for monitors unplugged for now; a new table takes them from
    // here, and the settings store keeps them.
    QHash<QString, std::pair<bool, bool>> wrapsByMonitor;
    // GUI thread: the switches of the screens now present into that memory,
    // and from it into a table about to be published.
    void rememberScreenWraps();
    void applyRememberedWraps(ScreenTable &table) const;

    // Settings kept between runs.
    Relaxed<bool> allowLeftWrap{false};
    Relaxed<bool> allowRightWrap{false};
    Relaxed<bool> boolShowToolTip{false};

    // The last cursor sample, with the keys and buttons held then. Written
    // by the GUI thread in answer to an engine request (see samplesStored),
    // or by the engine where it reads the pointer itself.
    Relaxed<int> cursorX{0};
    Relaxed<int> cursorY{0};
    Relaxed<unsigned> cursorKeys{0};
    Relaxed<bool> cursorButtonHeld{false};

    // Controls of the panel, kept between runs too.
    Relaxed<int> curtainOpacityPercent{50};
    Relaxed<bool> screenFocusOn{false};
    // Counts the times Screen Focus was switched on, so the engine notices
    // an off-and-on that came too fast for it to see the off.
    Relaxed<unsigned> screenFocusArmings{0};
    Relaxed<bool> easyMoveOn{false};
    Relaxed<bool> minVelocityOn{false};
    Relaxed<int> minVelocity{0};
    Relaxed<bool> maxVelocityOn{false};
    Relaxed<int> maxVelocity{0};

    // Control at the edge. While the bypass key (a ModifierKey bit, 0 for
    // none) is held, or a mouse button unless wrapWhileButtonHeld, no gated
    // jump happens; with pushThrough above 0 one happens only once the
    // device has pushed that far beyond the edge. While paused nothing
    // moves the cursor and no curtain is up.
    Relaxed<unsigned> bypassModifier{0};
    Relaxed<bool> wrapWhileButtonHeld{false};
    Relaxed<int> pushThrough{0};
    Relaxed<bool> paused{false};

    Relaxed<bool> threadsRunning{false};

    // Whether the window with the readout is shown: while it is hidden in
    // the tray, nobody can read the readout, so it is not refreshed.
    Relaxed<bool> readoutShown{true};

    // Where the platform reports device motion, the engine watches the
    // pointer itself and sleeps between events; elsewhere it polls through
    // the GUI thread. Set before the engine starts.
    PointerWatch *pointerWatch = nullptr;

    // Any thread: ends the engine's current sleep, where it sleeps.
    void wakeEngine()
    {
        if (pointerWatch)
            pointerWatch->wake();
    }

    // Set when a sample should be taken now: the desktop or a switch
    // changed.
    std::atomic<bool> sampleWanted{false};

    // Any thread: asks the engine for a fresh sample, now.
    void requestSample()
    {
        sampleWanted.store(true, std::memory_order_release);
        wakeEngine();
    }

    // The worker threads count themselves out as they end. QThread::wait()
    // is the real join; this release/acquire pair only lets a thread checker
    // see it, as Qt's own wait is invisible to it.
    std::atomic<int> threadsEnded{0};
    void threadEnds() { threadsEnded.fetch_add(1, std::memory_order_release); }
    void threadsJoined() const { threadsEnded.load(std::memory_order_acquire); }

    // How many samples have been stored: by the GUI thread, one per engine
    // request, where the engine polls through it; by the engine itself where
    // it reads the pointer. Published with release: the engine must see
    // cursorX and cursorY at least as new as the count it reads, or its gate
    // on fresh samples would let a stale position through.
    std::atomic<std::uint32_t> samplesStored{0};

    // Stores one cursor sample: on the GUI thread in answer to a request, or
    // on the engine thread where it reads the pointer itself.
    void storeSample(int x, int y, unsigned keys = 0, bool buttonHeld = false)
    {
        cursorX = x;
        cursorY = y;
        cursorKeys = keys;
        cursorButtonHeld = buttonHeld;
        samplesStored.store(samplesStored.load(std::memory_order_relaxed) + 1,
                            std::memory_order_release);
    }

    // GUI thread: publishes a table of the screens in the platform's order.
    void buildScreenTable(const std::vector<ScreenRect> &enumerated,
                          const std::vector<QString> &names = {});
};

// The one instance the program runs on. Tests build their own.
extern EngineState engineState;
