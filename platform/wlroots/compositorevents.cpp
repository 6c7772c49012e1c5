#include "compositorevents.h"

#include "swayevents.h"

std::unique_ptr<CompositorEvents> CompositorEvents::open(QObject *parent)
{
    const QString sway = qEnvironmentVariable("SWAYSOCK");
    if (!sway.isEmpty())
        return SwayEvents::connectTo(sway, parent);
    return nullptr;
}
