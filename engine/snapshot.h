#pragma once

#include "choices.h"
#include "screentable.h"

#include <cstdint>

// What the rules read: the choices and the screens as they were when the
// application published them, the screens' switches taken from the
// choices. Immutable once published, so the engine reads it without a lock.
struct Snapshot
{
    Choices choices;
    ScreenTable screens;
    // Counts the desktop's layouts: a screen index the engine reports is
    // one of this layout's, and means nothing in another.
    std::uint64_t layout = 0;
    // The focused window fills its screen (a game, a presentation), where
    // the desktop tells it.
    bool fullscreen = false;
    // The screen the pointer is locked to (its index), -1 for none: no rule
    // takes it off that screen.
    int lockedScreen = -1;
};
