#include "enginestate.h"

EngineState engineState;

void EngineState::rememberScreenWraps()
{
    const ScreenTable &table = screenTable();
    for (int i = 0; i < table.size(); ++i) {
        if (!table.names[i].isEmpty())
            wrapsByMonitor[table.names[i]] = {table.wrapFlags[i].wrapTop,
                                              table.wrapFlags[i].wrapBottom};
    }
}

void EngineState::applyRememberedWraps(ScreenTable &table) const
{
    for (int i = 0; i < table.size(); ++i) {
        const auto kept = wrapsByMonitor.constFind(table.names[i]);
        if (kept == wrapsByMonitor.constEnd())
            continue;
        table.wrapFlags[i].wrapTop = kept->first;
        table.wrapFlags[i].wrapBottom = kept->second;
    }
}

void EngineState::buildScreenTable(const std::vector<ScreenRect> &enumerated,
                                   const std::vector<QString> &names)
{
    screens.publish(std::make_unique<ScreenTable>(enumerated, names));
}
