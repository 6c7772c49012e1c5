#include "engine.h"
#include "enginestate.h"
#include "fakeplatform.h"
#include "logicctrl.h"
#include "screendarkencurtain.h"
#include "ui_window_main.h"
#include "velocityupdater.h"
#include "window_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QSpinBox>
#include <QtTest>

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

// Monitors named DUMMY0, DUMMY1, ... in the order given.
std::vector<PlatformScreen> monitors(const std::vector<ScreenRect> &rects)
{
    std::vector<PlatformScreen> out;
    for (const ScreenRect &r : rects)
        out.push_back(
            {QString("DUMMY%1").arg(out.size()), QRect(r.left, r.top, r.width(), r.height())});
    return out;
}

int visibleTopLevels()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->isVisible();
    return n;
}

} // namespace

// The control panel and the curtains over made-up screen arrangements, on
// the offscreen platform.
class TestControls : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    FakePlatform *platform = nullptr;

    Window_Main *open(const std::vector<ScreenRect> &screens)
    {
        platform = new FakePlatform(monitors(screens));
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        auto *w = new Window_Main(nullptr, platform);
        w->show();
        return w;
    }

    void close(Window_Main *w)
    {
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        delete w;
        delete platform;
        platform = nullptr;
    }

    // The platform reports a new set of monitors; returns once the window
    // has rebuilt its table.
    void replug(const std::vector<PlatformScreen> &screens)
    {
        const std::uint64_t before = engineState.screens.generation();
        platform->setScreens(screens);
        QTRY_COMPARE(engineState.screens.generation(), before + 1);
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
        // The engine kept out, Screen Focus on: the curtains as asked for.
        w->engine->stop();
        engineState.screenFocusOn = true;
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
        QCOMPARE(visibleTopLevels(), 3);
        // The index of "no screen" curtains them all.
        QVERIFY(
            QMetaObject::invokeMethod(w, "on_generateNewScreenFocus", Q_ARG(uint, 4294967295u)));
        QCOMPARE(w->curtains->size(), 3);
        QVERIFY(QMetaObject::invokeMethod(w, "on_destroyScreenFocus"));
        QVERIFY(w->curtains->isEmpty());
        QVERIFY(QMetaObject::invokeMethod(w, "on_destroyScreenFocus")); // empty: nothing
        QCOMPARE(visibleTopLevels(), 1);
        // Curtains are shown and hidden, not made anew each time.
        QCOMPARE(QApplication::topLevelWidgets().size(), 4);
        // A request queued before Screen Focus went off puts nothing up.
        engineState.screenFocusOn = false;
        QVERIFY(QMetaObject::invokeMethod(w, "on_generateNewScreenFocus", Q_ARG(uint, 1)));
        QCOMPARE(visibleTopLevels(), 1);
        close(w);
    }

    void opacitySliderAndSwitch()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        QSlider *slider = w->ui->sldOpacityAmount;
        slider->setValue(30); // while off: only stored
        QCOMPARE(engineState.curtainOpacityPercent.load(), 30);
        QVERIFY(w->curtains->isEmpty());

        w->engine->stop(); // the engine kept out: the test asks for curtains
        w->ui->btnScreenFocus->click();
        QVERIFY(engineState.screenFocusOn);
        QVERIFY(slider->isEnabled());
        QVERIFY(w->curtains->isEmpty()); // the engine puts them up, not the switch
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
        platform->warp(10, 10);
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

    void desktopChangesWhileRunning()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        platform->moveDevice(500, 500);
        auto &flags = engineState.screens.editable().wrapFlags;
        flags[1].wrapTop = true; // DUMMY1
        engineState.allowRightWrap = true;
        w->ui->btnEasyMove->click();
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(w->curtains->size(), 1);

        // DUMMY1 goes, DUMMY2 comes in its place and a burst settles into
        // one rebuild.
        auto screens = monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3519, 899)});
        screens[1].name = "DUMMY2";
        platform->setScreens(screens);
        QTest::ignoreMessage(QtDebugMsg, "Screens: DUMMY0 1920x1080+0+0, DUMMY2 1600x900+1920+0");
        replug(screens);
        QTest::qWait(2 * Window_Main::screenSettleMs);
        const ScreenTable &t = engineState.screenTable();
        QCOMPARE(t.desktopRight, 3519);
        QVERIFY(!t.wrapFlags[1].wrapTop); // a new monitor starts with its switches off
        QVERIFY(engineState.allowRightWrap);
        // The engine acts on the new edge.
        platform->moveDevice(3519, 300);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 300));
        // Curtains over the new layout only, never over the cursor's screen.
        QTRY_COMPARE(curtainGeometry(w), (QList<QRect>{QRect(1920, 0, 1600, 900)}));

        // Back to the first pair: DUMMY1 has its top wrap again.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        replug(monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)}));
        QVERIFY(engineState.screenTable().wrapFlags[1].wrapTop);

        // Equal heights: Easy Move goes and is off; one screen: Screen Focus
        // goes too, and with it every curtain.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        replug(monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)}));
        QVERIFY(w->ui->btnEasyMove->isHidden());
        QVERIFY(!engineState.easyMoveOn && !w->ui->btnEasyMove->isChecked());
        QVERIFY(engineState.screenFocusOn);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        replug(monitors({rect(0, 0, 1919, 1079)}));
        QVERIFY(w->ui->btnScreenFocus->isHidden());
        QVERIFY(!engineState.screenFocusOn);
        QVERIFY(w->curtains->isEmpty());
        QCOMPARE(visibleTopLevels(), 1);
        close(w);
    }

    void thresholdsDecideOnArrivalWithTheEngineRunning()
    {
        // Max Velocity 100: a flick onto the edge stays on it, also once the
        // speed has long fallen; leaving and coming back slowly jumps.
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        engineState.allowRightWrap = true;
        w->ui->btnMaxVelocity->click();
        w->ui->spnMaxVelocity->setValue(100);
        platform->moveDevice(2000, 500);
        QTRY_COMPARE(engineState.cursorX.load(), 2000);
        QTest::qWait(200);
        platform->moveDevice(3199, 500);
        QTRY_COMPARE(engineState.cursorX.load(), 3199);
        QTest::qWait(2 * VelocityUpdater::intervalMs + LogicCtrl::warpCheckMs);
        QCOMPARE(platform->cursor(), QPoint(3199, 500));
        QVERIFY(platform->moves.empty());
        for (int x = 3150; x <= 3199; x += 7) {
            platform->moveDevice(x, 500);
            QTest::qWait(60);
        }
        platform->moveDevice(3199, 500);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 500));
        w->ui->btnMaxVelocity->click();
        engineState.allowRightWrap = false;
        close(w);
    }

    void preferencesPauseAndStartAtLogin()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const QString entry = config.path() + "/autostart/com.brenvik.Pellmar.desktop";
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        platform->moveDevice(100, 100);
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(w->curtains->size(), 1);

        // Opened from the main window; every change applies and is saved.
        w->ui->btnPreferences->click();
        auto *dialog = w->findChild<QDialog *>("PreferencesDialog");
        QVERIFY(dialog && dialog->isVisible());
        dialog->findChild<QComboBox *>("cmbBypass")->setCurrentIndex(3);
        QCOMPARE(engineState.bypassModifier.load(), unsigned(AltKey));
        QSettings stored(dir.path() + "/Brenvik/Pellmar.conf", QSettings::IniFormat);
        QCOMPARE(stored.value("Cursor/bypassModifier").toString(), QString("alt"));
        // The fake reports device motion: push through is offered.
        QVERIFY(dialog->findChild<QSpinBox *>("spnPushThrough")->isEnabled());

        // Pause: the curtains go, nothing moves, and it is kept.
        dialog->findChild<QCheckBox *>("chkPause")->click();
        QVERIFY(engineState.paused);
        QVERIFY(w->curtains->isEmpty());
        engineState.allowRightWrap = true;
        platform->moveDevice(3839, 500);
        QTest::qWait(3 * LogicCtrl::warpCheckMs);
        QCOMPARE(platform->cursor(), QPoint(3839, 500));
        stored.sync();
        QCOMPARE(stored.value("Choices/paused").toString(), QString("true"));
        QVERIFY(w->obey("toggle")); // as `pellmar --toggle` asks
        QVERIFY(!engineState.paused);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 500));
        QVERIFY(!w->obey("dance"));

        // Start at login writes and removes the autostart entry.
        dialog->findChild<QCheckBox *>("chkStartAtLogin")->click();
        QVERIFY(QFile::exists(entry));
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(
            text.contains("Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"));
        dialog->findChild<QCheckBox *>("chkStartAtLogin")->click();
        QVERIFY(!QFile::exists(entry));

        dialog->findChild<QComboBox *>("cmbBypass")->setCurrentIndex(0);
        engineState.allowRightWrap = false;
        w->ui->btnScreenFocus->click();
        close(w);
        qunsetenv("XDG_CONFIG_HOME");
    }

    void noCompositorIsSaidBesideTheDarkness()
    {
        for (bool compositor : {true, false}) {
            platform = nullptr;
            auto *fake =
                new FakePlatform(monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)}));
            fake->compositor = compositor;
            platform = fake;
            QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
            auto *w = new Window_Main(nullptr, platform);
            w->show();
            QCOMPARE(w->ui->lblNoCompositor->isVisible(), !compositor);
            close(w);
        }
    }

    void manyRebuildsWhileTheEngineRuns()
    {
        // Tables replaced under a busy engine (the thread checker watches),
        // the old ones freed, the curtains following.
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        w->ui->btnScreenFocus->click();
        int step = 0;
        QTimer mouse;
        connect(&mouse, &QTimer::timeout, [&] { platform->moveDevice(1900 + step++ % 40, 100); });
        mouse.start(1);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        for (int k = 1; k <= 12; ++k) {
            std::vector<ScreenRect> r{rect(0, 0, 1919, 1079)};
            for (int i = 1; i <= 1 + k % 3; ++i)
                r.push_back(rect(1920 * i, 0, 1920 * i + 1279, 1023));
            replug(monitors(r));
            QTRY_COMPARE(w->curtains->size(), int(r.size()) - 1);
        }
        mouse.stop();
        QTRY_COMPARE(engineState.screens.retiredCount(), std::size_t(0));
        w->ui->btnScreenFocus->click();
        close(w);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
