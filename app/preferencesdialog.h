#pragma once

#include "choices.h"
#include "desktopfeatures.h"

#include <QDialog>

namespace Ui {
class PreferencesDialog;
}

// The control at the edge, holding back for a full-screen window, pause and
// start at login, in a small dialog opened from the tray menu and the main
// window. A view: it shows the choices it is given and says what the user
// changed.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    // `features`: what this desktop allows; a control that cannot work is
    // off, with why.
    explicit PreferencesDialog(const DesktopFeatures &features, QWidget *parent = nullptr);
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
