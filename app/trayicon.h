#pragma once

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

// Pellmar's icon in the system tray and its menu: Pause, Lock to This
// Monitor, Start at Login, Preferences…, Hide/Show and Exit. A view: it shows the state it is given
// and says what the user picked.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    // Whether a tray is there to hold the icon; asked afresh each time.
    static bool available();

    // The icon, its tooltip and the menu's checks as they now are;
    // `holdingBack`: no jump happens for now, as a window is full screen.
    void showState(bool paused, bool startAtLogin, bool holdingBack);
    // Why Pellmar moves nothing on this desktop, for the tooltip; empty
    // where it does. Takes effect with the next showState().
    void showDesktop(const QString &why) { movesNothing = why; }
    // Whether the pointer is held on one monitor.
    void showLocked(bool locked);
    // The Hide/Show item names what it will do.
    void showWindowShown(bool shown);
    // A balloon message from the icon.
    void notify(const QString &title, const QString &text);

    QSystemTrayIcon *icon() const { return trayIcon; }
    QMenu *menu() const { return trayMenu; }
    QAction *pauseItem = nullptr;
    QAction *lockItem = nullptr;
    QString movesNothing;
    QAction *startAtLoginItem = nullptr;
    QAction *preferencesItem = nullptr;
    QAction *hideShowItem = nullptr;
    QAction *exitItem = nullptr;

signals:
    void pauseToggled(bool on);
    void lockToggled(bool on);
    void startAtLoginToggled(bool on);
    void preferencesWanted();
    void hideShowWanted();
    void exitWanted();
    // A plain click on the icon.
    void clicked();

private:
    QSystemTrayIcon *trayIcon;
    QMenu *trayMenu;
};
