#pragma once

#include <QString>

// Starting Pellmar at login, by the XDG autostart convention: a desktop
// entry named after the program's id in $XDG_CONFIG_HOME/autostart
// (~/.config/autostart when unset), which session managers run at login.
class Autostart
{
public:
    // `configHome` is the user's configuration folder, `program` the
    // pellmar to start.
    Autostart(const QString &configHome, const QString &program);
    // For this user and the pellmar now running.
    static Autostart forThisUser();

    QString file() const { return entryPath; }
    bool isOn() const;
    // Writes or removes the entry; returns whether it now is as asked.
    bool setOn(bool on);

private:
    QString entryPath;
    QString program;
};
