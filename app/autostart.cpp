#include "autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

Autostart::Autostart(const QString &configHome, const QString &pellmar)
    : entryPath(configHome + "/autostart/com.brenvik.Pellmar.desktop"), program(pellmar)
{
}

Autostart Autostart::forThisUser()
{
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty() || QDir::isRelativePath(home))
        home = QDir::homePath() + "/.config";
    return Autostart(home, QCoreApplication::applicationFilePath());
}

bool Autostart::isOn() const
{
    return QFileInfo::exists(entryPath);
}

bool Autostart::setOn(bool on)
{
    if (!on)
        return !QFileInfo::exists(entryPath) || QFile::remove(entryPath);
    if (!QDir().mkpath(QFileInfo(entryPath).path()))
        return false;
    // Exec quotes the path, with the escapes the desktop entry format asks
    // for inside quotes.
    QString exec = program;
    exec.replace('\\', "\\\\\\\\")
        .replace('"', "\\\\\"")
        .replace('`', "\\\\`")
        .replace('$', "\\\\$");
    QSaveFile f(entryPath);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Pellmar\n"
            "Comment=Cursor wrap, Easy Move and Screen Focus for several monitors\n"
            "Icon=pellmar\n");
    f.write(("Exec=\"" + exec + "\"\n").toUtf8());
    f.write("Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
    return f.commit();
}
