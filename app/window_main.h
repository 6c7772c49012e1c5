#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <utility>
#include <vector>

class Engine;
class Platform;
class PreferencesDialog;
class QAction;
class QCloseEvent;
class QMenu;
class QTimer;
class ScreenTable;
class ScreenDarkenCurtain;
class Ui_Window_Main;

// The main window: builds and starts everything in its constructor, saves,
// stops and joins the worker threads in its destructor, carries out on the
// GUI thread what the engine asks for by signal, and follows the desktop as
// monitors come, go and move.
class Window_Main : public QMainWindow
{
    Q_OBJECT

public:
    // The window system is the X11 one unless a test brings its own; the
    // window does not own a platform it is given.
    explicit Window_Main(QWidget *parent = nullptr, Platform *platform = nullptr);
    ~Window_Main() override;

    // A burst of desktop changes (a dock bringing up its outputs one by one)
    // settles into one rebuild this long after the last of them.
    static constexpr int screenSettleMs = 200;

    // Shows the window, hidden to the tray or not, in front of the others:
    // what a second start of the program asks for.
    void bringToFront();

    // Pausing: nothing moves the cursor and the curtains are down; the tray
    // icon and its tooltip say so. Kept across runs.
    void setPaused(bool on);
    // Start at login, by an XDG autostart entry.
    void setStartAtLogin(bool on);
    void showPreferences();
    // A verb from another start of pellmar: "pause", "resume", "toggle" or
    // "show"; returns whether it is one.
    bool obey(const QString &verb);

    Ui_Window_Main *ui;
    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayIconMenu = nullptr;
    QAction *hide_showItem = nullptr;
    QAction *exitItem = nullptr;
    QAction *pauseItem = nullptr;
    QAction *startAtLoginItem = nullptr;
    QAction *preferencesItem = nullptr;
    PreferencesDialog *preferences = nullptr;
    // The curtains now up, in ascending screen order. Exists from the first
    // time there is more than one screen.
    QList<ScreenDarkenCurtain *> *curtains = nullptr;
    Platform *platform = nullptr;
    Engine *engine = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    // The readout is refreshed only while the window is shown.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private slots:
    void on_btnMinVelocity_clicked();
    void on_spnMinVelocity_valueChanged(int arg1);
    void on_btnMaxVelocity_clicked();
    void on_spnMaxVelocity_valueChanged(int arg1);
    void on_btnEasyMove_clicked();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void on_hide_showItem_clicked();
    void on_exitItem_clicked();
    void on_updateLabels();
    void on_updateMouse();
    void on_moveMouse(int mx, int my);
    void on_btnScreenFocus_clicked();
    void on_generateNewScreenFocus(uint index);
    void on_destroyScreenFocus();
    void on_sldOpacityAmount_valueChanged(int value);
    void on_btnPreferences_clicked();

private:
    void initControls();
    void createTrayIcon();
    // Reads the screens and publishes a new table; the wrap switches stay
    // with their monitors.
    void buildScreenTable();
    void reclaimScreenTables();
    // The panel, map, curtains and engine after the table has changed.
    void applyScreenChange();
    // Shows what the layout offers; switches off what it no longer does.
    void showControlsForLayout();
    void dropCurtains();
    void refocus();
    // Saves the choices at once, so that no kill loses one.
    void choiceChanged();
    // The tray icon, its tooltip and the menu's and dialog's checks as the
    // pause and the autostart entry now are.
    void showPauseAndAutostart();

    Platform *ownPlatform = nullptr;
    QTimer *screenSettle = nullptr;
    bool controlsReady = false;
    bool exiting = false; // Exit was chosen: closing is no hide
    // One curtain per screen of the current table, made when first needed
    // and then only shown and hidden.
    std::vector<ScreenDarkenCurtain *> curtainPool;
};
