#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLockFile;

// One Pellmar per user: two would fight over the cursor and the settings
// file. The first start holds a lock file and listens on a local socket; a
// later start asks it to show its window and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one to run. False when another one
    // runs, which has been asked to show its window.
    bool claim();

signals:
    void showRequested();

private slots:
    void onNewConnection();

private:
    bool askRunningInstance();

    QString lockPath;
    QString socketPath;
    QLockFile *lock = nullptr;
    QLocalServer *server = nullptr;
};
