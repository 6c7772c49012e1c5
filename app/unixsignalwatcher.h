#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT, SIGHUP and SIGQUIT (logout, Ctrl-C, a closed
// terminal, Ctrl-\) into an orderly end of the event
// loop with status 0, so the window's destructor saves the settings and
// joins the threads as on a normal exit. The handler only writes a byte to a
// socket; the event loop does the rest.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignalWatcher(QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

private slots:
    void onSignal();

private:
    QSocketNotifier *notifier = nullptr;
};
