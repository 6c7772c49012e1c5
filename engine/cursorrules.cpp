#include "cursorrules.h"

#include <algorithm>

namespace CursorRules {

namespace {

// A warp to a point on no monitor is pulled back by the X server onto the
// monitor the pointer comes from, so a horizontal wrap lands on a screen at
// the far edge, its y clamped into that screen's rows.
CursorMove acrossTheDesktop(const ScreenTable &table, bool toLeftEdge, int y)
{
    const int x = toLeftEdge ? table.desktopLeft + 1 : table.desktopRight - 1;
    const int i = table.screenOnDesktopEdge(toLeftEdge, y);
    if (i >= 0)
        y = std::clamp(y, table.rects[i].top, table.rects[i].bottom);
    return CursorMove{x, y};
}

// Locked to a screen, no move may land off it.
CursorMoves keptOnLockedScreen(const Snapshot &state, const CursorMoves &moves)
{
    const int locked = state.lockedScreen;
    if (locked < 0 || locked >= state.screens.size())
        return moves;
    CursorMoves kept;
    for (int k = 0; k < moves.count; ++k) {
        if (state.screens.rects[locked].contains(moves.at[k].x, moves.at[k].y))
            kept.add(moves.at[k].x, moves.at[k].y);
    }
    return kept;
}

} // namespace

bool speedAllowsJump(const Choices &choices, int speed)
{
    if (choices.minVelocityOn && speed < choices.minVelocity)
        return false;
    if (choices.maxVelocityOn && speed > choices.maxVelocity)
        return false;
    return true;
}

std::vector<int> mapOrder(const ScreenTable &table)
{
    std::vector<int> order(table.rects.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = int(k);
    std::stable_sort(order.begin(), order.end(), [&table](int a, int b) {
        const ScreenRect &p = table.rects[a], &q = table.rects[b];
        return p.left != q.left ? p.left < q.left : p.top < q.top;
    });
    return order;
}

int stepThrough(const ScreenTable &table, int current, int step)
{
    const std::vector<int> order = mapOrder(table);
    const int n = int(order.size());
    if (n == 0)
        return -1;
    const auto at = std::find(order.begin(), order.end(), current);
    // From nowhere, the first step forward is the first screen, and back the
    // last.
    const int from = at != order.end() ? int(at - order.begin()) : (step > 0 ? -1 : n);
    return order[((from + step) % n + n) % n];
}

CursorMove middleOf(const ScreenRect &r)
{
    return CursorMove{r.left + r.width() / 2, r.top + r.height() / 2};
}

bool cornerGuarded(const Snapshot &state, const ScreenRect &r, int along, bool side)
{
    const int guard = state.choices.cornerGuard;
    if (guard <= 0)
        return false;
    const int first = side ? r.top : r.left;
    const int last = side ? r.bottom : r.right;
    return along - first < guard || last - along < guard;
}

CursorMoves wrapEdges(const Snapshot &state, int x, int y, bool jumpAllowed)
{
    CursorMoves moves;
    const ScreenTable &table = state.screens;
    if (table.rects.empty())
        return moves;
    const int i = table.screenIndexAt(x, y);

    if (jumpAllowed && !(i >= 0 && cornerGuarded(state, table.rects[i], y, true))) {
        if (x == table.desktopRight && state.choices.allowRightWrap) {
            const CursorMove to = acrossTheDesktop(table, true, y);
            moves.add(to.x, to.y);
        } else if (x == table.desktopLeft && state.choices.allowLeftWrap) {
            const CursorMove to = acrossTheDesktop(table, false, y);
            moves.add(to.x, to.y);
        }
    }

    // The vertical test uses the position the step was given, whatever the
    // horizontal test asked for.
    if (i < 0 || cornerGuarded(state, table.rects[i], x, false))
        return keptOnLockedScreen(state, moves);
    const ScreenRect &r = table.rects[i];
    const MonitorWraps &f = table.wraps[i];
    if (y == r.top && f.top)
        moves.add(x, r.bottom - 1);
    else if (y == r.bottom && f.bottom)
        moves.add(x, r.top + 1);
    return keptOnLockedScreen(state, moves);
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

bool atGatedEdge(const Snapshot &state, int x, int y)
{
    const ScreenTable &table = state.screens;
    if (table.rects.empty())
        return false;
    const int i = table.screenIndexAt(x, y);
    if (((x == table.desktopRight && state.choices.allowRightWrap) ||
         (x == table.desktopLeft && state.choices.allowLeftWrap)) &&
        !(i >= 0 && cornerGuarded(state, table.rects[i], y, true)))
        return true;
    return !easyMove(state, x, y, true).empty();
}

bool quiet(const Snapshot &state)
{
    return state.choices.paused || (state.fullscreen && state.choices.pauseInFullscreen);
}

bool heldBack(const Snapshot &state, unsigned keys, bool buttonHeld)
{
    const unsigned bypass = state.choices.bypassModifier;
    return quiet(state) || (bypass != 0 && (keys & bypass) != 0) ||
           (buttonHeld && !state.choices.wrapWhileButtonHeld);
}

int edgeDirection(const Snapshot &state, int x, int y)
{
    const ScreenTable &table = state.screens;
    const int i = table.screenIndexAt(x, y);
    if (i < 0)
        return 0;
    return x == table.rects[i].right ? 1 : x == table.rects[i].left ? -1 : 0;
}

CursorMoves easyMove(const Snapshot &state, int x, int y, bool jumpAllowed)
{
    CursorMoves moves;
    const ScreenTable &table = state.screens;
    if (!table.screenHeightsDiffer || !state.choices.easyMove)
        return moves;
    const int i = table.screenIndexAt(x, y);
    if (i < 0 || !jumpAllowed || cornerGuarded(state, table.rects[i], y, true))
        return moves;
    const ScreenRect &c = table.rects[i];

    const int prev = x == c.left ? table.neighbour(i, true) : -1;
    if (prev >= 0) {
        const ScreenRect &p = table.rects[prev];
        if (inOverhang(y, c, p)) {
            moves.add(p.right - 1, p.bottom);
            return keptOnLockedScreen(state, moves);
        }
        if (inUnderhang(y, c, p)) {
            moves.add(p.right - 1, p.top);
            return keptOnLockedScreen(state, moves);
        }
    }
    const int next = x == c.right ? table.neighbour(i, false) : -1;
    if (next >= 0) {
        const ScreenRect &q = table.rects[next];
        if (inOverhang(y, c, q))
            moves.add(q.left + 1, std::min(y, q.bottom));
        else if (inUnderhang(y, c, q))
            moves.add(q.left + 1, q.top);
    }
    return keptOnLockedScreen(state, moves);
}

} // namespace CursorRules
