#include "arrivalgate.h"

#include "cursorrules.h"

#include <cstdlib>

void ArrivalGate::record(qint64 nowMs, int x)
{
    const int n = static_cast<int>(ring.size());
    if (count > 0 && ring[newest].at == nowMs) {
        ring[newest].x = x; // the same millisecond: keep the latest
        return;
    }
    newest = (newest + 1) % n;
    ring[newest] = Sample{nowMs, x};
    if (count < n)
        ++count;
}

int ArrivalGate::speed(qint64 nowMs) const
{
    if (count == 0)
        return 0;
    const int n = static_cast<int>(ring.size());
    // x as it was windowMs ago: the latest sample at or before then, else
    // the oldest known.
    int then = newest;
    for (int k = 0; k < count; ++k) {
        then = (newest - k + n) % n;
        if (ring[then].at <= nowMs - windowMs)
            break;
    }
    return std::abs(ring[newest].x - ring[then].x);
}

bool ArrivalGate::allows(const Choices &choices, bool onEdge, qint64 nowMs, double pushed,
                         int pushNeeded, bool speedSeen)
{
    if (!onEdge) {
        decided = false;
        return true;
    }
    if (!decided) {
        // The motion that brought the cursor here is no push beyond it.
        decided = true;
        allowed = !speedSeen || CursorRules::speedAllowsJump(choices, speed(nowMs));
        push = 0;
    } else if (pushed > 0) {
        push += pushed;
    }
    return allowed && push >= pushNeeded;
}
