#include "contactsource.h"

unsigned long ContactSource::turn(qint64 now, bool, SampleSink &sink)
{
    // A look asked for finds nothing new: only a contact tells where the
    // pointer is.
    sample(now, sink);
    return untilWoken;
}

void ContactSource::wait(unsigned long us)
{
    watch.waitForMotion(us == untilWoken ? -1 : static_cast<int>((us + 999) / 1000), true);
}
