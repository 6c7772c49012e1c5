#include "settingsctrl.h"

#include "pointerwatch.h"

#include <QDebug>
#include <QSettings>

namespace {

const char monitorsGroup[] = "Choices/Monitors";

// The words of a key that holds one of a few choices, and their values.
struct Word
{
    const char *word;
    unsigned value;
};
const Word modifierWords[] = {{"none", 0},     {"shift", ShiftKey}, {"ctrl", ControlKey},
                              {"alt", AltKey}, {"meta", MetaKey},   {nullptr, 0}};

// One stored choice: where it lives in the choices, its default and what
// it may be.
struct Key
{
    const char *name;
    bool Choices::*flag;     // a switch, or
    int Choices::*number;    // a whole number in [low, high], or
    unsigned Choices::*word; // one of `words`
    int fallback;
    int low;
    int high;
    const Word *words;
};

// Every key that load and save walk, in the order they are written.
constexpr bool Choices::*noFlag = nullptr;
constexpr int Choices::*noNumber = nullptr;
constexpr unsigned Choices::*noWord = nullptr;

const Key keys[] = {
    {"boolShowToolTip", &Choices::showCloseNotice, noNumber, noWord, true, 0, 1, nullptr},
    {"allowLeftWrap", &Choices::allowLeftWrap, noNumber, noWord, false, 0, 1, nullptr},
    {"allowRightWrap", &Choices::allowRightWrap, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/easyMove", &Choices::easyMove, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/minVelocityOn", &Choices::minVelocityOn, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/minVelocity", noFlag, &Choices::minVelocity, noWord, 0, 0, 10000, nullptr},
    {"Choices/maxVelocityOn", &Choices::maxVelocityOn, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/maxVelocity", noFlag, &Choices::maxVelocity, noWord, 0, 0, 10000, nullptr},
    {"Choices/screenFocus", &Choices::screenFocus, noNumber, noWord, false, 0, 1, nullptr},
    {"Choices/screenFocusDarkness", noFlag, &Choices::screenFocusDarkness, noWord, 50, 0, 100,
     nullptr},
    {"Choices/paused", &Choices::paused, noNumber, noWord, false, 0, 1, nullptr},
    {"Cursor/bypassModifier", noFlag, noNumber, &Choices::bypassModifier, 0, 0, 0,
     modifierWords},
    {"Cursor/wrapWhileButtonHeld", &Choices::wrapWhileButtonHeld, noNumber, noWord, false, 0, 1,
     nullptr},
    {"Cursor/pushThrough", noFlag, &Choices::pushThrough, noWord, 0, 0, 500, nullptr},
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

SettingsCtrl::SettingsCtrl(const QString &org, const QString &app)
    : organisation(org), application(app)
{
}

QString SettingsCtrl::fileName() const
{
    return QSettings(organisation, application).fileName();
}

Choices SettingsCtrl::defaults()
{
    Choices c;
    for (const Key &k : keys) {
        if (k.flag)
            c.*k.flag = k.fallback != 0;
        else if (k.number)
            c.*k.number = k.fallback;
        else
            c.*k.word = static_cast<unsigned>(k.fallback);
    }
    return c;
}

Choices SettingsCtrl::load() const
{
    qDebug() << "Settings: Loading Settings...\n";
    Choices c;
    QSettings settings(organisation, application);
    for (const Key &k : keys) {
        const QVariant v = settings.value(k.name);
        if (k.flag)
            c.*k.flag = readBool(k.name, v, k.fallback != 0);
        else if (k.number)
            c.*k.number = readInt(k.name, v, k.fallback, k.low, k.high);
        else
            c.*k.word = valueOf(k.name, k.words, v, static_cast<unsigned>(k.fallback));
    }
    settings.beginGroup(monitorsGroup);
    for (const QString &monitor : settings.childGroups()) {
        const QString top = monitor + "/wrapTop", bottom = monitor + "/wrapBottom";
        c.monitorWraps[monitor] = {readBool(top, settings.value(top), false),
                                   readBool(bottom, settings.value(bottom), false)};
    }
    settings.endGroup();
    return c;
}

bool SettingsCtrl::save(const Choices &c)
{
    QSettings settings(organisation, application);
    for (const Key &k : keys) {
        if (k.flag)
            settings.setValue(k.name, c.*k.flag);
        else if (k.number)
            settings.setValue(k.name, c.*k.number);
        else
            settings.setValue(k.name, wordOf(k.words, c.*k.word));
    }
    settings.beginGroup(monitorsGroup);
    for (auto it = c.monitorWraps.cbegin(); it != c.monitorWraps.cend(); ++it) {
        settings.setValue(it.key() + "/wrapTop", it.value().top);
        settings.setValue(it.key() + "/wrapBottom", it.value().bottom);
    }
    settings.endGroup();
    settings.sync();
    const bool ok = settings.status() == QSettings::NoError;
    // Said once: the user should be able to find out why a choice was not
    // kept, without a line for every click.
    if (!ok && !saveFailureSaid) {
        saveFailureSaid = true;
        qWarning().noquote() << "Settings: could not save to" << settings.fileName();
    }
    return ok;
}
