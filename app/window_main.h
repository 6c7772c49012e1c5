#pragma once

#include <QList>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <vector>

class QAction;
class QCloseEvent;
class QMenu;
class ScreenDarkenCurtain;
class Ui_Window_Main;
struct ScreenRect;

// The main window: builds and starts everything in its constructor, saves,
// stops and joins the worker threads in its destructor, and carries out on
// the GUI thread what the engine asks for by signal.
class Window_Main : public QMainWindow
{
    Q_OBJECT

public:
    explicit Window_Main(QWidget *parent = nullptr);
    ~Window_Main() override;

    // Where the window reads the desktop's screens from, once, as it is
    // built: the platform's screens unless a test puts its own here.
    static std::vector<ScreenRect> (*screenSource)();

    // Shows the window, hidden to the tray or not, in front of the others:
    // what a second start of the program asks for.
    void bringToFront();

    Ui_Window_Main *ui;
    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayIconMenu = nullptr;
    QAction *hide_showItem = nullptr;
    QAction *exitItem = nullptr;
    // The curtains now up, in ascending screen order. Exists only when there
    // is more than one screen.
    QList<ScreenDarkenCurtain *> *curtains = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

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

private:
    void initControls();
    void createTrayIcon();
};
