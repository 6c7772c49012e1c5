#include "cursorrules.h"

#include <algorithm>

namespace CursorRules {

namespace {

// A warp to a point on no monitor is pulled back by the X server onto the
// monitor the pointer comes from, so a horizontal wrap keeps its x and
// clamps its y into the rows of the screen that holds that x.
CursorMove onScreenAt(const ScreenTable &table, int x, int y)
{
    const int i = table.screenIndexAt(x);
    if (i >= 0) {
        const ScreenRect &r = table.rects[i];
        y = std::clamp(y, r.top, r.bottom);
    }
    return CursorMove{x, y};
}

} // namespace

bool speedAllowsJump(const EngineState &state, int speed)
{
    if (state.minVelocityOn && speed < state.minVelocity)
        return false;
    if (state.maxVelocityOn && speed > state.maxVelocity)
        return false;
    return true;
}

CursorMoves wrapEdges(const EngineState &state, int x, int y, int speed)
{
    CursorMoves moves;
    const ScreenTable &table = state.screenTable;
    if (table.rects.empty())
        return moves;

    const int left = state.desktopLeft;
    const int right = state.desktopRight;
    if (speedAllowsJump(state, speed)) {
        if (x == right && state.allowRightWrap) {
            const CursorMove to = onScreenAt(table, left + 1, y);
            moves.add(to.x, to.y);
        } else if (x == left && state.allowLeftWrap) {
            const CursorMove to = onScreenAt(table, right - 1, y);
            moves.add(to.x, to.y);
        }
    }

    // The vertical test uses the position the step was given, whatever the
    // horizontal test asked for.
    const int i = table.screenIndexAt(x);
    if (i < 0)
        return moves;
    const ScreenRect &r = table.rects[i];
    const ScreenWrapFlags &f = table.wrapFlags[i];
    if (y == r.top && f.wrapTop)
        moves.add(x, r.bottom - 1);
    else if (y == r.bottom && f.wrapBottom)
        moves.add(x, r.top + 1);
    return moves;
}

bool inOverhang(int y, const ScreenRect &current, const ScreenRect &neighbour)
{
    if (neighbour.bottom - neighbour.top >= current.bottom - current.top)
        return false;
    if (neighbour.top == current.top)
        return y > neighbour.bottom;
    return false;
}

bool inUnderhang(int y, const ScreenRect &current, const ScreenRect &neighbour)
{
    if (neighbour.bottom - neighbour.top >= current.bottom - current.top)
        return false;
    if (neighbour.bottom == current.bottom)
        return y < neighbour.top;
    return false;
}

CursorMoves easyMove(const EngineState &state, int x, int y, int speed)
{
    CursorMoves moves;
    if (!state.screenHeightsDiffer || !state.easyMoveOn)
        return moves;
    const ScreenTable &table = state.screenTable;
    const int i = table.screenIndexAt(x);
    if (i < 0 || !speedAllowsJump(state, speed))
        return moves;
    const ScreenRect &c = table.rects[i];
    const int n = table.size();

    if (i > 0 && x == c.left) {
        const ScreenRect &p = table.rects[i - 1];
        if (inOverhang(y, c, p)) {
            // Row "height of the neighbour" lies just below a neighbour whose
            // top is 0; the warp must land on the neighbour's bottom row.
            moves.add(p.right - 1, std::min(p.bottom - p.top + 1, p.bottom));
            return moves;
        }
        if (inUnderhang(y, c, p)) {
            moves.add(p.right - 1, p.top);
            return moves;
        }
    }
    if (i < n - 1 && x == c.right) {
        const ScreenRect &q = table.rects[i + 1];
        if (inOverhang(y, c, q))
            moves.add(q.left + 1, std::min(y, q.bottom));
        else if (inUnderhang(y, c, q))
            moves.add(q.left + 1, q.top);
    }
    return moves;
}

} // namespace CursorRules
