#include "enginestate.h"

EngineState engineState;

void EngineState::buildScreenTable(const std::vector<ScreenRect> &enumerated,
                                   const std::vector<QString> &names)
{
    screens.publish(std::make_unique<ScreenTable>(enumerated, names));
}
