#pragma once

#include <QtGlobal>
#include <array>

struct Choices;

// The velocity thresholds decide once per arrival at an edge where a jump
// may happen: the speed at which the cursor reached the edge lets it jump
// or not, a refused arrival stays refused while the cursor stays on that
// edge, and leaving the edge re-arms. The speed is the distance x covered
// in the last 150 ms, from the engine's samples, so a quick flick from rest
// reads as fast at once; the readout shows the same measure. With a
// push-through distance, the device must also have pushed that far beyond
// the edge since the arrival.
class ArrivalGate
{
public:
    static constexpr qint64 windowMs = 150;

    // Every sample the engine takes.
    void record(qint64 nowMs, int x);
    // Pixels of x covered over the last windowMs.
    int speed(qint64 nowMs) const;

    // Whether a jump may happen for the sample just recorded; `onEdge` says
    // whether it lies where a gated jump would happen, `pushed` how far the
    // device moved beyond the edge since the last sample, and `pushNeeded`
    // how far it must have in all (0: arrival alone decides).
    // `speedSeen`: whether the samples show the speed at all; where they
    // are only contacts with the edges they do not, and the thresholds do
    // not apply.
    bool allows(const Choices &choices, bool onEdge, qint64 nowMs, double pushed = 0,
                int pushNeeded = 0, bool speedSeen = true);

private:
    struct Sample
    {
        qint64 at;
        int x;
    };
    // One entry per millisecond at most: enough for a whole window even
    // when polling every 100 µs.
    std::array<Sample, 256> ring{};
    int newest = -1;
    int count = 0;
    bool decided = false;
    bool allowed = true;
    double push = 0;
};
