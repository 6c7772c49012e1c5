#pragma once

#include <QString>
#include <QVariant>

// Copies the user's lasting choices between the engine state and the
// per-user settings store (organisation "Brenvik", application "Pellmar"),
// through one table of keys that loading and saving both walk. The first
// three keys stay at the top level as they always were, so older files
// read as before; the rest live in the group "Choices" (each monitor's top
// and bottom wraps under "Choices/Monitors/<output name>"), and the control
// at the edge in "Cursor".
//
// loadSettings() runs once as the main window is built; saveSettings() as
// it is destroyed; saveChoices() whenever a choice changes, so that a kill
// or a power cut loses nothing. Each save replaces the file atomically.
class SettingsCtrl
{
public:
    SettingsCtrl() = delete;

    static void loadSettings();
    static void saveSettings();
    // The same save, without a log line: called on every change.
    static bool saveChoices();

    // Reads a stored boolean: true/false, yes/no, on/off and 1/0 in any
    // case. Anything else gives `fallback` and one log line naming the key.
    static bool readBool(const QString &key, const QVariant &value, bool fallback);
    // Reads a stored whole number in [low, high]; anything else gives
    // `fallback` and one log line naming the key.
    static int readInt(const QString &key, const QVariant &value, int fallback, int low, int high);
};
