#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

#include "verbserver.h"

class QLockFile;

// One Pellmar per user and display: two on one desktop would fight over the
// cursor, while a second X session or Wayland compositor of the same user
// runs its own. The first start holds a lock file and listens on a local
// socket, both in a folder that belongs to the user and no one else; a
// later start asks it to show its window and ends, and a verb is handed to
// it the same way. The running one carries each verb out and answers "ok\n"
// or why not; a holder of the lock that does not answer within `answerMs`
// is reported, not taken for a running Pellmar.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr int answerMs = 3000;

    // What kind of display names the desktop: a Wayland client belongs to
    // its compositor, whatever DISPLAY its XWayland has.
    enum class Protocol
    {
        X11,
        Wayland
    };

    // `display` names the desktop (DISPLAY, or WAYLAND_DISPLAY); the folder
    // is the user's runtime folder (`runtimeDir`, XDG_RUNTIME_DIR) if it is
    // private, else one Pellmar keeps private in the user's cache folder
    // (see chooseFolder()).
    SingleInstance(const QByteArray &display, const QByteArray &runtimeDir,
                   Protocol protocol = Protocol::X11, QObject *parent = nullptr);
    // The one for the desktop that Qt's platform plugin `qtPlatform` shows
    // Pellmar on, from this session's environment.
    static std::unique_ptr<SingleInstance> forQtPlatform(const QString &qtPlatform);
    ~SingleInstance() override;

    enum class Claim
    {
        Run,         // this process is the one to run
        AnotherRuns, // the running one has been asked to show its window
        Unanswered   // a live process holds the lock but does not answer
    };
    Claim claim();

    enum class Answer
    {
        Answered,   // the running Pellmar has carried the verb out, or said why not
        NotRunning, // nothing holds the lock
        Unanswered  // a live process holds the lock but does not answer
    };
    struct Told
    {
        Answer answer = Answer::NotRunning;
        // What the running Pellmar said, without its newline: "ok", or why
        // not. Empty unless answered.
        QString text;
    };
    // Hands a verb ("show", "pause", "jump" with "next", ...) to the
    // Pellmar running on this display. The argument must be one VerbReader
    // takes.
    Told tell(const QString &verb, const QString &argument = QString());

    // Who carries out the verbs that come to this process once it runs
    // (see VerbServer); set before the event loop hears any.
    void setAnswerer(VerbServer::Answerer answerer);

    QString lockFile() const { return lockPath; }
    QString socketFile() const { return socketPath; }

    // `path` if it is a folder (not a link) owned by `uid` that no one else
    // may enter; made so when it does not exist yet. Empty otherwise.
    static QString privateFolder(const QString &path, unsigned uid);

    // The desktop's name in one form, so that every spelling of a display
    // finds the same Pellmar: ":0", ":0.0", "unix:0" and "localhost:0" are
    // all ":0" (the screen number is no part of it), another host keeps its
    // name ("box:0"), and a name that is no X display (a Wayland socket such
    // as "wayland-1") stays as it is.
    static QString displayKey(const QString &display);

    // A Wayland display in one form, as libwayland finds its socket: a
    // name that is not absolute lies in `runtimeDir` ("wayland-1"), and a
    // path there is the same name, so both spellings find the same
    // Pellmar; a socket elsewhere keeps its path. Links are followed as far
    // as they exist. No name at all is libwayland's "wayland-0".
    static QString waylandKey(const QString &display, const QString &runtimeDir);

    // The name of the lock and the socket without their suffixes. An X
    // display's and a Wayland display's never meet, whatever they are
    // called; a long Wayland key (a socket's path) is shortened with a hash
    // of it, so that the socket's address still fits.
    static QString fileStem(Protocol protocol, const QString &display, const QString &runtimeDir);

    // The folder for the lock and the socket (named `fileStem` and a
    // suffix): `runtimeDir` if it is private, else `cacheDir`/pellmar/
    // run-<machine>, else `tempDir`/pellmar-<uid>; empty if none is private
    // or short enough for a socket's address.
    static QString chooseFolder(const QString &runtimeDir, const QString &cacheDir,
                                const QString &tempDir, unsigned uid, const QString &fileStem);

private:
    bool lockHeld() const;

    QString lockPath;
    QString socketPath;
    QLockFile *lock = nullptr;
    VerbServer *server = nullptr;
    VerbServer::Answerer answerer;
};
