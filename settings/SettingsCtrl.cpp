#include "SettingsCtrl.h"

#include "enginestate.h"

#include <QDebug>
#include <QSettings>

namespace {

const char organisation[] = "Brenvik";
const char application[] = "Pellmar";
const char monitorsGroup[] = "Choices/Monitors";

// The words of a key that holds one of a few choices, and their values.
struct Word
{
    const char *word;
    unsigned value;
};
const Word modifierWords[] = {{"none", 0},     {"shift", ShiftKey}, {"ctrl", ControlKey},
                              {"alt", AltKey}, {"meta", MetaKey},   {nullptr, 0}};

// One stored choice: where it lives in the engine state and its default.
struct Key
{
    const char *name;
    Relaxed<bool> EngineState::*flag;     // a switch, or
    Relaxed<int> EngineState::*number;    // a whole number in [low, high], or
    Relaxed<unsigned> EngineState::*word; // one of `words`
    int fallback;
    int low;
    int high;
    const Word *words;
};

// Every key that load and save walk, in the order they are written.
constexpr Relaxed<bool> EngineState::*noFlag = nullptr;
constexpr Relaxed<int> EngineState::*noNumber = nullptr;
constexpr Relaxed<unsigned> EngineState::*noWord = nullptr;

const Key keys[] = {
    {"boolShowToolTip", &EngineState::boolShowToolTip, noNumber, noWord, true, 0, 1, nullptr},
    {"allowLeftWrap", &EngineState::allowLeftWrap, noNumber, noWord, false, 0, 1, nullptr},
    {"allowRightWrap", &EngineState::allowRightWrap, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/easyMove", &EngineState::easyMoveOn, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/minVelocityOn", &EngineState::minVelocityOn, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/minVelocity", noFlag, &EngineState::minVelocity, noWord, 0, 0, 10000, nullptr},
    {"Choices/maxVelocityOn", &EngineState::maxVelocityOn, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/maxVelocity", noFlag, &EngineState::maxVelocity, noWord, 0, 0, 10000, nullptr},
    {"Choices/screenFocus", &EngineState::screenFocusOn, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/screenFocusDarkness", noFlag, &EngineState::curtainOpacityPercent, noWord, 50, 0, 100,
     nullptr},
    {"Choices/paused", &EngineState::paused, noNumber, noWord, false, 0, 1, nullptr},
    {"Cursor/bypassModifier", noFlag, noNumber, &EngineState::bypassModifier, 0, 0, 0,
     modifierWords},
    {"Cursor/wrapWhileButtonHeld", &EngineState::wrapWhileButtonHeld, noNumber, noWord, false, 0, 1,
     nullptr},
    {"Cursor/pushThrough", noFlag, &EngineState::pushThrough, noWord, 0, 0, 500, nullptr},
};

QString wordOf(const Word *words, unsigned value)
{
    for (const Word *w = words; w->word; ++w) {
        if (w->value == value)
            return w->word;
    }
    return words->word;
}

unsigned valueOf(const QString &key, const Word *words, const QVariant &stored, unsigned fallback)
{
    if (!stored.isValid())
        return fallback;
    const QString word = stored.toString().trimmed().toLower();
    for (const Word *w = words; w->word; ++w) {
        if (word == w->word)
            return w->value;
    }
    qWarning().noquote() << "Settings:" << key
                         << "is none of the words it takes:" << stored.toString() << "- using"
                         << wordOf(words, fallback);
    return fallback;
}

bool save()
{
    EngineState &state = engineState;
    state.rememberScreenWraps();
    QSettings settings(organisation, application);
    for (const Key &k : keys) {
        if (k.flag)
            settings.setValue(k.name, (state.*k.flag).load());
        else if (k.number)
            settings.setValue(k.name, (state.*k.number).load());
        else
            settings.setValue(k.name, wordOf(k.words, (state.*k.word).load()));
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
        else if (k.number)
            state.*k.number = readInt(k.name, v, k.fallback, k.low, k.high);
        else
            state.*k.word = valueOf(k.name, k.words, v, static_cast<unsigned>(k.fallback));
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
