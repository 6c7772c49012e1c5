#pragma once

#include "pointerwatch.h"

// The pointer's state mask as X11 has it, and GNOME Shell's Clutter after
// it: the same bits for the modifier keys and the buttons.
namespace PointerState {

// A reading at (x, y) with the keys and buttons `mask` says are held.
PointerReading fromMask(int x, int y, unsigned mask);

} // namespace PointerState
