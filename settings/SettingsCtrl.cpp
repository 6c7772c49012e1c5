#include "SettingsCtrl.h"

#include "enginestate.h"

#include <QDebug>
#include <QSettings>

namespace {
const char organisation[] = "Brenvik";
const char application[] = "Pellmar";
} // namespace

void SettingsCtrl::loadSettings()
{
    qDebug() << "Settings: Loading Settings...\n";
    QSettings settings(organisation, application);
    engineState.boolShowToolTip = settings.value("boolShowToolTip", true).toBool();
    engineState.allowLeftWrap = settings.value("allowLeftWrap", false).toBool();
    engineState.allowRightWrap = settings.value("allowRightWrap", false).toBool();
}

void SettingsCtrl::saveSettings()
{
    qDebug() << "Settings: Saving Settings...\n";
    QSettings settings(organisation, application);
    settings.setValue("boolShowToolTip", engineState.boolShowToolTip.load());
    settings.setValue("allowLeftWrap", engineState.allowLeftWrap.load());
    settings.setValue("allowRightWrap", engineState.allowRightWrap.load());
    settings.sync();
    // Nothing more can be done about it at exit, but the user should be able
    // to find out why a choice was not kept.
    if (settings.status() == QSettings::AccessError)
        qWarning().noquote() << "Settings: could not save to" << settings.fileName();
}
