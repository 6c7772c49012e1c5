#include "window_main.h"
#include "ui_window_main.h"

#include "physicallayout.h"
#include "windowcanvas.h"

#include <QCloseEvent>
#include <QInputDialog>
#include <QLabel>
#include <QStatusBar>
#include <cmath>

Window_Main::Window_Main(QWidget *parent) : QMainWindow(parent), ui(new Ui_Window_Main)
{
    ui->setupUi(this);
    ui->lbVersion->setText("v" PELLMAR_VERSION);

    lblMouseX = new QLabel("Mouse X: 0000px");
    lblMouseY = new QLabel("Mouse Y: 0000px");
    lblVelocity = new QLabel("Mouse Velocity: 0000px/150ms");
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(lblMouseX, 1);
    statusBar()->addWidget(lblMouseY, 1);
    statusBar()->addWidget(lblVelocity, 1);

    connect(ui->btnMinVelocity, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Choices &c) { c.minVelocityOn = on; }); });
    connect(ui->spnMinVelocity, qOverload<int>(&QSpinBox::valueChanged), this,
            [this](int px) { edit([px](Choices &c) { c.minVelocity = px; }); });
    connect(ui->btnMaxVelocity, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Choices &c) { c.maxVelocityOn = on; }); });
    connect(ui->spnMaxVelocity, qOverload<int>(&QSpinBox::valueChanged), this,
            [this](int px) { edit([px](Choices &c) { c.maxVelocity = px; }); });
    connect(ui->btnEasyMove, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Choices &c) { c.easyMove = on; }); });
    connect(ui->btnScreenFocus, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Choices &c) { c.screenFocus = on; }); });
    connect(ui->sldOpacityAmount, &QSlider::valueChanged, this, [this](int percent) {
        edit([percent](Choices &c) { c.screenFocusDarkness = percent; });
    });
    connect(ui->btnCrossBySize, &QCheckBox::clicked, this,
            [this](bool on) { edit([on](Choices &c) { c.crossByPhysicalSize = on; }); });
    connect(ui->chkPhysicalScale, &QCheckBox::toggled, ui->canvas, &WindowCanvas::setPhysicalScale);
    connect(ui->canvas, &WindowCanvas::choicesEdited, this, &Window_Main::choicesEdited);
    connect(ui->canvas, &WindowCanvas::diagonalWanted, this, &Window_Main::askDiagonal);
    connect(ui->btnPreferences, &QPushButton::clicked, this, &Window_Main::preferencesWanted);
}

Window_Main::~Window_Main()
{
    delete ui;
}

template <typename Change> void Window_Main::edit(Change change)
{
    if (showing || !shown)
        return;
    Choices choices = shown->choices;
    change(choices);
    emit choicesEdited(choices);
}

void Window_Main::showSnapshot(std::shared_ptr<const Snapshot> snapshot, bool compositorRunning)
{
    compositor = compositorRunning;
    showing = true;
    const Choices &c = snapshot->choices;
    const ScreenTable &table = snapshot->screens;
    ui->btnMinVelocity->setChecked(c.minVelocityOn);
    const bool speedKnown = features.available(Feature::VelocityThresholds);
    const bool focusAllowed = features.available(Feature::ScreenFocus);
    ui->spnMinVelocity->setEnabled(speedKnown && c.minVelocityOn);
    ui->spnMinVelocity->setValue(c.minVelocity);
    ui->btnMaxVelocity->setChecked(c.maxVelocityOn);
    ui->spnMaxVelocity->setEnabled(speedKnown && c.maxVelocityOn);
    ui->spnMaxVelocity->setValue(c.maxVelocity);
    ui->btnEasyMove->setChecked(c.easyMove);
    ui->btnScreenFocus->setChecked(c.screenFocus);
    ui->btnScreenFocus->setEnabled(focusAllowed);
    ui->sldOpacityAmount->setEnabled(c.screenFocus && focusAllowed);
    // A slider being dragged keeps its handle where the hand is.
    if (!ui->sldOpacityAmount->isSliderDown())
        ui->sldOpacityAmount->setValue(c.screenFocusDarkness);

    // The rule needs two monitors' sizes; the map at physical scale is
    // where the user gives them.
    const bool sizes = PhysicalLayout::knownSizes(table) >= 2;
    const bool crossing = features.available(Feature::CrossByPhysicalSize);
    const QString noCrossing = !crossing ? features.reason(Feature::CrossByPhysicalSize)
                               : !sizes  ? QString("Crossing by size needs two monitors' sizes: "
                                                    "right-click one on the map to set it.")
                                         : QString();
    ui->btnCrossBySize->setChecked(c.crossByPhysicalSize);
    ui->btnCrossBySize->setEnabled(noCrossing.isEmpty());
    ui->btnCrossBySize->setToolTip(noCrossing);
    ui->btnCrossBySize->setVisible(table.multipleScreens);
    ui->chkPhysicalScale->setVisible(table.multipleScreens);
    ui->lblNoSizes->setText(noCrossing);
    ui->lblNoSizes->setVisible(table.multipleScreens && !noCrossing.isEmpty());

    ui->line_3->setVisible(table.screenHeightsDiffer);
    ui->btnEasyMove->setVisible(table.screenHeightsDiffer);
    ui->line_4->setVisible(table.multipleScreens);
    ui->btnScreenFocus->setVisible(table.multipleScreens);
    ui->sldOpacityAmount->setVisible(table.multipleScreens);
    // Without a compositor a window is either there or not: the darkness
    // cannot apply. Said beside the control.
    ui->lblNoCompositor->setVisible(table.multipleScreens && !compositorRunning);
    ui->canvas->setSnapshot(snapshot);
    shown = std::move(snapshot);
    showing = false;
}

void Window_Main::setFeatures(const DesktopFeatures &allowed)
{
    features = allowed;
    const bool speed = allowed.available(Feature::VelocityThresholds);
    // The reason takes the place of the compositor's, which a desktop that
    // hides the speed (Wayland) never needs.
    ui->btnMinVelocity->setEnabled(speed);
    ui->btnMaxVelocity->setEnabled(speed);
    ui->lblNoSpeed->setText(allowed.reason(Feature::VelocityThresholds));
    ui->lblNoSpeed->setVisible(!speed);
    ui->btnEasyMove->setEnabled(allowed.available(Feature::EasyMove));
    ui->btnEasyMove->setToolTip(allowed.reason(Feature::EasyMove));
    ui->btnScreenFocus->setToolTip(allowed.reason(Feature::ScreenFocus));
    if (shown)
        showSnapshot(shown, compositor);
}

void Window_Main::askDiagonal(int screen)
{
    if (!shown || screen < 0 || screen >= shown->screens.size())
        return;
    const QString name = shown->screens.names[std::size_t(screen)];
    const ScreenRect r = shown->screens.rects[std::size_t(screen)];
    const QSize now = shown->screens.physicalMm[std::size_t(screen)];
    const double inches =
        now.isEmpty() ? 24.0 : std::hypot(double(now.width()), double(now.height())) / 25.4;
    bool ok = false;
    const double given = QInputDialog::getDouble(
        this, "Monitor size",
        "Diagonal of " + WindowCanvas::label(name, r) + " in inches:", std::round(inches * 10) / 10,
        5, 120, 1, &ok);
    if (ok)
        edit(
            [&](Choices &c) { c.monitorSizesMm[name] = PhysicalLayout::mmFromDiagonal(given, r); });
}

void Window_Main::showReadout(int x, int y, int speed)
{
    // A label whose text is the same is not laid out or painted again.
    lblMouseX->setText("Mouse X: " + QString::number(x) + "px");
    lblMouseY->setText("Mouse Y: " + QString::number(y) + "px");
    lblVelocity->setText(features.available(Feature::ReadoutSpeed)
                             ? "Mouse Velocity: " + QString::number(speed) + "px/150ms"
                             : QString("Mouse Velocity: not known"));
}

void Window_Main::showPositionUnknown()
{
    lblMouseX->setText("Mouse X: not known");
    lblMouseY->setText("Mouse Y: not known");
    lblVelocity->setText("Mouse Velocity: not known");
}

void Window_Main::bringToFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void Window_Main::closeEvent(QCloseEvent *event)
{
    event->ignore();
    emit closeWanted();
}

void Window_Main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    emit shownChanged(true);
}

void Window_Main::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    emit shownChanged(isVisible()); // still shown when only minimised
}
