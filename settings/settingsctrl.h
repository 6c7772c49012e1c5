#pragma once

#include "choices.h"

#include <QString>
#include <QVariant>

// The user's lasting choices on disk: the per-user settings file of
// organisation "Brenvik", application "Pellmar", read into and written from
// a Choices value through one table of keys (name, default, range or words)
// that loading and saving both walk. The first three keys stay at the top
// level as they always were, so older files read as before; the rest live in
// the group "Choices" (each monitor's top and bottom wraps under
// "Choices/Monitors/<output name>"), and the control at the edge in
// "Cursor". Each save replaces the file atomically.
class SettingsCtrl
{
public:
    SettingsCtrl(const QString &organisation = "Brenvik", const QString &application = "Pellmar");

    // Every key's default.
    static Choices defaults();
    // The stored choices; a key missing or unreadable gives its default.
    Choices load() const;
    // Writes every choice; says in the log, once, when it could not.
    bool save(const Choices &choices);
    QString fileName() const;

    // Reads a stored boolean: true/false, yes/no, on/off and 1/0 in any
    // case. Anything else gives `fallback` and one log line naming the key.
    static bool readBool(const QString &key, const QVariant &value, bool fallback);
    // Reads a stored whole number in [low, high]; anything else gives
    // `fallback` and one log line naming the key.
    static int readInt(const QString &key, const QVariant &value, int fallback, int low, int high);

private:
    QString organisation;
    QString application;
    bool saveFailureSaid = false;
};
