#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;
class QLockFile;

// One Pellmar per user and display: two on one desktop would fight over the
// cursor, while a second X session of the same user runs its own. The first
// start holds a lock file and listens on a local socket, both in a folder
// that belongs to the user and no one else; a later start asks it to show
// its window and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `display` names the desktop (DISPLAY); the folder is the user's
    // runtime folder (`runtimeDir`, XDG_RUNTIME_DIR) if it is private, else
    // one Pellmar makes private under the temporary folder.
    SingleInstance(const QByteArray &display, const QByteArray &runtimeDir,
                   QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Claim
    {
        Run,         // this process is the one to run
        AnotherRuns, // the running one has been asked to show its window
        Unanswered   // a live process holds the lock but does not answer
    };
    Claim claim();

    QString lockFile() const { return lockPath; }

    // `path` if it is a folder (not a link) owned by `uid` that no one else
    // may enter; made so when it does not exist yet. Empty otherwise.
    static QString privateFolder(const QString &path, unsigned uid);

    // Hands a verb ("show", "pause", ...) to the Pellmar running on this
    // display; false when none answers.
    bool tell(const QString &verb);

signals:
    // A verb from another start of pellmar.
    void verbReceived(const QString &verb);

private slots:
    void onNewConnection();

private:
    bool askRunningInstance();
    bool send(const QByteArray &line, int waitMs);

    QString lockPath;
    QString socketPath;
    QLockFile *lock = nullptr;
    QLocalServer *server = nullptr;
};
