#pragma once

#include "desktopfeatures.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class Platform;

// How the user asked Pellmar to treat the window system.
struct PlatformOptions
{
    // Hear pointer device motion where the window system reports it;
    // false polls the pointer instead (PELLMAR_NO_DEVICE_MOTION=1, for a
    // server whose motion reports misbehave).
    bool listenForMotion = true;
};

// The session as its environment describes it.
struct Session
{
    QString type;           // XDG_SESSION_TYPE
    QString currentDesktop; // XDG_CURRENT_DESKTOP, ':'-separated
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString display;        // DISPLAY
    QString qtPlatform;     // the Qt platform plugin: asked for, or loaded

    static Session fromEnvironment();
};

// The one place that picks the desktop backend: it looks at the session
// once, and everything after asks it, never the environment again.
class DesktopChooser
{
public:
    enum class Backend
    {
        X11,
        Wlroots,
        Gnome,
        Kde,
        QtOnly,
    };

    struct Choice
    {
        Backend backend = Backend::QtOnly;
        // In a sentence: why this backend.
        QString why;
    };

    // The Qt platform plugin Pellmar asks for in this session, empty to let
    // Qt pick: in a Wayland session Pellmar is a Wayland client, since
    // through XWayland it could neither see nor move the pointer.
    static QString qtPlatformFor(const Session &session);
    // The backend for this session, with Qt's plugin as loaded.
    static Choice choose(const Session &session);
    // Whether this build has the backend's code.
    static bool built(Backend backend);
    // Its name, as the log and --desktop print it.
    static QString name(Backend backend);
    // The choice, made: the backend, or the Qt-only fallback where this
    // build lacks it (the fallback then says so in its features).
    static std::unique_ptr<Platform> make(const Choice &choice, const PlatformOptions &options,
                                          QObject *parent = nullptr);

    // What each desktop of the README's table allows where it has all that
    // Pellmar asks of it, as its backend says: the column's heading's first
    // words, and the features. Only the backends this build has.
    struct Declared
    {
        QString desktop;
        DesktopFeatures features;
    };
    static std::vector<Declared> declared();

private:
    // Why the Qt-only fallback stands in, in the user's words.
    static QString fallbackReason(const Choice &choice);
};
