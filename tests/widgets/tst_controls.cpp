#include "appfixture.h"
#include "arrivalgate.h"
#include "capturedlog.h"
#include "focuscurtains.h"
#include "preferencesdialog.h"
#include "screendarkencurtain.h"
#include "ui_window_main.h"
#include "watchingsource.h"
#include "window_main.h"
#include "windowcanvas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QtTest>

// A switch among the choices, for tables of them.
using ChoiceFlag = bool Choices::*;
Q_DECLARE_METATYPE(ChoiceFlag)

namespace {

ScreenRect rect(int l, int t, int r, int b)
{
    return ScreenRect{l, t, r, b};
}

std::vector<QRect> qrects(const std::vector<ScreenRect> &rects)
{
    std::vector<QRect> out;
    for (const ScreenRect &r : rects)
        out.push_back(QRect(r.left, r.top, r.width(), r.height()));
    return out;
}

std::vector<PlatformScreen> monitors(const std::vector<ScreenRect> &rects)
{
    return ::monitors(qrects(rects));
}

int visibleTopLevels()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->isVisible();
    return n;
}

} // namespace

// The control panel and the curtains over made-up screen arrangements: the
// application over a fake window system, on the offscreen platform.
class TestControls : public QObject, AppFixture
{
    Q_OBJECT

    // Starts Pellmar over these screens and shows its window; `setUp`
    // readies the window system first.
    Window_Main *open(const std::vector<ScreenRect> &screens,
                      const std::function<void(FakePlatform &)> &setUp = {})
    {
        make(qrects(screens), setUp);
        start();
        app->window()->show();
        return app->window();
    }

    // The engine kept out: no pointer to read, so the test alone says
    // where the curtains go.
    static void noPointer(FakePlatform &p) { p.readable = false; }

    // The platform reports a new set of monitors; returns once the
    // application has made a new layout of them.
    void replug(const std::vector<PlatformScreen> &screens)
    {
        const quint64 before = app->snapshot()->layout;
        platform->setScreens(screens);
        QTRY_COMPARE(app->snapshot()->layout, before + 1);
    }

    quint64 layout() const { return app->snapshot()->layout; }

    QList<QRect> curtainGeometry() const
    {
        QList<QRect> out;
        for (Curtain *c : app->curtains().shown())
            out << c->area();
        return out;
    }

private slots:
    void init() { freshSettings(); }
    void cleanup() { end(); }

    void equalHeightsHideOnlyEasyMove()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        QVERIFY(w->ui->btnEasyMove->isHidden());
        QVERIFY(w->ui->line_3->isHidden());
        QVERIFY(w->ui->btnScreenFocus->isVisible());
        QVERIFY(w->ui->sldOpacityAmount->isVisible());
        QVERIFY(!w->ui->sldOpacityAmount->isEnabled());
        QVERIFY(app->curtains().shown().isEmpty());
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

        // Easy Move changes its choice and touches no other control.
        Choices expected = app->choices();
        expected.easyMove = true;
        w->ui->btnEasyMove->click();
        QCOMPARE(app->choices(), expected);
        QVERIFY(app->snapshot()->choices.easyMove); // handed on
        QVERIFY(!w->ui->btnScreenFocus->isChecked());
        QVERIFY(!w->ui->spnMinVelocity->isEnabled());
        w->ui->btnEasyMove->click();
        QVERIFY(!app->choices().easyMove);
    }

    void eachControlAsksOnce()
    {
        // Every control of the panel and the map: one use, one request for
        // exactly that change, which the application keeps and hands on.
        Window_Main *w = open({rect(0, 0, 1919, 1199), rect(1920, 0, 3199, 1023)});
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto *canvas = static_cast<WindowCanvas *>(w->ui->canvas);
        QTRY_VERIFY(canvas->scaleDivisor > 0); // painted, so laid out
        auto markerAt = [canvas](int screen, WindowCanvas::Edge edge) {
            for (const WindowCanvas::ScreenShape &s : canvas->shapes())
                for (const WindowCanvas::Marker &m : s.markers)
                    if (m.screen == screen && m.edge == edge)
                        return m.polygon.boundingRect().center();
            return QPoint(-1, -1);
        };
        struct Use
        {
            const char *what;
            std::function<void()> act;
            std::function<void(Choices &)> change;
        };
        const Use uses[] = {
            {"Min Velocity", [&] { w->ui->btnMinVelocity->click(); },
             [](Choices &c) { c.minVelocityOn = true; }},
            {"its threshold", [&] { w->ui->spnMinVelocity->setValue(250); },
             [](Choices &c) { c.minVelocity = 250; }},
            {"Max Velocity", [&] { w->ui->btnMaxVelocity->click(); },
             [](Choices &c) { c.maxVelocityOn = true; }},
            {"its threshold", [&] { w->ui->spnMaxVelocity->setValue(900); },
             [](Choices &c) { c.maxVelocity = 900; }},
            {"Easy Move", [&] { w->ui->btnEasyMove->click(); },
             [](Choices &c) { c.easyMove = true; }},
            {"Screen Focus", [&] { w->ui->btnScreenFocus->click(); },
             [](Choices &c) { c.screenFocus = true; }},
            {"the darkness", [&] { w->ui->sldOpacityAmount->setValue(65); },
             [](Choices &c) { c.screenFocusDarkness = 65; }},
            {"the left edge",
             [&] {
                 QTest::mouseClick(canvas, Qt::LeftButton, {},
                                   markerAt(0, WindowCanvas::Edge::Left));
             },
             [](Choices &c) { c.allowLeftWrap = true; }},
            {"a screen's top",
             [&] {
                 QTest::mouseClick(canvas, Qt::LeftButton, {},
                                   markerAt(1, WindowCanvas::Edge::Top));
             },
             [](Choices &c) { c.monitorWraps["DUMMY1"].top = true; }},
        };
        for (const Use &use : uses) {
            Choices expected = app->choices();
            use.change(expected);
            QVERIFY2(expected != app->choices(), use.what);
            int edits = 0;
            auto counting = connect(w, &Window_Main::choicesEdited, [&] { ++edits; });
            use.act();
            disconnect(counting);
            QVERIFY2(edits == 1, qPrintable(QString("%1: %2").arg(use.what).arg(edits)));
            QVERIFY2(app->choices() == expected, use.what);
            QVERIFY2(app->snapshot()->choices == expected, use.what);
        }
        QVERIFY(app->snapshot()->screens.wraps[1].top);
    }

    void curtainsOnEveryOtherScreen()
    {
        open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023), rect(3200, 0, 5119, 1079)},
             noPointer);
        edit([](Choices &c) { c.screenFocus = true; });
        app->focusScreen(1, layout());
        QCOMPARE(curtainGeometry(),
                 (QList<QRect>{QRect(0, 0, 1920, 1080), QRect(3200, 0, 1920, 1080)}));
        for (Curtain *shown : app->curtains().shown()) {
            auto *c = dynamic_cast<ScreenDarkenCurtain *>(shown);
            QVERIFY(c);
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
        // Each kept out of task lists and pagers as it is made.
        QCOMPARE(platform->overlays.size(), std::size_t(2));
        // A new focus replaces the set; never two sets at once.
        app->focusScreen(0, layout());
        QCOMPARE(curtainGeometry(),
                 (QList<QRect>{QRect(1920, 0, 1280, 1024), QRect(3200, 0, 1920, 1080)}));
        QCOMPARE(visibleTopLevels(), 3);
        // "No screen" curtains them all.
        app->focusScreen(-1, layout());
        QCOMPARE(app->curtains().shown().size(), 3);
        QCOMPARE(visibleTopLevels(), 4);
        edit([](Choices &c) { c.screenFocus = false; });
        QVERIFY(app->curtains().shown().isEmpty());
        QCOMPARE(visibleTopLevels(), 1);
        // Curtains are shown and hidden, not made anew each time.
        edit([](Choices &c) { c.screenFocus = true; });
        app->focusScreen(2, layout());
        QCOMPARE(app->curtains().shown().size(), 2);
        QCOMPARE(QApplication::topLevelWidgets().size(), 4);
        QCOMPARE(platform->overlays.size(), std::size_t(3));
    }

    void reportsThatPutNothingUp_data()
    {
        QTest::addColumn<QString>("why");
        QTest::newRow("Screen Focus off") << "off";
        QTest::newRow("paused") << "paused";
        QTest::newRow("sent for an older layout") << "older";
    }

    void reportsThatPutNothingUp()
    {
        // The engine's report is decided as it arrives: one sent before
        // Screen Focus went off, before a pause or before the desktop
        // changed puts nothing up.
        QFETCH(QString, why);
        const auto screens = monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)}, noPointer);
        edit([](Choices &c) { c.screenFocus = true; });
        const quint64 sentFor = layout();
        if (why == "off")
            edit([](Choices &c) { c.screenFocus = false; });
        else if (why == "paused")
            app->setPaused(true);
        else
            replug(screens);
        app->focusScreen(1, sentFor);
        QVERIFY(app->curtains().shown().isEmpty());
        QCOMPARE(visibleTopLevels(), 1);
        // Once it holds again, a report of the layout now shown does.
        edit([](Choices &c) {
            c.screenFocus = true;
            c.paused = false;
        });
        app->focusScreen(1, layout());
        QCOMPARE(curtainGeometry(), (QList<QRect>{QRect(0, 0, 1920, 1080)}));
    }

    void opacitySliderAndSwitch()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)}, noPointer);
        QSlider *slider = w->ui->sldOpacityAmount;
        slider->setValue(30); // while off: only kept
        QCOMPARE(app->choices().screenFocusDarkness, 30);
        QVERIFY(app->curtains().shown().isEmpty());

        w->ui->btnScreenFocus->click();
        QVERIFY(app->choices().screenFocus);
        QVERIFY(slider->isEnabled());
        QVERIFY(app->curtains().shown().isEmpty()); // the engine puts them up, not the switch
        app->focusScreen(0, layout());
        auto *curtain = dynamic_cast<ScreenDarkenCurtain *>(app->curtains().shown().value(0));
        QVERIFY(curtain);
        QVERIFY(qAbs(curtain->windowOpacity() - 0.3) < 0.005);
        slider->setValue(100);
        QCOMPARE(curtain->windowOpacity(), 1.0);
        slider->setValue(0);
        QCOMPARE(curtain->windowOpacity(), 0.0);

        w->ui->btnScreenFocus->click(); // off
        QVERIFY(!app->choices().screenFocus);
        QVERIFY(!slider->isEnabled());
        QVERIFY(app->curtains().shown().isEmpty());
        QVERIFY(!curtain->isVisible());
    }

    void engineFocusStepPutsCurtainsUp()
    {
        // The pointer sits on the first screen; with the feature on, the
        // running engine curtains the second.
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        platform->warp(10, 10);
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(curtainGeometry(), (QList<QRect>{QRect(1920, 0, 1280, 1024)}));
        w->ui->btnScreenFocus->click();
        QVERIFY(app->curtains().shown().isEmpty());
        // Switched on again, on the same screen: the curtains return at once.
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(app->curtains().shown().size(), 1);
        // The pointer goes over: the curtain follows.
        platform->moveDevice(2500, 500);
        QTRY_COMPARE(curtainGeometry(), (QList<QRect>{QRect(0, 0, 1920, 1080)}));
    }

    void desktopChangesWhileRunning()
    {
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        platform->moveDevice(500, 500);
        edit([](Choices &c) {
            c.monitorWraps["DUMMY1"].top = true;
            c.allowRightWrap = true;
        });
        w->ui->btnEasyMove->click();
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(app->curtains().shown().size(), 1);

        // DUMMY1 goes, DUMMY2 comes in its place, and a burst of reports
        // settles into one new layout and one line in the log.
        auto screens = monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3519, 899)});
        screens[1].name = "DUMMY2";
        const quint64 before = layout();
        {
            CapturedLog log;
            platform->setScreens(monitors({rect(0, 0, 1919, 1079)}));
            platform->setScreens(screens);
            replug(screens);
            QTest::qWait(2 * Application::screenSettleCeilingMs);
            QCOMPARE(layout(), before + 1);
            QCOMPARE(log.startingWith({"Screens: "}),
                     QStringList{"Screens: DUMMY0 1920x1080+0+0, DUMMY2 1600x900+1920+0"});
        }
        const ScreenTable &t = app->snapshot()->screens;
        QCOMPARE(t.desktopRight, 3519);
        QVERIFY(!t.wraps[1].top); // a new monitor starts with its switches off
        QVERIFY(app->choices().monitorWraps.value("DUMMY1").top); // kept for its return
        QVERIFY(app->choices().allowRightWrap);
        // The engine acts on the new edge.
        platform->moveDevice(3519, 300);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 300));
        // Curtains over the new layout only, never over the pointer's screen.
        QTRY_COMPARE(curtainGeometry(), (QList<QRect>{QRect(1920, 0, 1600, 900)}));

        // Back to the first pair: DUMMY1 has its top wrap again.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        replug(monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)}));
        QVERIFY(app->snapshot()->screens.wraps[1].top);

        // Equal heights: Easy Move goes; one screen: Screen Focus goes too,
        // and with it every curtain. Neither choice is lost.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        replug(monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)}));
        QVERIFY(w->ui->btnEasyMove->isHidden());
        QVERIFY(w->ui->btnScreenFocus->isVisible());
        QTRY_COMPARE(app->curtains().shown().size(), 1);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        replug(monitors({rect(0, 0, 1919, 1079)}));
        QVERIFY(w->ui->btnScreenFocus->isHidden());
        QVERIFY(app->curtains().shown().isEmpty());
        QCOMPARE(visibleTopLevels(), 1);
        QVERIFY(app->choices().easyMove && app->choices().screenFocus);

        // Docked again: both are back as they were.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        replug(monitors({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)}));
        QVERIFY(w->ui->btnEasyMove->isVisible() && w->ui->btnEasyMove->isChecked());
        QVERIFY(w->ui->btnScreenFocus->isVisible() && w->ui->btnScreenFocus->isChecked());
        QTRY_COMPARE(app->curtains().shown().size(), 1);
    }

    void thresholdsDecideOnArrivalWithTheEngineRunning()
    {
        // Max Velocity 100: a flick onto the edge stays on it, also once the
        // speed has long fallen; leaving and coming back slowly jumps.
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        edit([](Choices &c) { c.allowRightWrap = true; });
        w->ui->btnMaxVelocity->click();
        w->ui->spnMaxVelocity->setValue(100);
        platform->moveDevice(2000, 500);
        QTRY_COMPARE(w->lblMouseX->text(), QString("Mouse X: 2000px")); // the engine has seen it
        QTest::qWait(200);
        platform->moveDevice(3199, 500);
        QTRY_COMPARE(w->lblMouseX->text(), QString("Mouse X: 3199px"));
        QTest::qWait(2 * ArrivalGate::windowMs + WatchingSource::warpCheckMs);
        QCOMPARE(platform->cursor(), QPoint(3199, 500));
        QVERIFY(platform->pointer.moves().empty());
        for (int x = 3150; x <= 3199; x += 7) {
            platform->moveDevice(x, 500);
            QTest::qWait(60);
        }
        platform->moveDevice(3199, 500);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 500));
    }

    void whatTheDesktopHidesIsOffWithWhy_data()
    {
        // A control that the window system gives no way to work is off, and
        // the dialog says why; the others stay on.
        QTest::addColumn<QString>("hidden");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing hidden") << ""
                                        << ""
                                        << "";
        QTest::newRow("device motion") << "motion"
                                       << "spnPushThrough"
                                       << "lblPushUnavailable";
        QTest::newRow("keys held") << "keys"
                                   << "cmbBypass"
                                   << "lblBypassUnavailable";
        QTest::newRow("the pointer in a drag") << "drag"
                                               << "chkWrapWhileButton"
                                               << "lblDragUnavailable";
    }

    void whatTheDesktopHidesIsOffWithWhy()
    {
        QFETCH(QString, hidden);
        QFETCH(QString, control);
        QFETCH(QString, reason);
        Window_Main *w =
            open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)}, [&](FakePlatform &p) {
                p.pointer.setReportsMotion(hidden != "motion");
                if (hidden == "keys")
                    p.allowed.deny(Feature::BypassKey, "No keys here.");
                if (hidden == "drag")
                    p.allowed.deny(Feature::WrapWhileButtonHeld, "No drags here.");
            });
        w->ui->btnPreferences->click();
        PreferencesDialog *dialog = app->preferences();
        QVERIFY(dialog && dialog->isVisible());
        const QStringList controls{"spnPushThrough", "cmbBypass", "chkWrapWhileButton"};
        const QStringList reasons{"lblPushUnavailable", "lblBypassUnavailable",
                                  "lblDragUnavailable"};
        for (int k = 0; k < controls.size(); ++k) {
            QCOMPARE(dialog->findChild<QWidget *>(controls[k])->isEnabled(),
                     controls[k] != control);
            QCOMPARE(dialog->findChild<QWidget *>(reasons[k])->isVisible(), reasons[k] == reason);
        }
    }

    void crossingBySizeIsOfferedWithTwoSizes_data()
    {
        QTest::addColumn<QSize>("reported"); // the first monitor's, by the window system
        QTest::addColumn<QSize>("given");    // the second's, by the user
        QTest::addColumn<QString>("denied"); // the desktop's reason, if it cannot
        QTest::addColumn<QString>("why");    // beside the switch; empty: offered
        const QString needs = "Crossing by size needs two monitors' sizes: right-click one on "
                              "the map to set it.";
        QTest::newRow("no sizes") << QSize(0, 0) << QSize() << "" << needs;
        QTest::newRow("one reported") << QSize(530, 298) << QSize() << "" << needs;
        QTest::newRow("one reported, one set by the user")
            << QSize(530, 298) << QSize(600, 338) << ""
            << "";
        QTest::newRow("the desktop cannot")
            << QSize(530, 298) << QSize(600, 338) << "No pointer here."
            << "No pointer here.";
    }

    void crossingBySizeIsOfferedWithTwoSizes()
    {
        QFETCH(QSize, reported);
        QFETCH(QSize, given);
        QFETCH(QString, denied);
        QFETCH(QString, why);
        const std::vector<ScreenRect> rects{rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 719)};
        Window_Main *w = open(rects, [&](FakePlatform &p) {
            auto screens = monitors(rects);
            screens[0].physicalMm = reported;
            p.setScreens(screens);
            if (!denied.isEmpty())
                p.allowed.deny(Feature::CrossByPhysicalSize, denied);
        });
        if (given.isValid())
            edit([&](Choices &c) { c.monitorSizesMm.insert("DUMMY1", given); });
        QCOMPARE(w->ui->btnCrossBySize->isEnabled(), why.isEmpty());
        QCOMPARE(w->ui->lblNoSizes->isVisible(), !why.isEmpty());
        QCOMPARE(w->ui->lblNoSizes->text(), why);
        if (!why.isEmpty())
            return;
        w->ui->btnCrossBySize->click();
        QVERIFY(app->choices().crossByPhysicalSize);
        QTRY_COMPARE(stored("Choices/crossByPhysicalSize"), QString("true"));
    }

    void preferencesSwitchesEditTheirChoice_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<ChoiceFlag>("flag");
        QTest::addColumn<QString>("key");
        QTest::newRow("wrap while a button is held")
            << "chkWrapWhileButton" << &Choices::wrapWhileButtonHeld
            << "Cursor/wrapWhileButtonHeld";
        QTest::newRow("hold back while full screen")
            << "chkPauseInFullscreen" << &Choices::pauseInFullscreen << "Cursor/pauseInFullscreen";
    }

    void preferencesSwitchesEditTheirChoice()
    {
        // Each box shows its choice, a click changes it there and on disk,
        // and a change made elsewhere (another Pellmar) shows in the box.
        QFETCH(QString, box);
        QFETCH(ChoiceFlag, flag);
        QFETCH(QString, key);
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)}, noPointer);
        const bool was = app->choices().*flag;
        w->ui->btnPreferences->click();
        auto *check = app->preferences()->findChild<QCheckBox *>(box);
        QVERIFY(check && check->isEnabled());
        QCOMPARE(check->isChecked(), was);

        check->click();
        QCOMPARE(app->choices().*flag, !was);
        QCOMPARE(app->snapshot()->choices.*flag, !was);
        QTRY_COMPARE_WITH_TIMEOUT(stored(key), QString(!was ? "true" : "false"), 5000);

        edit([&](Choices &c) { c.*flag = was; });
        QCOMPARE(check->isChecked(), was);
    }

    void preferencesPauseAndStartAtLogin()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const QString entry = config.path() + "/autostart/com.brenvik.Pellmar.desktop";
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)});
        platform->moveDevice(100, 100);
        w->ui->btnScreenFocus->click();
        QTRY_COMPARE(app->curtains().shown().size(), 1);

        // Opened from the main window; every change applies and is saved.
        w->ui->btnPreferences->click();
        PreferencesDialog *dialog = app->preferences();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->parentWidget(), w);
        dialog->findChild<QComboBox *>("cmbBypass")->setCurrentIndex(3);
        QCOMPARE(app->choices().bypassModifier, unsigned(AltKey));
        QCOMPARE(app->snapshot()->choices.bypassModifier, unsigned(AltKey));
        QTRY_COMPARE_WITH_TIMEOUT(stored("Cursor/bypassModifier"), QString("alt"), 5000);
        dialog->findChild<QSpinBox *>("spnCornerGuard")->setValue(40);
        QCOMPARE(app->snapshot()->choices.cornerGuard, 40);
        QTRY_COMPARE_WITH_TIMEOUT(stored("Cursor/cornerGuard"), QString("40"), 5000);

        // Pause: the curtains go, nothing moves, and it is kept.
        auto *pause = dialog->findChild<QCheckBox *>("chkPause");
        pause->click();
        QVERIFY(app->choices().paused);
        QVERIFY(app->curtains().shown().isEmpty());
        edit([](Choices &c) { c.allowRightWrap = true; });
        platform->moveDevice(3839, 500);
        QTest::qWait(3 * WatchingSource::warpCheckMs);
        QCOMPARE(platform->cursor(), QPoint(3839, 500));
        QVERIFY(app->curtains().shown().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(stored("Choices/paused"), QString("true"), 5000);
        QCOMPARE(app->obey("toggle"), QString("ok")); // as `pellmar --toggle` asks
        QVERIFY(!app->choices().paused);
        QVERIFY(!pause->isChecked()); // the dialog follows
        // Left resting on the edge while paused, it waits for the mouse.
        QTest::qWait(3 * WatchingSource::warpCheckMs);
        QCOMPARE(platform->cursor(), QPoint(3839, 500));
        platform->pointer.pushDevice(30, 0);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 500));
        // And the curtains come back, over the screen the pointer is not on.
        QTRY_COMPARE(curtainGeometry(), (QList<QRect>{QRect(1920, 0, 1920, 1080)}));
        QCOMPARE(app->obey("pause"), QString("ok"));
        QVERIFY(app->choices().paused && pause->isChecked());
        QCOMPARE(app->obey("resume"), QString("ok"));
        QVERIFY(!app->choices().paused);

        // Start at login writes and removes the autostart entry.
        auto *atLogin = dialog->findChild<QCheckBox *>("chkStartAtLogin");
        QVERIFY(!atLogin->isChecked());
        atLogin->click();
        QVERIFY(QFile::exists(entry));
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(
            text.contains("Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"));
        atLogin->click();
        QVERIFY(!QFile::exists(entry));
        end();
        qunsetenv("XDG_CONFIG_HOME");
    }

    void noCompositorIsSaidBesideTheDarkness_data()
    {
        QTest::addColumn<bool>("compositor");
        QTest::newRow("compositor") << true;
        QTest::newRow("none") << false;
    }

    void noCompositorIsSaidBesideTheDarkness()
    {
        QFETCH(bool, compositor);
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3839, 1079)},
                              [&](FakePlatform &p) { p.compositor = compositor; });
        QCOMPARE(w->ui->lblNoCompositor->isVisible(), !compositor);
        // Asked afresh each time the window is shown.
        w->hide();
        platform->compositor = !compositor;
        w->show();
        QCOMPARE(w->ui->lblNoCompositor->isVisible(), compositor);
    }

    void manyRebuildsWhileTheEngineRuns()
    {
        // Layouts replaced under a busy engine (the thread checker watches),
        // the old snapshots freed, the curtains following.
        Window_Main *w = open({rect(0, 0, 1919, 1079), rect(1920, 0, 3199, 1023)});
        w->ui->btnScreenFocus->click();
        std::vector<std::weak_ptr<const Snapshot>> old;
        int step = 0;
        QTimer mouse;
        connect(&mouse, &QTimer::timeout, [&] { platform->moveDevice(1900 + step++ % 40, 100); });
        mouse.start(1);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
        for (int k = 1; k <= 12; ++k) {
            old.push_back(app->snapshot());
            std::vector<ScreenRect> r{rect(0, 0, 1919, 1079)};
            for (int i = 1; i <= 1 + k % 3; ++i)
                r.push_back(rect(1920 * i, 0, 1920 * i + 1279, 1023));
            replug(monitors(r));
            QTRY_COMPARE(app->curtains().shown().size(), int(r.size()) - 1);
        }
        mouse.stop();
        QTRY_VERIFY(std::all_of(old.begin(), old.end(), [](const auto &s) { return s.expired(); }));
        w->ui->btnScreenFocus->click();
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
