#include "cursorrules.h"

#include <algorithm>

namespace CursorRules {

namespace {

// How screen b lies against screen a.
enum class Seam
{
    None,
    Beside,  // wholly left or right of it, sharing a row
    Stacked, // wholly above or below it, sharing a column
};

Seam seamOf(const ScreenRect &a, const ScreenRect &b)
{
    const bool sharesRows = a.top <= b.bottom && b.top <= a.bottom;
    const bool sharesColumns = a.left <= b.right && b.left <= a.right;
    if (sharesRows && (b.left > a.right || b.right < a.left))
        return Seam::Beside;
    if (sharesColumns && (b.top > a.bottom || b.bottom < a.top))
        return Seam::Stacked;
    return Seam::None;
}

// Rounds towards minus infinity, where / truncates towards 0.
qint64 floorDiv(qint64 n, qint64 d)
{
    return n / d - ((n % d != 0) && ((n < 0) != (d < 0)) ? 1 : 0);
}

// A pixel's middle along A, in millimetres from A's middle, is the same
// place on the desk as one along B, their pair's offset counted: the row
// (`beside`) or column of B whose pixels hold it, or B's nearest. Whole
// numbers throughout, so equal pitches and level middles give exactly the
// pixel they started from.
int landing(const Snapshot &s, int a, int b, int along, bool beside)
{
    const ScreenTable &t = s.screens;
    const ScreenRect &ra = t.rects[a], &rb = t.rects[b];
    const qint64 aFirst = beside ? ra.top : ra.left, aPx = beside ? ra.height() : ra.width();
    const qint64 bFirst = beside ? rb.top : rb.left, bPx = beside ? rb.height() : rb.width();
    const qint64 aMm = beside ? t.physicalMm[a].height() : t.physicalMm[a].width();
    const qint64 bMm = beside ? t.physicalMm[b].height() : t.physicalMm[b].width();
    const qint64 k = std::clamp<qint64>(along - aFirst, 0, aPx - 1);
    // The offset counts towards smaller coordinates: up, or to the left.
    const qint64 offset = s.choices.offsetMm(t.names[a], t.names[b]);
    // ((k + 1/2 - aPx/2) aMm/aPx + offset) bPx/bMm + bPx/2, over one
    // denominator.
    const qint64 n = (2 * k + 1 - aPx) * aMm * bPx + 2 * offset * aPx * bPx + aPx * bMm * bPx;
    const qint64 at = floorDiv(n, 2 * aPx * bMm);
    return int(bFirst + std::clamp<qint64>(at, 0, bPx - 1));
}

// A warp to a point on no monitor is pulled back by the X server onto the
// monitor the pointer comes from, so a horizontal wrap lands on a screen at
// the far edge, its y clamped into that screen's rows, or by size from the
// screen `from` it leaves.
CursorMove acrossTheDesktop(const Snapshot &s, int from, bool toLeftEdge, int y)
{
    const ScreenTable &table = s.screens;
    const int x = toLeftEdge ? table.desktopLeft + 1 : table.desktopRight - 1;
    const int i = table.screenOnDesktopEdge(toLeftEdge, y);
    if (i >= 0 && from >= 0 && from != i && crossesBySize(s, from, i))
        y = landing(s, from, i, y, true);
    else if (i >= 0)
        y = std::clamp(y, table.rects[i].top, table.rects[i].bottom);
    return CursorMove{x, y};
}

// The point on B one column (row) inside from its seam with A, at `to`
// along it, or further in where `past` already is.
CursorMove insideFrom(const ScreenRect &ra, const ScreenRect &rb, bool beside, int to, int past)
{
    if (beside) {
        const int x =
            rb.left > ra.right ? std::max(past, rb.left + 1) : std::min(past, rb.right - 1);
        return CursorMove{x, to};
    }
    const int y = rb.top > ra.bottom ? std::max(past, rb.top + 1) : std::min(past, rb.bottom - 1);
    return CursorMove{to, y};
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
            const CursorMove to = acrossTheDesktop(state, i, true, y);
            moves.add(to.x, to.y);
        } else if (x == table.desktopLeft && state.choices.allowLeftWrap) {
            const CursorMove to = acrossTheDesktop(state, i, false, y);
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

bool leavingEdge(const Snapshot &state, int x, int y, double dx, double dy)
{
    const ScreenTable &table = state.screens;
    const int i = table.screenIndexAt(x, y);
    if (i < 0)
        return false;
    const ScreenRect &r = table.rects[i];
    return (x == r.left && dx > 0) || (x == r.right && dx < 0) || (y == r.top && dy > 0) ||
           (y == r.bottom && dy < 0);
}

namespace {

// Easy Move from screen i at row y of its side column onto its neighbour n
// (left of it when `toLeft`): beside rows n lacks, at any alignment when by
// size (unless another screen holds the row across), else beside its
// overhang or underhang. False where it does not carry.
bool carry(const Snapshot &s, int i, int n, int x, int y, bool toLeft, CursorMoves &moves)
{
    const ScreenTable &table = s.screens;
    const ScreenRect &c = table.rects[i], &q = table.rects[n];
    const int landX = toLeft ? q.right - 1 : q.left + 1;
    if (crossesBySize(s, i, n)) {
        if ((y >= q.top && y <= q.bottom) || table.screenIndexAt(toLeft ? x - 1 : x + 1, y) >= 0)
            return false;
        moves.add(landX, landing(s, i, n, y, true));
        return true;
    }
    if (!s.choices.easyMove)
        return false;
    if (inOverhang(y, c, q))
        moves.add(landX, toLeft ? q.bottom : std::min(y, q.bottom));
    else if (inUnderhang(y, c, q))
        moves.add(landX, q.top);
    return !moves.empty();
}

} // namespace

CursorMoves easyMove(const Snapshot &state, int x, int y, bool jumpAllowed)
{
    CursorMoves moves;
    const ScreenTable &table = state.screens;
    // Crossing by size carries from the rows beside which the neighbour has
    // no pixels, Easy Move or not: on the desk it may well be there.
    if (!(state.choices.easyMove && table.screenHeightsDiffer) &&
        !state.choices.crossByPhysicalSize)
        return moves;
    const int i = table.screenIndexAt(x, y);
    if (i < 0 || !jumpAllowed || cornerGuarded(state, table.rects[i], y, true))
        return moves;
    const ScreenRect &c = table.rects[i];

    const int prev = x == c.left ? table.neighbour(i, true) : -1;
    if (prev >= 0 && carry(state, i, prev, x, y, true, moves))
        return keptOnLockedScreen(state, moves);
    const int next = x == c.right ? table.neighbour(i, false) : -1;
    if (next >= 0)
        carry(state, i, next, x, y, false, moves);
    return keptOnLockedScreen(state, moves);
}

bool crossesBySize(const Snapshot &state, int a, int b)
{
    const ScreenTable &t = state.screens;
    if (!state.choices.crossByPhysicalSize || a < 0 || b < 0 || a == b || a >= t.size() ||
        b >= t.size())
        return false;
    return !t.physicalMm[a].isEmpty() && !t.physicalMm[b].isEmpty();
}

bool seamRemaps(const Snapshot &state, int a, int b)
{
    if (!crossesBySize(state, a, b))
        return false;
    const ScreenTable &t = state.screens;
    const ScreenRect &ra = t.rects[a], &rb = t.rects[b];
    const Seam seam = seamOf(ra, rb);
    if (seam == Seam::None)
        return false;
    const bool beside = seam == Seam::Beside;
    const qint64 aMm = beside ? t.physicalMm[a].height() : t.physicalMm[a].width();
    const qint64 bMm = beside ? t.physicalMm[b].height() : t.physicalMm[b].width();
    const qint64 aPx = beside ? ra.height() : ra.width(), bPx = beside ? rb.height() : rb.width();
    // Equal pitches move every pixel by the same whole number of pixels:
    // where one shared pixel stays, all do.
    if (aMm * bPx != bMm * aPx)
        return true;
    const int first = beside ? std::max(ra.top, rb.top) : std::max(ra.left, rb.left);
    return landing(state, a, b, first, beside) != first;
}

CursorMoves crossBySize(const Snapshot &state, int fromX, int fromY, int x, int y)
{
    CursorMoves moves;
    const ScreenTable &t = state.screens;
    if (!state.choices.crossByPhysicalSize || !t.multipleScreens)
        return moves;
    const int a = t.screenIndexAt(fromX, fromY), b = t.screenIndexAt(x, y);
    if (!crossesBySize(state, a, b))
        return moves;
    const ScreenRect &ra = t.rects[a], &rb = t.rects[b];
    const Seam seam = seamOf(ra, rb);
    const bool beside = seam == Seam::Beside;
    // The row (column) the window system kept across the seam: the earlier
    // sample may be older than the last jump, reads being at most one a
    // frame.
    const int along = beside ? y : x;
    // Off A's rows (columns) it came by no seam: a tablet's or another
    // program's jump.
    const bool kept =
        beside ? ra.top <= along && along <= ra.bottom : ra.left <= along && along <= ra.right;
    if (seam == Seam::None || !kept || cornerGuarded(state, ra, along, beside))
        return moves;
    const int to = landing(state, a, b, along, beside);
    // Where the window system put it already, it stays.
    if (to == (beside ? y : x))
        return moves;
    const CursorMove at = insideFrom(ra, rb, beside, to, beside ? x : y);
    moves.add(at.x, at.y);
    return keptOnLockedScreen(state, moves);
}

CursorMoves crossSeam(const Snapshot &state, int x, int y, double dx, double dy)
{
    CursorMoves moves;
    const ScreenTable &t = state.screens;
    if (!state.choices.crossByPhysicalSize || !t.multipleScreens)
        return moves;
    const int a = t.screenIndexAt(x, y);
    if (a < 0)
        return moves;
    const ScreenRect &ra = t.rects[a];
    // The pixel across each edge the pointer is on: beside first, a
    // corner's other way after.
    struct Across
    {
        bool onEdge;
        int dx;
        int dy;
    };
    const Across ways[] = {
        {x == ra.right, 1, 0}, {x == ra.left, -1, 0}, {y == ra.bottom, 0, 1}, {y == ra.top, 0, -1}};
    for (const Across &w : ways) {
        const bool towards = w.dx * dx + w.dy * dy > 0;
        const int b = w.onEdge && towards ? t.screenIndexAt(x + w.dx, y + w.dy) : -1;
        const bool beside = w.dx != 0;
        const int along = beside ? y : x;
        // Where the pixels meet at the same place on the desk, the pointer
        // crosses by itself.
        if (b < 0 || b == a || !seamRemaps(state, a, b) || cornerGuarded(state, ra, along, beside))
            continue;
        const ScreenRect &rb = t.rects[b];
        const CursorMove at =
            insideFrom(ra, rb, beside, landing(state, a, b, along, beside), beside ? x : y);
        moves.add(at.x, at.y);
        break;
    }
    return keptOnLockedScreen(state, moves);
}

} // namespace CursorRules
