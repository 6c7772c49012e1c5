#pragma once

// Copies the user's lasting choices between the engine state and the
// per-user settings store (organisation "Brenvik", application "Pellmar"):
// loaded once as the main window is built, saved once as it is destroyed.
class SettingsCtrl
{
public:
    SettingsCtrl() = delete;

    static void loadSettings();
    static void saveSettings();
};
