#include "SettingsCtrl.h"

#include "enginestate.h"

#include <QDebug>
#include <QSettings>

namespace {

const char organisation[] = "Brenvik";
const char application[] = "Pellmar";
const char monitorsGroup[] = "Choices/Monitors";

// One stored choice: where it lives in the engine state and its default.
struct Key
{
    const char *name;
    Relaxed<bool> EngineState::*flag;  // a switch, or
    Relaxed<int> EngineState::*number; // a whole number in [low, high]
    int fallback;
    int low;
    int high;
};

// Every key that load and save walk, in the order they are written.
const Key keys[] = {
    {"boolShowToolTip", &EngineState::boolShowToolTip, nullptr, true, 0, 1},
    {"allowLeftWrap", &EngineState::allowLeftWrap, nullptr, false, 0, 1},
    {"allowRightWrap", &EngineState::allowRightWrap, nullptr, false, 0, 1},
    {"Choices/easyMove", &EngineState::easyMoveOn, nullptr, false, 0, 1},
    {"Choices/minVelocityOn", &EngineState::minVelocityOn, nullptr, false, 0, 1},
    {"Choices/minVelocity", nullptr, &EngineState::minVelocity, 0, 0, 10000},
    {"Choices/maxVelocityOn", &EngineState::maxVelocityOn, nullptr, false, 0, 1},
    {"Choices/maxVelocity", nullptr, &EngineState::maxVelocity, 0, 0, 10000},
    {"Choices/screenFocus", &EngineState::screenFocusOn, nullptr, false, 0, 1},
    {"Choices/screenFocusDarkness", nullptr, &EngineState::curtainOpacityPercent, 50, 0, 100},
};

// The switches of the screens now present, into the memory by monitor.
void rememberScreenWraps(EngineState &state)
{
    const ScreenTable &table = state.screenTable();
    for (int i = 0; i < table.size(); ++i) {
        if (!table.names[i].isEmpty())
            state.wrapsByMonitor[table.names[i]] = {table.wrapFlags[i].wrapTop,
                                                    table.wrapFlags[i].wrapBottom};
    }
}

bool save()
{
    EngineState &state = engineState;
    rememberScreenWraps(state);
    QSettings settings(organisation, application);
    for (const Key &k : keys) {
        if (k.flag)
            settings.setValue(k.name, (state.*k.flag).load());
        else
            settings.setValue(k.name, (state.*k.number).load());
    }
    settings.beginGroup(monitorsGroup);
    for (auto it = state.wrapsByMonitor.cbegin(); it != state.wrapsByMonitor.cend(); ++it) {
        settings.setValue(it.key() + "/wrapTop", it.value().first);
        settings.setValue(it.key() + "/wrapBottom", it.value().second);
    }
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

bool SettingsCtrl::readBool(const QString &key, const QVariant &value, bool fallback)
{
    if (!value.isValid())
        return fallback;
    if (value.userType() == QMetaType::Bool)
        return value.toBool();
    const QString word = value.toString().trimmed().toLower();
    if (word == "true" || word == "yes" || word == "on" || word == "1")
        return true;
    if (word == "false" || word == "no" || word == "off" || word == "0")
        return false;
    qWarning().noquote() << "Settings:" << key << "is not a yes or no:" << value.toString()
                         << "- using" << (fallback ? "true" : "false");
    return fallback;
}

int SettingsCtrl::readInt(const QString &key, const QVariant &value, int fallback, int low,
                          int high)
{
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const int n = value.toString().trimmed().toInt(&ok);
    if (ok && n >= low && n <= high)
        return n;
    qWarning().noquote() << "Settings:" << key << "is not a number from" << low << "to" << high
                         << ":" << value.toString() << "- using" << fallback;
    return fallback;
}

void SettingsCtrl::loadSettings()
{
    qDebug() << "Settings: Loading Settings...\n";
    EngineState &state = engineState;
    QSettings settings(organisation, application);
    for (const Key &k : keys) {
        const QVariant v = settings.value(k.name);
        if (k.flag)
            state.*k.flag = readBool(k.name, v, k.fallback != 0);
        else
            state.*k.number = readInt(k.name, v, k.fallback, k.low, k.high);
    }
    settings.beginGroup(monitorsGroup);
    for (const QString &monitor : settings.childGroups()) {
        const QString top = monitor + "/wrapTop", bottom = monitor + "/wrapBottom";
        state.wrapsByMonitor[monitor] = {readBool(top, settings.value(top), false),
                                         readBool(bottom, settings.value(bottom), false)};
    }
    settings.endGroup();
}

void SettingsCtrl::saveSettings()
{
    qDebug() << "Settings: Saving Settings...\n";
    saveChoices();
}

bool SettingsCtrl::saveChoices()
{
    const bool ok = save();
    // Said once: the user should be able to find out why a choice was not
    // kept, without a line for every click.
    static bool warned = false;
    if (!ok && !warned) {
        warned = true;
        qWarning().noquote() << "Settings: could not save to"
                             << QSettings(organisation, application).fileName();
    }
    return ok;
}
