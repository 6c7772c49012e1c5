#include "enginestate.h"
#include "screendarkencurtain.h"
#include "ui_window_main.h"
#include "window_main.h"

#include <QtTest>

namespace {

std::vector<ScreenRect> table;
std::vector<ScreenRect> fakeScreens()
{
    return table;
}

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

} // namespace

// The control panel and the curtains over made-up screen arrangements, on
// the offscreen platform.
class TestControls : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    Window_Main *open(const std::vector<ScreenRect> &screens)
    {
        table = screens;
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        auto *w = new Window_Main();
        w->show();
        return w;
    }

    void close(Window_Main *w)
    {
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        delete w;
    }

    static QList<QRect> curtainGeometry(Window_Main *w)
    {
        QList<QRect> out;
        for (ScreenDarkenCurtain *c : *w->curtains)
            out << c->geometry();
        return out;
    }

private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        Window_Main::screenSource = fakeScreens;
        // Keep the engine's own focus step out of these tests: the cursor
        // is not where the made-up screens are.
        engineState.screenFocusOn = false;
    }

    void equalHeightsHideOnlyEasyMove()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        QVERIFY(w->ui->btnEasyMove->isHidden());
        QVERIFY(w->ui->line_3->isHidden());
        QVERIFY(w->ui->btnScreenFocus->isVisible());
        QVERIFY(w->ui->sldOpacityAmount->isVisible());
        QVERIFY(!w->ui->sldOpacityAmount->isEnabled());
        QVERIFY(w->curtains);
        QVERIFY(w->curtains->isEmpty());
        close(w);
    }

    void differentHeightsShowEverything()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1199), rect(1920, 0, 3199, 1023)});
        for (QWidget *c :
             {static_cast<QWidget *>(w->ui->line_3), static_cast<QWidget *>(w->ui->btnEasyMove),
              static_cast<QWidget *>(w->ui->line_4), static_cast<QWidget *>(w->ui->btnScreenFocus),
              static_cast<QWidget *>(w->ui->sldOpacityAmount)})
            QVERIFY2(c->isVisible(), qPrintable(c->objectName()));
        QVERIFY(!w->ui->btnEasyMove->isChecked());

        // Easy Move writes its switch and touches no other control.
        w->ui->btnEasyMove->click();
        QVERIFY(engineState.easyMoveOn);
        QVERIFY(!w->ui->btnScreenFocus->isChecked());
        QVERIFY(!w->ui->spnMinVelocity->isEnabled());
        w->ui->btnEasyMove->click();
        QVERIFY(!engineState.easyMoveOn);
        close(w);
    }

    void curtainsOnEveryOtherScreen()
    {
        Window_Main *w =
            open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023), rect(3200, 0, 5119, 1079)});
        QVERIFY(QMetaObject::invokeMethod(w, "on_generateNewScreenFocus", Q_ARG(uint, 1)));
        QCOMPARE(curtainGeometry(w),
                 (QList<QRect>{QRect(0, 0, 1920, 1080), QRect(3200, 0, 1920, 1080)}));
        for (ScreenDarkenCurtain *c : *w->curtains) {
            QVERIFY(qAbs(c->windowOpacity() - 0.5) < 0.005); // kept in 1/255 steps
            QCOMPARE(c->minimumSize(), c->maximumSize());
            QCOMPARE(c->minimumSize(), c->size());
            QVERIFY(c->isVisible());
            QVERIFY(!c->parentWidget());
            const Qt::WindowFlags f = c->windowFlags();
            QVERIFY(f.testFlag(Qt::Tool) && f.testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(f.testFlag(Qt::WindowDoesNotAcceptFocus));
            QVERIFY(f.testFlag(Qt::WindowTransparentForInput));
            QVERIFY(f.testFlag(Qt::FramelessWindowHint));
            QCOMPARE(c->styleSheet(), QString("background-color: black;"));
            QCOMPARE(c->mask(), QRegion(0, 0, c->width(), c->height()));
        }
        // A new focus replaces the set; never two sets at once.
        QVERIFY(QMetaObject::invokeMethod(w, "on_generateNewScreenFocus", Q_ARG(uint, 0)));
        QCOMPARE(curtainGeometry(w),
                 (QList<QRect>{QRect(1920, 0, 1280, 1024), QRect(3200, 0, 1920, 1080)}));
        QCOMPARE(QApplication::topLevelWidgets().size(), 3);
        // The index of "no screen" curtains them all.
        QVERIFY(
            QMetaObject::invokeMethod(w, "on_generateNewScreenFocus", Q_ARG(uint, 4294967295u)));
        QCOMPARE(w->curtains->size(), 3);
        QVERIFY(QMetaObject::invokeMethod(w, "on_destroyScreenFocus"));
        QVERIFY(w->curtains->isEmpty());
        QVERIFY(QMetaObject::invokeMethod(w, "on_destroyScreenFocus")); // empty: nothing
        QCOMPARE(QApplication::topLevelWidgets().size(), 1);
        close(w);
    }

    void opacitySliderAndSwitch()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        QSlider *slider = w->ui->sldOpacityAmount;
        slider->setValue(30); // while off: only stored
        QCOMPARE(engineState.curtainOpacityPercent.load(), 30);
        QVERIFY(w->curtains->isEmpty());

        w->ui->btnScreenFocus->click();
        QVERIFY(engineState.screenFocusOn);
        QVERIFY(slider->isEnabled());
        QVERIFY(w->curtains->isEmpty());   // the engine puts them up, not the switch
        engineState.screenFocusOn = false; // keep the running engine out of it
        QVERIFY(QMetaObject::invokeMethod(w, "on_generateNewScreenFocus", Q_ARG(uint, 0)));
        QVERIFY(qAbs(w->curtains->first()->windowOpacity() - 0.3) < 0.005);
        slider->setValue(100);
        QCOMPARE(w->curtains->first()->windowOpacity(), 1.0);
        slider->setValue(0);
        QCOMPARE(w->curtains->first()->windowOpacity(), 0.0);

        w->ui->btnScreenFocus->click(); // off
        QVERIFY(!engineState.screenFocusOn);
        QVERIFY(!slider->isEnabled());
        QVERIFY(w->curtains->isEmpty());
        slider->setValue(50);
        close(w);
    }

    void engineFocusStepPutsCurtainsUp()
    {
        // The offscreen cursor sits on the made-up first screen; with the
        // feature on, the running engine curtains the second.
        Window_Main *w =
            open({rect(-100000, -100000, 100000, 100000), rect(200000, 0, 201919, 1079)});
        QCursor::setPos(10, 10);
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(curtainGeometry(w), (QList<QRect>{QRect(200000, 0, 1920, 1080)}));
        w->ui->btnScreenFocus->click();
        QVERIFY(w->curtains->isEmpty());
        // Switched on again, on the same screen: the curtains return at once.
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(w->curtains->size(), 1);
        w->ui->btnScreenFocus->click();
        close(w);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
