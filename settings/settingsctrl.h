#pragma once

#include "choices.h"

#include <QSet>
#include <QString>
#include <QVariant>
#include <optional>

// The user's lasting choices on disk: the per-user settings file of
// organisation "Brenvik", application "Pellmar", read into and written from
// a Choices value through one table of keys (name, default, range or words)
// that loading and saving both walk. The first three keys stay at the top
// level as they always were, so older files read as before; the rest live in
// the group "Choices" (each monitor's top and bottom wraps, and the size
// the user gave it in whole millimetres, widthMm and heightMm, under
// "Choices/Monitors/<output name>"; how far another monitor's middle stands
// from its own, in millimetres, higher for one beside it or further left
// for one above or below it, as "Choices/Monitors/<output>/offsetMm/<other
// output>", saved under the first of the two names in order), and the
// control at the edge in "Cursor". Each save replaces the file atomically, and writes only the
// keys that changed since the store last read or wrote them: two Pellmars of
// one user (two sessions) share the file without undoing each other's
// changes, and each takes the other's as they come (takeChanges).
class SettingsCtrl
{
public:
    SettingsCtrl(const QString &organisation = "Brenvik", const QString &application = "Pellmar");

    // Every key's default.
    static Choices defaults();
    // The stored choices; a key missing or unreadable gives its default.
    Choices load();
    // Writes the choices that changed; says in the log when it could not:
    // once while running, every time at the end.
    enum class Report
    {
        Once,
        Always
    };
    bool save(const Choices &choices, Report report = Report::Once);
    // `mine` with every key that someone else has changed in the file since
    // this store last read or wrote it taken from the file.
    Choices takeChanges(const Choices &mine);
    QString fileName() const;

    // Reads a stored boolean: true/false, yes/no, on/off and 1/0 in any
    // case. Anything else gives `fallback` and one log line naming the key.
    static bool readBool(const QString &key, const QVariant &value, bool fallback);
    // Reads a stored whole number in [low, high]; anything else gives
    // `fallback` and one log line naming the key.
    static int readInt(const QString &key, const QVariant &value, int fallback, int low, int high);

private:
    // Also names in `notAsWritten` every key the file lacks or holds in
    // another form than a save would write.
    Choices read(QSet<QString> *notAsWritten = nullptr) const;

    QString organisation;
    QString application;
    bool saveFailureSaid = false;
    // What the file held as this store last read or wrote it.
    std::optional<Choices> known;
    // Keys to write at the next save whether or not they changed.
    QSet<QString> unsettled;
};
