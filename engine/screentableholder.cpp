#include "screentableholder.h"

ScreenTableHolder::ScreenTableHolder() : table(new ScreenTable()) {}

ScreenTableHolder::~ScreenTableHolder()
{
    // Nothing runs any more that could hold a table.
    delete table.load();
}

void ScreenTableHolder::publish(std::unique_ptr<ScreenTable> next)
{
    ScreenTable *old = table.exchange(next.release());
    ++published;
    retired.push_back(Retired{std::unique_ptr<ScreenTable>(old), passes.load()});
    reclaim();
}

void ScreenTableHolder::reclaim()
{
    if (retired.empty())
        return;
    const std::uint64_t now = passes.load();
    std::size_t kept = 0;
    for (Retired &r : retired) {
        // Even at the swap: no pass was running, and every later one loads
        // the new table. Odd: the pass then running may hold the old one
        // until it ends.
        const bool free = r.passesAtSwap % 2 == 0 || now > r.passesAtSwap;
        if (!free)
            retired[kept++] = std::move(r);
    }
    retired.resize(kept);
}
