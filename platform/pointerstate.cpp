#include "pointerstate.h"

namespace PointerState {

PointerReading fromMask(int x, int y, unsigned mask)
{
    // Mod1 is Alt and Mod4 the Super ("Windows") key on every common
    // keyboard map; Clutter also sets a Super bit of its own (1 << 26).
    PointerReading r;
    r.x = x;
    r.y = y;
    const struct
    {
        unsigned bit;
        ModifierKey key;
    } keys[] = {
        {0x1, ShiftKey}, {0x4, ControlKey}, {0x8, AltKey}, {0x40, MetaKey}, {1u << 26, MetaKey}};
    for (const auto &k : keys) {
        if (mask & k.bit)
            r.keys |= k.key;
    }
    r.buttonHeld = (mask & 0x1f00) != 0; // buttons 1 to 5
    return r;
}

} // namespace PointerState
