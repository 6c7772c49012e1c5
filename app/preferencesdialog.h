#pragma once

#include "choices.h"

#include <QDialog>

namespace Ui {
class PreferencesDialog;
}

// The control at the edge, pause and start at login, in a small dialog
// opened from the tray menu and the main window. A view: it shows the
// choices it is given and says what the user changed.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    // `pushAvailable`: whether device motion is reported, which push
    // through needs; `bypassAvailable`: whether the modifier keys held are
    // seen, which the bypass key needs.
    PreferencesDialog(bool pushAvailable, bool bypassAvailable, QWidget *parent = nullptr);
    ~PreferencesDialog() override;

    // Takes the controls' values from these.
    void refresh(const Choices &choices, bool startAtLogin);

signals:
    // The choices as they are now to be.
    void choicesEdited(const Choices &choices);
    void pauseToggled(bool on);
    void startAtLoginToggled(bool on);

private:
    Ui::PreferencesDialog *ui;
    bool refreshing = false;
    Choices shown;
};
