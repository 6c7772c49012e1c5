#pragma once

#include <QDialog>

namespace Ui {
class PreferencesDialog;
}

// The control at the edge, pause and start at login, in a small dialog
// opened from the tray menu and the main window. It writes the engine state
// as the user changes a control; the window saves, pauses and writes the
// autostart entry on its signals.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    // `pushAvailable`: whether device motion is reported, which push
    // through needs.
    PreferencesDialog(bool pushAvailable, QWidget *parent = nullptr);
    ~PreferencesDialog() override;

    // Takes the controls' values from the engine state and these two.
    void refresh(bool paused, bool startAtLogin);

signals:
    void changed();
    void pauseToggled(bool on);
    void startAtLoginToggled(bool on);

private:
    Ui::PreferencesDialog *ui;
    bool refreshing = false;
};
