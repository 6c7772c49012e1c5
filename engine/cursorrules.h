#pragma once

#include "snapshot.h"

#include <vector>

// Where a cursor step wants the cursor to go.
struct CursorMove
{
    int x = 0;
    int y = 0;
    bool operator==(const CursorMove &o) const { return x == o.x && y == o.y; }
};

// The moves one step requests, in the order the GUI thread must apply them.
// Edge wrap asks for two at most (a corner), so nothing is allocated.
struct CursorMoves
{
    int count = 0;
    CursorMove at[2];

    void add(int x, int y) { at[count++] = CursorMove{x, y}; }
    bool empty() const { return count == 0; }
};

// The cursor steps as plain functions of a snapshot (the choices and the
// screens) and a sampled position: the engine runs them on each sample and
// makes the moves they return.
namespace CursorRules {

// Edge wrap. Horizontally the whole desktop wraps (allowLeftWrap,
// allowRightWrap) at its outermost columns, onto a screen that reaches the
// far edge; vertically the screen under the cursor wraps by itself (its
// wrapTop, wrapBottom). A corner gives the horizontal move first, then the
// vertical. `jumpAllowed` is the thresholds' verdict: whether a gated jump
// (the horizontal wrap, Easy Move) may happen.
CursorMoves wrapEdges(const Snapshot &state, int x, int y, bool jumpAllowed);

// True when y lies in the part of `current` that reaches below a strictly
// shorter neighbour whose top is level with its own.
bool inOverhang(int y, const ScreenRect &current, const ScreenRect &neighbour);

// True when y lies in the part of `current` that reaches above a strictly
// shorter neighbour whose bottom is level with its own.
bool inUnderhang(int y, const ScreenRect &current, const ScreenRect &neighbour);

// Easy Move: a cursor on a taller screen's side edge, beside a stretch where
// the shorter neighbour has no rows, is carried onto the neighbour's nearest
// row.
CursorMoves easyMove(const Snapshot &state, int x, int y, bool jumpAllowed);

// Cross by physical size. A pointer that crosses from screen A to its
// neighbour B, side by side or stacked, lands on B as many millimetres from
// B's middle as it was from A's (the pair's offset counted: see
// Choices::offsetMm), along the seam; on B's nearest row (column) where B
// does not reach that far. It lands one column (row) inside B, never on
// B's own seam column, so it does not cross back. Only where the choice is
// on and both sizes are known; elsewhere nothing changes. The desktop wraps
// and Easy Move land by the same rule then, and Easy Move carries from the
// rows of A beside which B has none at any alignment.

// Whether crossing between screens a and b (table indices) goes by size:
// the choice on and both sizes known.
bool crossesBySize(const Snapshot &state, int a, int b);

// Whether crossing from a to the screen b that touches it (side by side or
// stacked) lands anywhere but where the pixels meet: by size, and their
// pixel pitches or middles differ. Only there do sensing strips go.
bool seamRemaps(const Snapshot &state, int a, int b);

// Where every motion is sampled (X11, polling): the sample before found the
// pointer at (fromX, fromY), on the neighbour this sample's (x, y) is not on,
// where the window system kept the pixel row (column) across the seam: the
// move to the row (column) by size from that kept one. The earlier sample
// says only which monitor the pointer left.
CursorMoves crossBySize(const Snapshot &state, int fromX, int fromY, int x, int y);

// Where the pointer is sensed on a strip along the seam (contacts): at
// (x, y) on its screen's last column (row) facing a touching neighbour and
// the device moving it (dx, dy) towards that neighbour, it is carried onto
// it, where seamRemaps says the crossing lands elsewhere than the pixels
// meet. Without the motion nothing crosses: a pointer that has just come
// onto the neighbour's first column from across the seam is there too.
CursorMoves crossSeam(const Snapshot &state, int x, int y, double dx, double dy);

// Safe corners: whether a point `along` a side edge of `screen` (its row y
// on the left or right column, `side`) or along its top or bottom row (its
// column x) lies within the corner guard of either end of that edge.
bool cornerGuarded(const Snapshot &state, const ScreenRect &screen, int along, bool side);

// The screens in the map's order: by left edge, then by top edge.
std::vector<int> mapOrder(const ScreenTable &table);
// The screen `step` places from `current` in the map's order, wrapping
// round (`current` -1: counted from before the first); -1 without screens.
int stepThrough(const ScreenTable &table, int current, int step);
// The middle of a screen, where a jump to it lands.
CursorMove middleOf(const ScreenRect &screen);

// Whether (x, y) lies where a jump the thresholds gate would happen if they
// let it: a switched-on desktop edge, or a place Easy Move carries from.
bool atGatedEdge(const Snapshot &state, int x, int y);

// Whether nothing may jump now, wherever the pointer is: Pellmar paused, or
// a window full screen while that holds jumps back.
bool quiet(const Snapshot &state);

// Whether every wrap and Easy Move is held back: quiet, the bypass key
// held, or a button held (dragging) unless jumps are wanted then too.
bool heldBack(const Snapshot &state, unsigned keys, bool buttonHeld);

// The way beyond the side edge the cursor stands on: +1 at a screen's right
// edge, -1 at its left edge, 0 elsewhere. Device motion that way pushes.
int edgeDirection(const Snapshot &state, int x, int y);

// Whether device motion (dx, dy) takes the cursor at (x, y) off an edge of
// its screen, back into the screen: it is leaving the edge, not pushing.
bool leavingEdge(const Snapshot &state, int x, int y, double dx, double dy);

// Whether the velocity thresholds that are switched on let a jump happen at
// this speed (pixels per 150 ms). With both off, every speed does.
bool speedAllowsJump(const Choices &choices, int speed);

} // namespace CursorRules
