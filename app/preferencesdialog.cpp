#include "preferencesdialog.h"
#include "ui_preferencesdialog.h"

#include "pointerwatch.h"

namespace {
// The combo box's entries, in order.
const unsigned bypassKeys[] = {0, ShiftKey, ControlKey, AltKey, MetaKey};
} // namespace

PreferencesDialog::PreferencesDialog(const DesktopFeatures &features, QWidget *parent)
    : QDialog(parent), ui(new Ui::PreferencesDialog)
{
    ui->setupUi(this);
    // Each control that this desktop does not allow, with the label that
    // says why.
    const struct
    {
        Feature feature;
        QWidget *control;
        QLabel *why;
    } gated[] = {
        {Feature::BypassKey, ui->cmbBypass, ui->lblBypassUnavailable},
        {Feature::WrapWhileButtonHeld, ui->chkWrapWhileButton, ui->lblDragUnavailable},
        {Feature::PushThrough, ui->spnPushThrough, ui->lblPushUnavailable},
        {Feature::SafeCorners, ui->spnCornerGuard, nullptr},
        {Feature::QuietInFullscreen, ui->chkPauseInFullscreen, nullptr},
        {Feature::StartAtLogin, ui->chkStartAtLogin, nullptr},
    };
    for (const auto &g : gated) {
        const bool allowed = features.available(g.feature);
        g.control->setEnabled(allowed);
        g.control->setToolTip(features.reason(g.feature));
        if (g.why) {
            g.why->setText(features.reason(g.feature));
            g.why->setVisible(!allowed);
        }
    }
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::hide);
    connect(ui->cmbBypass, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
        if (refreshing || i < 0)
            return;
        Choices c = shown;
        c.bypassModifier = bypassKeys[i];
        emit choicesEdited(c);
    });
    connect(ui->spnPushThrough, qOverload<int>(&QSpinBox::valueChanged), this, [this](int px) {
        if (refreshing)
            return;
        Choices c = shown;
        c.pushThrough = px;
        emit choicesEdited(c);
    });
    connect(ui->spnCornerGuard, qOverload<int>(&QSpinBox::valueChanged), this, [this](int px) {
        if (refreshing)
            return;
        Choices c = shown;
        c.cornerGuard = px;
        emit choicesEdited(c);
    });
    connect(ui->chkWrapWhileButton, &QCheckBox::toggled, this, [this](bool on) {
        if (refreshing)
            return;
        Choices c = shown;
        c.wrapWhileButtonHeld = on;
        emit choicesEdited(c);
    });
    connect(ui->chkPauseInFullscreen, &QCheckBox::toggled, this, [this](bool on) {
        if (refreshing)
            return;
        Choices c = shown;
        c.pauseInFullscreen = on;
        emit choicesEdited(c);
    });
    connect(ui->chkPause, &QCheckBox::toggled, this, [this](bool on) {
        if (!refreshing)
            emit pauseToggled(on);
    });
    connect(ui->chkStartAtLogin, &QCheckBox::toggled, this, [this](bool on) {
        if (!refreshing)
            emit startAtLoginToggled(on);
    });
}

PreferencesDialog::~PreferencesDialog()
{
    delete ui;
}

void PreferencesDialog::refresh(const Choices &choices, bool startAtLogin)
{
    refreshing = true;
    shown = choices;
    int index = 0;
    for (int i = 0; i < int(std::size(bypassKeys)); ++i) {
        if (bypassKeys[i] == choices.bypassModifier)
            index = i;
    }
    ui->cmbBypass->setCurrentIndex(index);
    ui->spnPushThrough->setValue(choices.pushThrough);
    ui->spnCornerGuard->setValue(choices.cornerGuard);
    ui->chkWrapWhileButton->setChecked(choices.wrapWhileButtonHeld);
    ui->chkPauseInFullscreen->setChecked(choices.pauseInFullscreen);
    ui->chkPause->setChecked(choices.paused);
    ui->chkStartAtLogin->setChecked(startAtLogin);
    refreshing = false;
}
