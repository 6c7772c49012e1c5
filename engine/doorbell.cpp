#include "doorbell.h"

void Doorbell::ring()
{
    // At most one permit waits: a burst of motion events cannot pile them
    // up, and a ring that comes while the engine is busy is not lost; its
    // next doze ends at once.
    if (!pending.exchange(true, std::memory_order_acq_rel))
        bell.release();
}

bool Doorbell::doze(int timeoutMs)
{
    if (!bell.tryAcquire(1, timeoutMs))
        return false;
    // Cleared before the engine samples, so any motion after this point
    // rings anew.
    pending.store(false, std::memory_order_release);
    return true;
}
