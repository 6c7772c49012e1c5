#pragma once

#include "desktopfeatures.h"
#include "snapshot.h"

#include <QMainWindow>
#include <memory>

class QLabel;
class Ui_Window_Main;

// The main window, a view: the control panel, the screen map and the
// readout show what the application gives them, and every change the user
// makes comes out as the choices as they are now to be. It decides nothing
// and keeps nothing.
class Window_Main : public QMainWindow
{
    Q_OBJECT

public:
    explicit Window_Main(QWidget *parent = nullptr);
    ~Window_Main() override;

    // The choices and the screens: the controls take their values, and
    // show only what the layout offers; `compositorRunning` says whether
    // the darkness can apply.
    void showSnapshot(std::shared_ptr<const Snapshot> snapshot, bool compositorRunning);
    // What this desktop allows: a control for a feature it does not is
    // off limits and says why (the choice itself stays, for a desktop that
    // allows it).
    void setFeatures(const DesktopFeatures &features);
    // Where the pointer is and its horizontal speed (pixels per 150 ms).
    void showReadout(int x, int y, int speed);
    // The pointer is out of Pellmar's sight (on Wayland, anywhere but on
    // its edge strips): no number stands for where it is.
    void showPositionUnknown();
    // Shows the window, hidden to the tray or not, in front of the others.
    void bringToFront();

    // The form, for tests that reach into it.
    Ui_Window_Main *ui;
    QLabel *lblMouseX;
    QLabel *lblMouseY;
    QLabel *lblVelocity;

signals:
    void choicesEdited(const Choices &choices);
    void preferencesWanted();
    // The user closed the window; whether it hides or ends Pellmar is not
    // the window's to say.
    void closeWanted();
    // Shown or hidden (not when only minimised).
    void shownChanged(bool shown);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Asks the diagonal of a monitor and sets its size by it.
    void askDiagonal(int screen);
    // The choices as shown, with one change made by the user.
    template <typename Change> void edit(Change change);

    std::shared_ptr<const Snapshot> shown;
    bool showing = false; // while the controls take given values
    DesktopFeatures features;
    bool compositor = true;
};
