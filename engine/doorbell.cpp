#include "doorbell.h"

void Doorbell::ring()
{
    // Only the first ring of a doze releases, so a burst of motion events
    // cannot pile up permits.
    if (dozing.exchange(false, std::memory_order_acq_rel))
        bell.release();
}

bool Doorbell::doze(int timeoutMs)
{
    dozing.store(true, std::memory_order_release);
    if (bell.tryAcquire(1, timeoutMs))
        return true;
    if (!dozing.exchange(false, std::memory_order_acq_rel)) {
        // A ring came as the time ran out and its release is on its way:
        // take it, so the next doze does not end at once.
        bell.acquire();
        return true;
    }
    return false;
}
