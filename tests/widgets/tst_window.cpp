#include "enginestate.h"
#include "logicctrl.h"
#include "sessioncheck.h"
#include "singleinstance.h"
#include "ui_window_main.h"
#include "window_main.h"
#include "windowcanvas.h"
#include "x11platform.h"

#include <QLockFile>
#include <QToolBar>
#include <QtTest>
#include <unistd.h>

// The main window on Qt's offscreen platform: one screen, no tray.
class TestWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Window_Main *w = nullptr;

private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }

    void init()
    {
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        w = new Window_Main();
    }

    void cleanup()
    {
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        delete w;
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
        QCOMPARE(w->ui->canvas->geometry(), QRect(10, 10, 561, 351));
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
        QCOMPARE(w->ui->lbVersion->text(), QString("v1.0"));

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

    void statusBarReadout()
    {
        QLabel *labels[] = {engineState.lblMouseX, engineState.lblMouseY, engineState.lblVelocity};
        // No event has been delivered yet: the start texts stand.
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

        // Once the event loop runs, the engine's refreshes show the cursor.
        QCursor::setPos(-37, 52);
        QTRY_COMPARE(labels[0]->text(), QString("Mouse X: -37px"));
        QTRY_COMPARE(labels[1]->text(), QString("Mouse Y: 52px"));
        QTRY_COMPARE(labels[2]->text(), QString("Mouse Velocity: 0px/150ms"));
    }

    void moveMouseMovesAndSamplingFollows()
    {
        const int before = engineState.cursorX;
        QVERIFY(QMetaObject::invokeMethod(w, "on_moveMouse", Q_ARG(int, 5), Q_ARG(int, 7)));
        QCOMPARE(QCursor::pos(), QPoint(5, 7));
        QCOMPARE(engineState.cursorX.load(), before); // only the next sample sees it
        QTRY_COMPARE(engineState.cursorX.load(), 5);
        QTRY_COMPARE(engineState.cursorY.load(), 7);
    }

    void slotsInOrder()
    {
        const QStringList expected{"on_btnMinVelocity_clicked()",
                                   "on_spnMinVelocity_valueChanged(int)",
                                   "on_btnMaxVelocity_clicked()",
                                   "on_spnMaxVelocity_valueChanged(int)",
                                   "on_btnEasyMove_clicked()",
                                   "iconActivated(QSystemTrayIcon::ActivationReason)",
                                   "on_hide_showItem_clicked()",
                                   "on_exitItem_clicked()",
                                   "on_updateLabels()",
                                   "on_updateMouse()",
                                   "on_moveMouse(int,int)",
                                   "on_btnScreenFocus_clicked()",
                                   "on_generateNewScreenFocus(uint)",
                                   "on_destroyScreenFocus()",
                                   "on_sldOpacityAmount_valueChanged(int)",
                                   "on_btnPreferences_clicked()"};
        const QMetaObject *mo = w->metaObject();
        QStringList found;
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
            QCOMPARE(mo->method(i).methodType(), QMetaMethod::Slot);
            QCOMPARE(mo->method(i).access(), QMetaMethod::Private);
            found << QString::fromLatin1(mo->method(i).methodSignature());
        }
        QCOMPARE(found, expected);
    }

    void engineSignalsAreConnected()
    {
        LogicCtrl *logic = engineState.logicCtrl;
        QVERIFY(logic);
        for (const char *sig :
             {SIGNAL(updateLabels()), SIGNAL(moveMouse(int, int)), SIGNAL(updateMouse()),
              SIGNAL(generateNewScreenFocus(uint)), SIGNAL(destroyScreenFocus())}) {
            QVERIFY2(QObject::disconnect(logic, sig, w, nullptr), sig);
        }
    }

    void oneScreenHidesEasyMoveAndScreenFocus()
    {
        QCOMPARE(QGuiApplication::screens().size(), 1);
        w->show();
        QVERIFY(w->ui->line_3->isHidden());
        QVERIFY(w->ui->btnEasyMove->isHidden());
        QVERIFY(w->ui->line_4->isHidden());
        QVERIFY(w->ui->btnScreenFocus->isHidden());
        QVERIFY(w->ui->sldOpacityAmount->isHidden());
        QVERIFY(!w->curtains);
        for (QWidget *c : {static_cast<QWidget *>(w->ui->btnMinVelocity),
                           static_cast<QWidget *>(w->ui->spnMinVelocity),
                           static_cast<QWidget *>(w->ui->btnMaxVelocity),
                           static_cast<QWidget *>(w->ui->spnMaxVelocity)})
            QVERIFY(c->isVisible());
        QVERIFY(!w->trayIcon); // offscreen has no tray
    }

    void thresholdControls()
    {
        QSpinBox *spin = w->ui->spnMinVelocity;
        w->ui->btnMinVelocity->click();
        QVERIFY(engineState.minVelocityOn);
        QVERIFY(spin->isEnabled());
        QCOMPARE(spin->value(), 0);
        spin->stepUp();
        QCOMPARE(engineState.minVelocity.load(), 10);
        spin->setValue(1234);
        QCOMPARE(engineState.minVelocity.load(), 1234);
        w->ui->btnMinVelocity->click();
        QVERIFY(!engineState.minVelocityOn);
        QVERIFY(!spin->isEnabled());
        QCOMPARE(spin->value(), 1234);
        QCOMPARE(engineState.minVelocity.load(), 1234);

        w->ui->btnMaxVelocity->click();
        QVERIFY(engineState.maxVelocityOn);
        QVERIFY(w->ui->spnMaxVelocity->isEnabled());
        w->ui->spnMaxVelocity->setValue(300);
        QCOMPARE(engineState.maxVelocity.load(), 300);
        w->ui->btnMaxVelocity->click();
        QVERIFY(!engineState.maxVelocityOn);

        // A new window starts from the state as it is (nothing of this is
        // stored between runs, but within one it is).
        engineState.minVelocityOn = false;
        engineState.minVelocity = 0;
        engineState.maxVelocityOn = false;
        engineState.maxVelocity = 0;
    }

    void closingWithoutATrayIsAccepted()
    {
        w->show();
        QVERIFY(w->close()); // accepted: with the last window the event loop ends
        QVERIFY(!w->isVisible());
        // What a second start asks for brings it back.
        w->bringToFront();
        QVERIFY(w->isVisible());
    }

    void cursorControlNeedsX11()
    {
        QVERIFY(X11Platform::cursorControlAvailable("xcb", "x11"));
        QVERIFY(X11Platform::cursorControlAvailable("xcb", ""));
        QVERIFY(X11Platform::cursorControlAvailable("windows", ""));
        QVERIFY(!X11Platform::cursorControlAvailable("wayland", "wayland"));
        QVERIFY(!X11Platform::cursorControlAvailable("wayland-egl", ""));
        QVERIFY(!X11Platform::cursorControlAvailable("xcb", "wayland")); // XWayland
        QVERIFY(!X11Platform::cursorControlAvailable("xcb", "Wayland"));
    }

    void singleInstanceFolderAndLock()
    {
        // The lock lives only in a folder of the user's own that no one else
        // may enter: not in one another user owns, not in an open one, not
        // behind a link.
        QTemporaryDir base;
        const unsigned me = ::getuid();
        const QString mine = base.path() + "/mine", open = base.path() + "/open",
                      link = base.path() + "/link";
        QCOMPARE(SingleInstance::privateFolder(mine, me), mine); // made private
        QCOMPARE(QFileInfo(mine).permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY(QDir().mkdir(open));
        QVERIFY(QFile::setPermissions(open, QFileDevice::Permissions(0x7755)));
        QCOMPARE(SingleInstance::privateFolder(open, me), QString());
        QCOMPARE(SingleInstance::privateFolder(mine, me + 1), QString()); // someone else's
        QVERIFY(QFile::link(mine, link));
        QCOMPARE(SingleInstance::privateFolder(link, me), QString());
        QCOMPARE(SingleInstance::privateFolder(QString(), me), QString());

        // One instance per display; a held lock nobody answers for is
        // reported, not taken for a running Pellmar.
        SingleInstance first(":7", mine.toLocal8Bit());
        QCOMPARE(first.claim(), SingleInstance::Claim::Run);
        SingleInstance other(":8", mine.toLocal8Bit());
        QCOMPARE(other.claim(), SingleInstance::Claim::Run);
        QVERIFY(first.lockFile() != other.lockFile());
        QLockFile held(mine + "/pellmar-_9.lock");
        QVERIFY(held.tryLock(0));
        SingleInstance blocked(":9", mine.toLocal8Bit());
        QCOMPARE(blocked.lockFile(), mine + "/pellmar-_9.lock");
        QCOMPARE(blocked.claim(), SingleInstance::Claim::Unanswered);
    }

    void destructorSavesAndStopsTheThreads()
    {
        QTemporaryDir other;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, other.path());
        engineState.allowLeftWrap = true;
        LogicCtrl *logic = engineState.logicCtrl;
        QVERIFY(logic->isRunning());
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        delete w;
        w = nullptr;
        QVERIFY(!engineState.threadsRunning);
        QSettings stored(other.path() + "/Brenvik/Pellmar.conf", QSettings::IniFormat);
        QCOMPARE(stored.value("allowLeftWrap").toString(), QString("true"));
        // The three first keys at the top level, every other choice apart.
        QCOMPARE(stored.childKeys().size(), 3);
        QCOMPARE(stored.childGroups(), (QStringList{"Choices", "Cursor"}));
        engineState.allowLeftWrap = false;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        // cleanup() expects a window to delete.
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        w = new Window_Main();
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
