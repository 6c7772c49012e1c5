#include "appfixture.h"
#include "capturedlog.h"
#include "desktopchooser.h"
#include "engine.h"
#include "focuscurtains.h"
#include "preferencesdialog.h"
#include "screendarkencurtain.h"
#include "ui_window_main.h"
#include "watchingsource.h"
#include "window_main.h"

#include <QtTest>

namespace {

// A full HD screen and a 1280x1024 one right of it.
const std::vector<QRect> twoScreens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

} // namespace

// The application object's start and stop, over a fake window system, on
// Qt's offscreen platform (no tray).
class TestApplication : public QObject, AppFixture
{
    Q_OBJECT

    // Waits until the engine has been round twice since now, so that any
    // move asked of it before has been made: each round takes its jump
    // before it reads the pointer.
    void engineCaughtUp()
    {
        const int reads = platform->pointer.reads();
        QTRY_VERIFY_WITH_TIMEOUT(
            (app->engine().lookAgain(), platform->pointer.reads() >= reads + 2), 20000);
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() { freshSettings(); }
    void cleanup() { end(); }

    void startHandsOnTheStoredChoicesAndTheScreens()
    {
        {
            QSettings file(settingsFile(), QSettings::IniFormat);
            file.setValue("allowLeftWrap", true);
            file.setValue("Choices/minVelocity", 120);
            file.setValue("Choices/screenFocus", true);
            file.setValue("Cursor/bypassModifier", "ctrl");
            file.setValue("Choices/Monitors/DUMMY1/wrapTop", true);
        }
        make(twoScreens);
        // The pointer starts mid-screen: a read taken at a corner just before
        // the move below would wrap from there (left, then DUMMY1's top).
        platform->warp(960, 500);
        // Made, nothing runs yet.
        QVERIFY(!app->window() && !app->snapshot());
        QCOMPARE(platform->pointer.reads(), 0);

        start();
        const auto first = app->snapshot();
        QVERIFY(first);
        QCOMPARE(first->layout, quint64(1));
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        QCOMPARE(first->choices, SettingsCtrl().load());
        QVERIFY(first->choices.allowLeftWrap && first->choices.screenFocus);
        QCOMPARE(first->choices.minVelocity, 120);
        QCOMPARE(first->choices.bypassModifier, unsigned(ControlKey));
        QCOMPARE(app->choices(), first->choices);
        QCOMPARE(first->screens.names, (std::vector<QString>{"DUMMY0", "DUMMY1"}));
        QCOMPARE(first->screens.rects.size(), std::size_t(2));
        QVERIFY(first->screens.rects[1] == (ScreenRect{1920, 0, 3199, 1023}));
        QVERIFY(first->screens.wraps[1].top && !first->screens.wraps[0].top);

        // The window is made and shows the choices, but the caller shows it.
        QVERIFY(app->window() && !app->window()->isVisible());
        QVERIFY(app->window()->ui->btnScreenFocus->isChecked());
        QVERIFY(!app->tray()); // no tray to hold it
        // The engine runs on the platform's pointer and acts on what it was
        // handed: the cursor on the left edge wraps.
        QVERIFY(app->engine().running());
        QTRY_VERIFY(platform->pointer.reads() > 0);
        platform->moveDevice(0, 500);
        QTRY_COMPARE(platform->cursor(), QPoint(3198, 500));
        // And the curtain goes up over the screen it is not on.
        QTRY_COMPARE(app->curtains().shown().size(), 1);
        QTRY_COMPARE(app->curtains().shown().first()->area(), QRect(0, 0, 1920, 1080));
    }

    void stopEndsTheEngineAndWritesWhatWaits_data()
    {
        QTest::addColumn<bool>("reportsMotion");
        QTest::newRow("watching") << true;
        QTest::newRow("polling") << false;
    }

    void stopEndsTheEngineAndWritesWhatWaits()
    {
        QFETCH(bool, reportsMotion);
        make(twoScreens, [&](FakePlatform &p) { p.pointer.setReportsMotion(reportsMotion); });
        start();
        app->window()->show();
        // The pointer keeps moving, through the stop too.
        int step = 0;
        QTimer mouse;
        connect(&mouse, &QTimer::timeout, [&] { platform->moveDevice(100 + step++ % 40, 100); });
        mouse.start(1);
        QTRY_VERIFY(platform->pointer.reads() > 10);

        // A change just made: its write still waits.
        edit([](Choices &c) { c.minVelocity = 777; });
        QVERIFY(app->savePending());
        QCOMPARE(stored("Choices/minVelocity"), QString());

        CapturedLog log;
        stop();
        // Written at once, not left to the timer.
        QVERIFY(!app->savePending());
        QCOMPARE(stored("Choices/minVelocity"), QString("777"));
        // The window and the curtains are gone.
        QVERIFY(!app->window());
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        // Nothing reads the pointer any more, however it moves.
        const int reads = platform->pointer.reads();
        QTest::qWait(400);
        QCOMPARE(platform->pointer.reads(), reads);
        mouse.stop();
        // Stopped once: a second stop does nothing.
        app->stop();
        QCOMPARE(log.startingWith({"Settings: Saving"}).size(), 1);

        // And it starts again: the choices as written, a new layout, the
        // engine on the pointer.
        start();
        QVERIFY(app->window());
        QCOMPARE(app->choices().minVelocity, 777);
        QCOMPARE(app->window()->ui->spnMinVelocity->value(), 777);
        QCOMPARE(app->snapshot()->layout, quint64(2));
        QTRY_VERIFY(platform->pointer.reads() > reads);
        edit([](Choices &c) { c.allowRightWrap = true; });
        platform->moveDevice(3199, 10);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 10));
    }

    void aDesktopChangeWhileStoppedIsReadAtTheNextStart()
    {
        make(twoScreens);
        start();
        stop();
        // A monitor comes while Pellmar is stopped; nothing is there to
        // follow it.
        platform->setScreens(monitors({QRect(0, 0, 1920, 1080)}));
        QTest::qWait(3 * Application::screenSettleMs);
        QVERIFY(!app->window());
        start();
        QCOMPARE(app->snapshot()->screens.size(), 1);
    }

    void aStormOfScreenChangesIsStillFollowed()
    {
        // Changes closer together than the settle time (a flaky cable):
        // each puts the rebuild off, but not beyond the ceiling.
        make(twoScreens);
        start();
        const quint64 before = app->snapshot()->layout;
        QElapsedTimer storm;
        storm.start();
        for (int k = 0; k < 20; ++k) {
            platform->setScreens(
                monitors(k % 2 ? twoScreens : std::vector<QRect>{QRect(0, 0, 1920, 1080)}));
            QTest::qWait(Application::screenSettleMs * 3 / 4);
        }
        const auto rebuilds = static_cast<qint64>(app->snapshot()->layout - before);
        const qint64 ceilings = storm.elapsed() / Application::screenSettleCeilingMs;
        QVERIFY2(rebuilds >= ceilings / 2 && rebuilds >= 2,
                 qPrintable(QString("%1 rebuilds in %2 ms").arg(rebuilds).arg(storm.elapsed())));
        // The storm over, the last layout is the one shown.
        QTRY_COMPARE(app->snapshot()->screens.size(), 2);
    }

    void everyChangeIsWrittenSoon()
    {
        make(twoScreens);
        start();
        QWidget *w = app->window();
        w->show();
        // From the application and from a control alike.
        edit([](Choices &c) { c.allowRightWrap = true; });
        QTRY_COMPARE_WITH_TIMEOUT(stored("allowRightWrap"), QString("true"), 5000);
        QVERIFY(!app->savePending());
        app->window()->ui->btnMaxVelocity->click();
        QVERIFY(app->savePending());
        QTRY_COMPARE_WITH_TIMEOUT(stored("Choices/maxVelocityOn"), QString("true"), 5000);
    }

    void aDraggedSliderWritesWhenTheDragSettles()
    {
        make(twoScreens);
        start();
        app->window()->show();
        app->window()->ui->btnScreenFocus->click();
        QSlider *slider = app->window()->ui->sldOpacityAmount;
        slider->setValue(20);
        QTRY_COMPARE_WITH_TIMEOUT(stored("Choices/screenFocusDarkness"), QString("20"), 5000);
        QCOMPARE(stored("Choices/screenFocus"), QString("true"));

        // The whole range in steps, quicker than the save delay (no event
        // is handled in between, so no timer can fire): every step is
        // handed on, none written yet.
        slider->setSliderDown(true);
        for (int v = 0; v <= 100; ++v) {
            slider->setValue(v);
            QCOMPARE(app->snapshot()->choices.screenFocusDarkness, v);
            QCOMPARE(slider->value(), v); // the handle stays where the hand is
        }
        slider->setSliderDown(false);
        QVERIFY(app->savePending());
        QCOMPARE(stored("Choices/screenFocusDarkness"), QString("20"));
        // One write, with the last value.
        QTRY_COMPARE_WITH_TIMEOUT(stored("Choices/screenFocusDarkness"), QString("100"), 5000);
        QVERIFY(!app->savePending());
    }

    void aFullScreenWindowHoldsJumpsBack_data()
    {
        QTest::addColumn<bool>("before"); // full screen already when Pellmar starts
        QTest::addColumn<bool>("choice"); // Cursor/pauseInFullscreen
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("holding"); // held back for the window
        QTest::addColumn<bool>("wraps");
        QTest::newRow("goes full screen") << false << true << false << true << false;
        QTest::newRow("full screen at the start") << true << true << false << true << false;
        QTest::newRow("choice off") << false << false << false << false << true;
        QTest::newRow("paused: said as a pause") << false << true << true << false << false;
    }

    void aFullScreenWindowHoldsJumpsBack()
    {
        QFETCH(bool, before);
        QFETCH(bool, choice);
        QFETCH(bool, paused);
        QFETCH(bool, holding);
        QFETCH(bool, wraps);
        {
            QSettings file(settingsFile(), QSettings::IniFormat);
            file.setValue("allowRightWrap", true);
            file.setValue("Cursor/pauseInFullscreen", choice);
            file.setValue("Choices/paused", paused);
        }
        make(twoScreens);
        platform->warp(960, 500);
        platform->fullscreen = before;
        CapturedLog log;
        start();
        QCOMPARE(app->holdingBack(), before && holding);
        platform->setFullscreen(true);
        QVERIFY(app->snapshot()->fullscreen);
        QCOMPARE(app->holdingBack(), holding);
        QCOMPARE(log.startingWith({"A full-screen window has the focus"}).size(), 1);
        platform->moveDevice(3199, 500);
        if (wraps) {
            QTRY_COMPARE(platform->cursor(), QPoint(1, 500));
        } else {
            QTest::qWait(3 * WatchingSource::warpCheckMs);
            QCOMPARE(platform->cursor(), QPoint(3199, 500));
        }

        // The window leaves full screen: the edge wraps, unless paused.
        platform->moveDevice(1500, 500);
        platform->setFullscreen(false);
        QVERIFY(!app->snapshot()->fullscreen && !app->holdingBack());
        QCOMPARE(log.startingWith({"No full-screen window has the focus"}).size(), 1);
        platform->moveDevice(3199, 600);
        if (!paused)
            QTRY_COMPARE(platform->cursor(), QPoint(1, 600));
    }

    // What `pellmar --jump`, `--lock` and `--unlock` ask of the running
    // Pellmar, one after another: what it answers, where the engine moves
    // the pointer, and where the window system is told to hold it.
    void verbsMoveAndHoldThePointer_data()
    {
        QTest::addColumn<QString>("told");       // the output the desktop says holds it; "": none
        QTest::addColumn<bool>("positionKnown"); // whether the window system tells where it is
        QTest::addColumn<bool>("lockable");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QStringList>("verbs"); // "verb" or "verb argument"
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QList<QPoint>>("moves");
        QTest::addColumn<QString>("lockedTo");

        const QPoint left(700, 400), right(2000, 100);
        const QPoint leftMiddle(960, 540), rightMiddle(2560, 512);
        const QString no = "No monitor is called DP-9; the monitors are DUMMY0, DUMMY1";
        QTest::newRow("next") << "" << true << true << left << QStringList{"jump next"}
                              << QStringList{"ok"} << QList<QPoint>{rightMiddle} << "";
        QTest::newRow("previous") << "" << true << true << right << QStringList{"jump previous"}
                                  << QStringList{"ok"} << QList<QPoint>{leftMiddle} << "";
        QTest::newRow("by name") << "" << true << true << left << QStringList{"jump DUMMY1"}
                                 << QStringList{"ok"} << QList<QPoint>{rightMiddle} << "";
        QTest::newRow("no such name") << "" << true << true << left << QStringList{"jump DP-9"}
                                      << QStringList{no} << QList<QPoint>{} << "";
        // Where the desktop tells the output, it counts, wherever the
        // pointer seems to be.
        QTest::newRow("next from the output told")
            << "DUMMY1" << false << true << left << QStringList{"jump next"} << QStringList{"ok"}
            << QList<QPoint>{leftMiddle} << "";
        QTest::newRow("next from nowhere: the first")
            << "" << false << true << right << QStringList{"jump next"} << QStringList{"ok"}
            << QList<QPoint>{leftMiddle} << "";
        QTest::newRow("jump with no place")
            << "" << true << true << left << QStringList{"jump"}
            << QStringList{"Jump where? Say next, previous or a monitor's name"} << QList<QPoint>{}
            << "";
        QTest::newRow("a value for a verb that takes none")
            << "" << true << true << left << QStringList{"lock DUMMY0"}
            << QStringList{"--lock takes no value"} << QList<QPoint>{} << "";

        QTest::newRow("lock") << "" << true << true << right << QStringList{"lock"}
                              << QStringList{"ok"} << QList<QPoint>{} << "DUMMY1";
        QTest::newRow("lock on the output told")
            << "DUMMY0" << false << true << right << QStringList{"lock"} << QStringList{"ok"}
            << QList<QPoint>{} << "DUMMY0";
        QTest::newRow("lock where the desktop cannot")
            << "" << true << false << right << QStringList{"lock"}
            << QStringList{"The fake desktop cannot hold the pointer."} << QList<QPoint>{} << "";
        QTest::newRow("lock, not knowing where")
            << "" << false << true << right << QStringList{"lock"}
            << QStringList{"Pellmar cannot tell which monitor the pointer is on"} << QList<QPoint>{}
            << "";
        QTest::newRow("locked, no jump off the monitor")
            << "" << true << true << left << QStringList{"lock", "jump next", "jump DUMMY1"}
            << QStringList{"ok", "The pointer is locked to DUMMY0; unlock it first",
                           "The pointer is locked to DUMMY0; unlock it first"}
            << QList<QPoint>{} << "DUMMY0";
        QTest::newRow("locked, a jump on the monitor")
            << "" << true << true << left << QStringList{"lock", "jump DUMMY0"}
            << QStringList{"ok", "ok"} << QList<QPoint>{leftMiddle} << "DUMMY0";
        QTest::newRow("unlocked, free to jump")
            << "" << true << true << left << QStringList{"lock", "unlock", "jump next"}
            << QStringList{"ok", "ok", "ok"} << QList<QPoint>{rightMiddle} << "";
    }

    void verbsMoveAndHoldThePointer()
    {
        QFETCH(QString, told);
        QFETCH(bool, positionKnown);
        QFETCH(bool, lockable);
        QFETCH(QPoint, pointer);
        QFETCH(QStringList, verbs);
        QFETCH(QStringList, answers);
        QFETCH(QList<QPoint>, moves);
        QFETCH(QString, lockedTo);
        make(twoScreens);
        platform->tells = !told.isEmpty();
        platform->toldScreen = told;
        platform->positionKnown = positionKnown;
        platform->lockable = lockable;
        platform->warp(pointer.x(), pointer.y());
        start();
        QStringList said;
        for (const QString &v : verbs)
            said << app->obey(v.section(' ', 0, 0), v.section(' ', 1));
        QCOMPARE(said, answers);
        engineCaughtUp();
        const std::vector<QPoint> made = platform->pointer.moves();
        QCOMPARE(QList<QPoint>(made.begin(), made.end()), moves);

        QCOMPARE(app->lockedOutput(), lockedTo);
        const int held = app->snapshot()->screens.indexOf(lockedTo);
        QCOMPARE(app->snapshot()->lockedScreen, held);
        const QRect heldIn = held < 0 ? QRect() : twoScreens[std::size_t(held)];
        QCOMPARE(platform->heldIn, heldIn);
        // Not kept: a stop lets go, and the next start is free.
        stop();
        QCOMPARE(platform->heldIn, QRect());
        start();
        QVERIFY(app->lockedOutput().isEmpty());
        QCOMPARE(app->snapshot()->lockedScreen, -1);
    }

    void aLockFollowsItsMonitor()
    {
        make(twoScreens);
        platform->warp(2000, 100);
        start();
        QCOMPARE(app->obey("lock"), QString("ok"));
        QCOMPARE(platform->heldIn, QRect(1920, 0, 1280, 1024));

        // Moved and resized, the hold goes with it; the pointer, left
        // outside, is taken along to its middle.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        platform->setScreens(monitors({QRect(0, 0, 1920, 1080), QRect(1920, 200, 1024, 768)}));
        QTRY_COMPARE(platform->heldIn, QRect(1920, 200, 1024, 768));
        QCOMPARE(app->snapshot()->lockedScreen, 1);
        QCOMPARE(app->lockedOutput(), QString("DUMMY1"));
        QTRY_COMPARE(platform->cursor(), QPoint(2432, 584));

        // Gone, it frees the pointer.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        QTest::ignoreMessage(QtDebugMsg, "The pointer is free again: DUMMY1 has gone");
        platform->setScreens(monitors({QRect(0, 0, 1920, 1080)}));
        QTRY_VERIFY(app->lockedOutput().isEmpty());
        QCOMPARE(platform->heldIn, QRect());
        QCOMPARE(app->snapshot()->lockedScreen, -1);
        // And it comes back free.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        platform->setScreens(monitors(twoScreens));
        QTRY_COMPARE(app->snapshot()->screens.size(), 2);
        QCOMPARE(app->snapshot()->lockedScreen, -1);
        QCOMPARE(platform->heldIn, QRect());
    }

    void startAndStopSayNothingOfQtsOwn_data()
    {
        QTest::addColumn<bool>("fake");
        QTest::newRow("fake window system") << true;
        QTest::newRow("this session's window system") << false;
    }

    void startAndStopSayNothingOfQtsOwn()
    {
        // A connection made to nothing, or a slot setupUi finds nothing for,
        // says so only in the log.
        QFETCH(bool, fake);
        CapturedLog log;
        if (fake)
            make(twoScreens);
        else {
            Session session = Session::fromEnvironment();
            session.qtPlatform = QGuiApplication::platformName();
            app = std::make_unique<Application>(
                DesktopChooser::make(DesktopChooser::choose(session), PlatformOptions()));
        }
        app->start();
        app->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(app->window()));
        app->showPreferences();
        QVERIFY(app->preferences() && app->preferences()->isVisible());
        if (!fake) {
            // Offscreen, no thread may read the pointer: nothing runs, the
            // rest works.
            QVERIFY(!app->engine().running());
        }
        QTest::qWait(50); // queued calls are made, and complain, here
        app->stop();
        QCOMPARE(log.startingWith({"Settings: Loading"}).size(), 1);
        QCOMPARE(log.startingWith({"Screens: "}).size(), 1);
        QCOMPARE(log.startingWith({"Settings: Saving"}).size(), 1);
        const QStringList qtSaid = log.startingWith({"QMetaObject", "QObject::"});
        QVERIFY2(qtSaid.isEmpty(), qPrintable(qtSaid.join('\n')));
    }
};

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
