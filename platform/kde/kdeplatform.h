#pragma once

#include "waylandplatform.h"

// KDE Plasma on Wayland, as KWin lets a program act there: the edges are
// watched by the same layer-shell strips as on wlroots, the pointer is
// moved by KWin's fake input (granted only to the installed Pellmar), and
// what only KWin knows (the output under the pointer, full screen, the
// position for the readout) comes from Pellmar's KWin script.
class KdePlatform : public WaylandPlatform
{
    Q_OBJECT

public:
    explicit KdePlatform(QObject *parent = nullptr);

    DesktopFeatures features() override;
    // `notice` says why the pointer cannot be moved (empty where it can);
    // `surfaces`, whether layer surfaces may go up; `script`, whether KWin
    // runs Pellmar's script; `motion`, whether device motion is heard.
    static DesktopFeatures featuresFor(const QString &notice, bool surfaces, bool script,
                                       bool motion);
};
