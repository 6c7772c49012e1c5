#include "kdeplatform.h"

#include "fakeinputmover.h"
#include "kwinscript.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString installAdvice()
{
    return QString("KWin lets only an installed Pellmar move the pointer: it trusts the program "
                   "its menu entry names, and this one runs from %1. Install Pellmar (cmake "
                   "--install, or the .deb) and start the installed one; KDE reads a new menu "
                   "entry at login, or at once after kbuildsycoca6.")
        .arg(QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}

} // namespace

KdePlatform::KdePlatform(QObject *parent)
    : WaylandPlatform(
          Grants{
              "org_kde_kwin_fake_input",
              [] { return std::make_unique<FakeInputMover>(FakeInputMover::edgeBarrierSetting()); },
              "does not let this Pellmar move the pointer (no fake input)", installAdvice(),
              [] { return KwinScript::load(); }},
          parent)
{
}

DesktopFeatures KdePlatform::features()
{
    PointerWatch *pointer = pointerWatch();
    return featuresFor(cursorControlNotice(), surfaces(), eventsConnected(),
                       !pointer || pointer->reportsMotion());
}

DesktopFeatures KdePlatform::featuresFor(const QString &notice, bool surfaces, bool script,
                                         bool motion)
{
    DesktopFeatures f;
    if (!surfaces)
        f.deny(Feature::ScreenFocus, "Screen Focus cannot work here: KWin does not let programs "
                                     "darken its screens (no layer-shell protocol).");
    if (!notice.isEmpty()) {
        for (const Feature feature : DesktopFeatures::all()) {
            if (feature != Feature::Tray && feature != Feature::StartAtLogin &&
                feature != Feature::ScreenFocus && feature != Feature::QuietInFullscreen &&
                feature != Feature::ReadoutPosition)
                f.deny(feature, notice);
        }
    }
    if (!script) {
        const QString why = "KWin did not run Pellmar's script (pellmar/kwin/pellmar.js under "
                            "Pellmar's data folder), which tells which screen holds the pointer "
                            "and whether a window is full screen.";
        f.deny({Feature::ScreenFocus, Feature::QuietInFullscreen, Feature::ReadoutPosition}, why);
    }
    clientLimits(f, motion);
    f.allowIf(Feature::ReadoutPosition, "while the window is shown");
    f.allowIf(Feature::Tray, "with Plasma's system tray");
    return f;
}
