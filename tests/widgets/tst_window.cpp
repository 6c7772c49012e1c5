#include "appfixture.h"
#include "focuscurtains.h"
#include "ui_window_main.h"
#include "window_main.h"
#include "windowcanvas.h"

#include <QInputDialog>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

// The main window as the application makes it, on Qt's offscreen platform
// (no tray) over a fake window system of one full HD screen.
class TestWindow : public QObject, AppFixture
{
    Q_OBJECT

    Window_Main *w = nullptr;

    void start()
    {
        AppFixture::start();
        w = app->window();
        QVERIFY(w);
    }

    void stop()
    {
        AppFixture::stop();
        w = nullptr;
    }

    // Starts again on these stored settings.
    void restartWith(const QVariantMap &stored)
    {
        stop();
        QSettings file(settingsFile(), QSettings::IniFormat);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            file.setValue(it.key(), it.value());
        file.sync();
        start();
    }

private slots:
    void initTestCase()
    {
        // As main() has it: only the user ends Pellmar.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init()
    {
        // Every test starts from no settings file at all.
        freshSettings();
        make({QRect(0, 0, 1920, 1080)});
        start();
    }

    void cleanup()
    {
        end();
        w = nullptr;
    }

    void fixedSizeWithStatusBarOnly()
    {
        QCOMPARE(w->size(), QSize(765, 400));
        QCOMPARE(w->minimumSize(), QSize(765, 400));
        QCOMPARE(w->maximumSize(), QSize(765, 400));
        QCOMPARE(w->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(w->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QVERIFY(w->statusBar());
        QVERIFY(!w->menuWidget());
        QVERIFY(w->findChildren<QToolBar *>().isEmpty());
        QVERIFY(!w->windowIcon().isNull());
        QCOMPARE(w->windowTitle(), QString("Pellmar"));
    }

    void widgetGeometry()
    {
        QCOMPARE(w->ui->frame->geometry(), QRect(580, 10, 171, 281));
        QCOMPARE(w->ui->frame->lineWidth(), 5);
        QCOMPARE(w->ui->frame->frameShape(), QFrame::StyledPanel);
        QCOMPARE(w->ui->canvas->geometry(), QRect(10, 10, 561, 321));
        QVERIFY(qobject_cast<WindowCanvas *>(w->ui->canvas));
        QCOMPARE(w->ui->canvas->parentWidget(), w->ui->centralWidget);
        QCOMPARE(w->ui->lbVersion->geometry(), QRect(640, 350, 46, 13));
        QCOMPARE(w->ui->lbVersion->alignment(), Qt::AlignCenter);
        QCOMPARE(w->ui->verticalLayout->spacing(), 6);
        QCOMPARE(w->ui->verticalLayout->contentsMargins(), QMargins(11, 11, 11, 11));
    }

    void panelOrderTextsAndFonts()
    {
        const QStringList order{
            "lblSettings", "line",           "btnMinVelocity", "lblMinThresh",    "spnMinVelocity",
            "line_2",      "btnMaxVelocity", "lblMaxThresh",   "spnMaxVelocity",  "line_3",
            "btnEasyMove", "line_4",         "btnScreenFocus", "sldOpacityAmount"};
        QStringList found;
        for (int i = 0; i < w->ui->verticalLayout->count(); ++i)
            found << w->ui->verticalLayout->itemAt(i)->widget()->objectName();
        QCOMPARE(found, order);

        QCOMPARE(w->ui->lblSettings->text(), QString("Settings"));
        QCOMPARE(w->ui->btnMinVelocity->text(), QString("Min Velocity"));
        QCOMPARE(w->ui->lblMinThresh->text(), QString("Threshold (px/150ms):"));
        QCOMPARE(w->ui->btnMaxVelocity->text(), QString("Max Velocity"));
        QCOMPARE(w->ui->lblMaxThresh->text(), QString("Threshold (px/150ms):"));
        QCOMPARE(w->ui->btnEasyMove->text(), QString("Easy Move"));
        QCOMPARE(w->ui->btnScreenFocus->text(), QString("Screen Focus"));
        QCOMPARE(w->ui->lbVersion->text(), QString("v1.0")); // project()'s version

        const QFont heading = w->ui->lblSettings->font();
        QCOMPARE(heading.family(), QString("Segoe UI"));
        QCOMPARE(heading.pointSize(), 11);
        QVERIFY(heading.bold());
        for (QWidget *c : {static_cast<QWidget *>(w->ui->btnMinVelocity),
                           static_cast<QWidget *>(w->ui->lblMinThresh),
                           static_cast<QWidget *>(w->ui->spnMinVelocity),
                           static_cast<QWidget *>(w->ui->btnMaxVelocity),
                           static_cast<QWidget *>(w->ui->lblMaxThresh),
                           static_cast<QWidget *>(w->ui->spnMaxVelocity),
                           static_cast<QWidget *>(w->ui->btnEasyMove),
                           static_cast<QWidget *>(w->ui->btnScreenFocus)}) {
            QCOMPARE(c->font().family(), QString("Segoe UI"));
            QCOMPARE(c->font().pointSize(), 9);
            QVERIFY(!c->font().bold());
        }
    }

    void spinBoxesAndSlider()
    {
        // No settings file: the defaults.
        for (QSpinBox *spin : {w->ui->spnMinVelocity, w->ui->spnMaxVelocity}) {
            QCOMPARE(spin->minimum(), 0);
            QCOMPARE(spin->maximum(), 10000);
            QCOMPARE(spin->singleStep(), 10);
            QCOMPARE(spin->suffix(), QString("px"));
            QCOMPARE(spin->text(), QString("0px"));
            QVERIFY(!spin->isEnabled());
        }
        QSlider *s = w->ui->sldOpacityAmount;
        QCOMPARE(s->minimum(), 0);
        QCOMPARE(s->maximum(), 100);
        QCOMPARE(s->value(), 50);
        QCOMPARE(s->orientation(), Qt::Horizontal);
        QCOMPARE(s->tickPosition(), QSlider::TicksAbove);
        QCOMPARE(s->tickInterval(), 10);
        QVERIFY(!s->isEnabled());
    }

    void controlsShowTheStoredChoices()
    {
        restartWith({{"Choices/minVelocityOn", true},
                     {"Choices/minVelocity", 120},
                     {"Choices/maxVelocity", 4500},
                     {"Choices/screenFocusDarkness", 70}});
        QVERIFY(w->ui->btnMinVelocity->isChecked());
        QVERIFY(w->ui->spnMinVelocity->isEnabled());
        QCOMPARE(w->ui->spnMinVelocity->value(), 120);
        QVERIFY(!w->ui->btnMaxVelocity->isChecked());
        QVERIFY(!w->ui->spnMaxVelocity->isEnabled());
        QCOMPARE(w->ui->spnMaxVelocity->value(), 4500);
        QCOMPARE(w->ui->sldOpacityAmount->value(), 70);
        // Shown, not taken for a change of the user's.
        QVERIFY(!app->savePending());
    }

    void statusBarReadout()
    {
        QLabel *labels[] = {w->lblMouseX, w->lblMouseY, w->lblVelocity};
        // Nothing shown yet: the start texts stand.
        QCOMPARE(labels[0]->text(), QString("Mouse X: 0000px"));
        QCOMPARE(labels[1]->text(), QString("Mouse Y: 0000px"));
        QCOMPARE(labels[2]->text(), QString("Mouse Velocity: 0000px/150ms"));
        QVERIFY(!w->statusBar()->isSizeGripEnabled());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        for (QLabel *l : labels)
            QCOMPARE(l->parentWidget(), w->statusBar());
        QVERIFY(labels[0]->x() < labels[1]->x() && labels[1]->x() < labels[2]->x());
        // Left to right, sharing the bar (to a pixel: Qt 6 hands the
        // remainder out otherwise); the longest start text may claim a
        // little more than a third.
        QVERIFY(qAbs(labels[0]->width() - labels[1]->width()) <= 1);
        QVERIFY(labels[2]->width() >= labels[0]->width());
        QVERIFY(labels[0]->width() > w->width() / 4);

        // The engine's readout shows the pointer, and its speed falls to 0
        // once it stands still.
        platform->moveDevice(-37, 52);
        QTRY_COMPARE(labels[0]->text(), QString("Mouse X: -37px"));
        QTRY_COMPARE(labels[1]->text(), QString("Mouse Y: 52px"));
        QTRY_COMPARE(labels[2]->text(), QString("Mouse Velocity: 0px/150ms"));

        // Hidden, the readout is not refreshed; shown again, it is.
        w->hide();
        const int reads = platform->pointer.reads();
        platform->moveDevice(640, 480);
        QTRY_VERIFY(platform->pointer.reads() > reads);
        QTest::qWait(100);
        QCOMPARE(labels[0]->text(), QString("Mouse X: -37px"));
        w->show();
        QTRY_COMPARE(labels[0]->text(), QString("Mouse X: 640px"));
        QTRY_COMPARE(labels[1]->text(), QString("Mouse Y: 480px"));
    }

    void theEnginesOwnMoveIsWhatItReadsNext()
    {
        w->show();
        edit([](Choices &c) { c.allowRightWrap = true; });
        platform->moveDevice(1919, 7);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 7));
        QCOMPARE(platform->pointer.moves(), (std::vector<QPoint>{QPoint(1, 7)}));
        // The readout, from the engine's next read, shows where it went.
        QTRY_COMPARE(w->lblMouseX->text(), QString("Mouse X: 1px"));
        QCOMPARE(w->lblMouseY->text(), QString("Mouse Y: 7px"));
    }

    void theWindowOnlyShowsAndAsks()
    {
        // Its own methods are the four signals: no slot that setupUi could
        // connect by its name behind the explicit connections' backs.
        const QStringList expected{"choicesEdited(Choices)", "preferencesWanted()", "closeWanted()",
                                   "shownChanged(bool)"};
        const QMetaObject *mo = w->metaObject();
        QStringList found;
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
            QCOMPARE(mo->method(i).methodType(), QMetaMethod::Signal);
            found << QString::fromLatin1(mo->method(i).methodSignature());
        }
        QCOMPARE(found, expected);
    }

    void oneScreenHidesEasyMoveAndScreenFocus()
    {
        // Stored on, but one screen offers neither: both are hidden and do
        // nothing, and the choices stay for a desktop that offers them.
        restartWith({{"Choices/easyMove", true}, {"Choices/screenFocus", true}});
        w->show();
        QVERIFY(w->ui->line_3->isHidden());
        QVERIFY(w->ui->btnEasyMove->isHidden());
        QVERIFY(w->ui->line_4->isHidden());
        QVERIFY(w->ui->btnScreenFocus->isHidden());
        QVERIFY(w->ui->sldOpacityAmount->isHidden());
        QVERIFY(app->choices().easyMove && app->choices().screenFocus);
        QVERIFY(!app->savePending());
        // No curtain, whatever the engine or a late report says.
        const int reads = platform->pointer.reads();
        platform->moveDevice(300, 300);
        QTRY_VERIFY(platform->pointer.reads() > reads);
        app->focusScreen(-1, app->snapshot()->layout);
        QVERIFY(app->curtains().shown().isEmpty());
        QCOMPARE(QApplication::topLevelWidgets().size(), 1);
        for (QWidget *c : {static_cast<QWidget *>(w->ui->btnMinVelocity),
                           static_cast<QWidget *>(w->ui->spnMinVelocity),
                           static_cast<QWidget *>(w->ui->btnMaxVelocity),
                           static_cast<QWidget *>(w->ui->spnMaxVelocity)})
            QVERIFY(c->isVisible());
        QVERIFY(!app->tray()); // offscreen has no tray
    }

    void thresholdControls()
    {
        // Each control changes the choices, and the engine gets them.
        auto chosen = [this] { return app->snapshot()->choices; };
        QSpinBox *spin = w->ui->spnMinVelocity;
        w->ui->btnMinVelocity->click();
        QVERIFY(chosen().minVelocityOn);
        QVERIFY(spin->isEnabled());
        QCOMPARE(spin->value(), 0);
        spin->stepUp();
        QCOMPARE(chosen().minVelocity, 10);
        spin->setValue(1234);
        QCOMPARE(chosen().minVelocity, 1234);
        w->ui->btnMinVelocity->click();
        QVERIFY(!chosen().minVelocityOn);
        QVERIFY(!spin->isEnabled());
        QCOMPARE(spin->value(), 1234);
        QCOMPARE(chosen().minVelocity, 1234);

        w->ui->btnMaxVelocity->click();
        QVERIFY(chosen().maxVelocityOn);
        QVERIFY(w->ui->spnMaxVelocity->isEnabled());
        w->ui->spnMaxVelocity->setValue(300);
        QCOMPARE(chosen().maxVelocity, 300);
        w->ui->btnMaxVelocity->click();
        QVERIFY(!chosen().maxVelocityOn);
        QCOMPARE(app->choices(), chosen());

        // A new start shows them as they were left.
        stop();
        start();
        QVERIFY(!w->ui->btnMinVelocity->isChecked());
        QCOMPARE(w->ui->spnMinVelocity->value(), 1234);
        QCOMPARE(w->ui->spnMaxVelocity->value(), 300);
    }

    void closingWithoutATrayEndsPellmar()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Should nothing end the loop, this does, with another code.
        QTimer stuck;
        stuck.setSingleShot(true);
        connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        stuck.start(30000);
        QTimer::singleShot(0, w, [this] { w->close(); });
        QCOMPARE(QApplication::exec(), 0);
        // Nowhere to hide to: no notice, and the one-time notice is not
        // used up.
        QVERIFY(app->choices().showCloseNotice);
        // What a second start asks for brings the window to the front.
        w->hide();
        QCOMPARE(app->obey("show"), QString("ok"));
        QVERIFY(w->isVisible());
        QCOMPARE(app->obey("dance"), QString("This Pellmar does not know --dance"));
    }

    void aDiagonalGivenOnTheMapBecomesTheMonitorsSize()
    {
        // The dialog offers the diagonal of the size known (24" when none
        // is); cancelled it changes nothing, answered it sets the size by
        // the monitor's shape, and the file keeps it.
        w->show();
        double offered = 0;
        const auto ask = [&](double inches, bool accept) {
            QTimer::singleShot(0, w, [&offered, inches, accept] {
                auto *d = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
                QVERIFY(d);
                offered = d->doubleValue();
                d->setDoubleValue(inches);
                accept ? d->accept() : d->reject();
            });
            emit w->ui->canvas->diagonalWanted(0);
        };
        ask(27, false);
        QCOMPARE(offered, 24.0);
        QVERIFY(app->choices().monitorSizesMm.isEmpty());
        ask(27, true);
        QCOMPARE(app->choices().monitorSizesMm.value("DUMMY0"), QSize(598, 336));
        QTRY_COMPARE(app->snapshot()->screens.physicalMm[0], QSize(598, 336));
        ask(24, false);
        QCOMPARE(offered, 27.0);
        stop();
        QSettings file(settingsFile(), QSettings::IniFormat);
        QCOMPARE(file.value("Choices/Monitors/DUMMY0/widthMm").toInt(), 598);
        QCOMPARE(file.value("Choices/Monitors/DUMMY0/heightMm").toInt(), 336);
    }

    void endingTheApplicationSaves()
    {
        edit([](Choices &c) {
            c.allowLeftWrap = true;
            c.minVelocity = 40;
            c.bypassModifier = AltKey;
        });
        QVERIFY(app->savePending());
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        app.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        // Each key where it has always been: the three first at the top
        // level, every other choice apart.
        QSettings stored(settingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value("allowLeftWrap").toString(), QString("true"));
        QCOMPARE(stored.value("Choices/minVelocity").toString(), QString("40"));
        QCOMPARE(stored.value("Cursor/bypassModifier").toString(), QString("alt"));
        QCOMPARE(stored.childKeys(),
                 (QStringList{"allowLeftWrap", "allowRightWrap", "boolShowToolTip"}));
        QCOMPARE(stored.childGroups(), (QStringList{"Choices", "Cursor"}));
        // cleanup() expects an application.
        app = std::make_unique<Application>(std::make_unique<FakePlatform>());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
