#include "settingsctrl.h"

#include "pointerwatch.h"
#include "screentable.h"

#include <QDebug>
#include <QSettings>

namespace {

const char monitorsGroup[] = "Choices/Monitors";
// Under a monitor's group: how far each other monitor's middle stands from
// its own, one key per other monitor's name.
const char offsetsGroup[] = "offsetMm";
constexpr int largestMm = ScreenTable::largestMm;

// The sides of a monitor's size the user gives, under its group.
struct Side
{
    const char *name;
    int &(QSize::*length)();
};
const Side sides[] = {{"widthMm", &QSize::rwidth}, {"heightMm", &QSize::rheight}};

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
    {"Choices/screenFocusDarkness", noFlag, &Choices::screenFocusDarkness, noWord,
     Choices::defaultDarkness, 0, 100, nullptr},
    {"Choices/paused", &Choices::paused, noNumber, noWord, false, 0, 1, nullptr},
    {"Cursor/bypassModifier", noFlag, noNumber, &Choices::bypassModifier, 0, 0, 0, modifierWords},
    {"Cursor/wrapWhileButtonHeld", &Choices::wrapWhileButtonHeld, noNumber, noWord, false, 0, 1,
     nullptr},
    {"Cursor/pushThrough", noFlag, &Choices::pushThrough, noWord, 0, 0, 500, nullptr},
    {"Cursor/cornerGuard", noFlag, &Choices::cornerGuard, noWord, 0, 0, 500, nullptr},
    {"Cursor/pauseInFullscreen", &Choices::pauseInFullscreen, noNumber, noWord, true, 0, 1,
     nullptr},
    {"Choices/crossByPhysicalSize", &Choices::crossByPhysicalSize, noNumber, noWord, false, 0, 1,
     nullptr},
};

// A size or an offset key of one monitor, in the monitors' group.
QString sideKey(const QString &monitor, const Side &side)
{
    return monitor + "/" + side.name;
}

QString offsetKey(const QPair<QString, QString> &pair)
{
    return pair.first + "/" + offsetsGroup + "/" + pair.second;
}

// Another store's changes to per-monitor values, entry by entry (`none`
// for one not there): theirs is taken where ours has not changed since.
template <typename K, typename V>
void takeEntries(const QHash<K, V> &disk, QHash<K, V> &known, const QHash<K, V> &mine,
                 QHash<K, V> &merged, const V &none)
{
    QList<K> named = disk.keys();
    named += known.keys();
    for (const K &k : named) {
        const V theirs = disk.value(k, none), was = known.value(k, none);
        if (theirs == was)
            continue;
        if (mine.value(k, none) == was)
            merged[k] = theirs;
        known[k] = theirs;
    }
}

// A stored value as the log quotes it: whole when short, else its start
// and its length, so a mangled file cannot flood the log.
QString quoted(const QVariant &value)
{
    const QString text = value.toString();
    constexpr int longest = 60;
    if (text.size() <= longest)
        return text;
    return text.left(longest) + QString("… (%1 characters)").arg(text.size());
}

// Whether two choices agree on one key, and taking one key's value over.
bool same(const Key &k, const Choices &a, const Choices &b)
{
    if (k.flag)
        return a.*k.flag == b.*k.flag;
    if (k.number)
        return a.*k.number == b.*k.number;
    return a.*k.word == b.*k.word;
}

void take(const Key &k, Choices &to, const Choices &from)
{
    if (k.flag)
        to.*k.flag = from.*k.flag;
    else if (k.number)
        to.*k.number = from.*k.number;
    else
        to.*k.word = from.*k.word;
}

QString wordOf(const Word *words, unsigned value);

// A key's value as it is written.
QVariant storedForm(const Key &k, const Choices &c)
{
    if (k.flag)
        return c.*k.flag;
    if (k.number)
        return c.*k.number;
    return wordOf(k.words, c.*k.word);
}

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
    qWarning().noquote() << "Settings:" << key << "is none of the words it takes:" << quoted(stored)
                         << "- using" << wordOf(words, fallback);
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
    qWarning().noquote() << "Settings:" << key << "is not a yes or no:" << quoted(value)
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
                         << ":" << quoted(value) << "- using" << fallback;
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

Choices SettingsCtrl::load()
{
    qDebug() << "Settings: Loading Settings...\n";
    unsettled.clear();
    known = read(&unsettled);
    return *known;
}

Choices SettingsCtrl::read(QSet<QString> *notAsWritten) const
{
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
        if (notAsWritten && (!v.isValid() || v.toString() != storedForm(k, c).toString()))
            notAsWritten->insert(k.name);
    }
    settings.beginGroup(monitorsGroup);
    for (const QString &monitor : settings.childGroups()) {
        const QString top = monitor + "/wrapTop", bottom = monitor + "/wrapBottom";
        if (settings.contains(top) || settings.contains(bottom)) {
            const MonitorWraps w = {readBool(top, settings.value(top), false),
                                    readBool(bottom, settings.value(bottom), false)};
            c.monitorWraps[monitor] = w;
            if (notAsWritten && settings.value(top).toString() != QVariant(w.top).toString())
                notAsWritten->insert(top);
            if (notAsWritten && settings.value(bottom).toString() != QVariant(w.bottom).toString())
                notAsWritten->insert(bottom);
        }
        // A side it cannot read is not given, and said so.
        QSize mm(0, 0);
        for (const Side &side : sides) {
            const QString key = sideKey(monitor, side);
            const int length =
                readInt(QString(monitorsGroup) + "/" + key, settings.value(key), 0, 1, largestMm);
            (mm.*side.length)() = length;
            if (notAsWritten && settings.contains(key) &&
                settings.value(key).toString() != QString::number(length))
                notAsWritten->insert(key);
        }
        if (!mm.isNull())
            c.monitorSizesMm[monitor] = mm;
        // Saved under the first name in order; a pair found both ways
        // reads as saved.
        settings.beginGroup(monitor + "/" + offsetsGroup);
        for (const QString &other : settings.childKeys()) {
            const QString key = QString(monitorsGroup) + "/" + offsetKey({monitor, other});
            const int offset = readInt(key, settings.value(other), 0, -largestMm, largestMm);
            if (offset != 0 && other != monitor &&
                (monitor < other || c.offsetMm(monitor, other) == 0))
                c.setOffsetMm(monitor, other, offset);
        }
        settings.endGroup();
    }
    settings.endGroup();
    return c;
}

Choices SettingsCtrl::takeChanges(const Choices &mine)
{
    if (!known)
        return mine;
    const Choices disk = read();
    Choices merged = mine;
    // What differs from what this store last read or wrote was changed by
    // someone else, key by key: theirs is taken, unless ours changed too and
    // is still to be written (then ours is the later one).
    for (const Key &k : keys) {
        if (same(k, disk, *known))
            continue;
        if (same(k, mine, *known))
            take(k, merged, disk);
        take(k, *known, disk);
    }
    for (auto it = disk.monitorWraps.cbegin(); it != disk.monitorWraps.cend(); ++it) {
        MonitorWraps &was = known->monitorWraps[it.key()];
        MonitorWraps &ours = merged.monitorWraps[it.key()];
        const MonitorWraps unsaved = mine.monitorWraps.value(it.key());
        if (it->top != was.top) {
            if (unsaved.top == was.top)
                ours.top = it->top;
            was.top = it->top;
        }
        if (it->bottom != was.bottom) {
            if (unsaved.bottom == was.bottom)
                ours.bottom = it->bottom;
            was.bottom = it->bottom;
        }
    }
    takeEntries(disk.monitorSizesMm, known->monitorSizesMm, mine.monitorSizesMm,
                merged.monitorSizesMm, QSize(0, 0));
    takeEntries(disk.monitorOffsetsMm, known->monitorOffsetsMm, mine.monitorOffsetsMm,
                merged.monitorOffsetsMm, 0);
    return merged;
}

bool SettingsCtrl::save(const Choices &c, Report report)
{
    // Only what changed since this store last read or wrote, and what the
    // file lacked or held in another form: another Pellmar of the same user
    // (another session) may share the file, and writing the rest would undo
    // its changes.
    QSettings settings(organisation, application);
    bool wrote = false;
    for (const Key &k : keys) {
        if (known && same(k, c, *known) && !unsettled.contains(k.name))
            continue;
        wrote = true;
        settings.setValue(k.name, storedForm(k, c));
    }
    settings.beginGroup(monitorsGroup);
    for (auto it = c.monitorWraps.cbegin(); it != c.monitorWraps.cend(); ++it) {
        const auto was = known ? known->monitorWraps.constFind(it.key())
                               : QHash<QString, MonitorWraps>::const_iterator();
        const bool knownBefore = known && was != known->monitorWraps.cend();
        const QString top = it.key() + "/wrapTop", bottom = it.key() + "/wrapBottom";
        if (!knownBefore || was->top != it->top || unsettled.contains(top)) {
            settings.setValue(top, it.value().top);
            wrote = true;
        }
        if (!knownBefore || was->bottom != it->bottom || unsettled.contains(bottom)) {
            settings.setValue(bottom, it.value().bottom);
            wrote = true;
        }
    }
    // Sizes and offsets: a side or an offset no longer given goes.
    QStringList sized = c.monitorSizesMm.keys();
    if (known)
        sized += known->monitorSizesMm.keys();
    for (const QString &monitor : sized) {
        QSize now = c.monitorSizesMm.value(monitor, QSize(0, 0));
        QSize was = known ? known->monitorSizesMm.value(monitor, QSize(0, 0)) : QSize(-1, -1);
        for (const Side &side : sides) {
            const QString key = sideKey(monitor, side);
            const int length = (now.*side.length)();
            if ((was.*side.length)() == length && !unsettled.contains(key))
                continue;
            if (length > 0)
                settings.setValue(key, length);
            else
                settings.remove(key);
            wrote = true;
        }
    }
    QList<QPair<QString, QString>> paired = c.monitorOffsetsMm.keys();
    if (known)
        paired += known->monitorOffsetsMm.keys();
    for (const auto &pair : paired) {
        const int now = c.monitorOffsetsMm.value(pair);
        if (known && known->monitorOffsetsMm.value(pair) == now)
            continue;
        // Written under the first name; one under the second (by hand)
        // would still be read where this one is not.
        settings.remove(offsetKey({pair.second, pair.first}));
        if (now != 0)
            settings.setValue(offsetKey(pair), now);
        else
            settings.remove(offsetKey(pair));
        wrote = true;
    }
    settings.endGroup();
    if (!wrote)
        return true;
    settings.sync();
    bool ok = settings.status() == QSettings::NoError;
    if (settings.status() == QSettings::FormatError) {
        // The file that was there could not be read, and has been written
        // anew: saved, if what is there now reads back.
        ok = QSettings(organisation, application).status() == QSettings::NoError;
    }
    if (ok) {
        known = c;
        unsettled.clear();
        return true;
    }
    // Said once while running: the user should be able to find out why a
    // choice was not kept, without a line for every click; at the end,
    // always.
    if (report == Report::Always || !saveFailureSaid) {
        saveFailureSaid = true;
        qWarning().noquote() << "Settings: could not save to" << settings.fileName();
    }
    return false;
}
