#include "application.h"
#include "engine.h"
#include "fakeplatform.h"
#include "window_main.h"

#include <QLabel>
#include <QtTest>

// The application over a fake window system, with the GUI thread (this
// test's thread) blocked while the pointer sits on a wrapping edge. The
// engine reads and moves the pointer on its own thread: a stalled GUI
// thread must not hold a jump back, nor make the engine act on a stale
// position or pile work up for later.
class TestStall : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brenvik", "Pellmar")
            .setValue("allowRightWrap", true);
    }

    void aStalledGuiThreadHoldsNothingBack_data()
    {
        QTest::addColumn<bool>("reportsMotion");
        QTest::newRow("watching") << true;
        QTest::newRow("polling") << false;
    }

    void aStalledGuiThreadHoldsNothingBack()
    {
        QFETCH(bool, reportsMotion);
        auto fake = std::make_unique<FakePlatform>(
            std::vector<PlatformScreen>{{"DUMMY0", QRect(0, 0, 1920, 1080)}});
        fake->pointer.setReportsMotion(reportsMotion);
        FakePlatform *platform = fake.get();
        Application app(std::move(fake));
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        QTest::ignoreMessage(QtDebugMsg, "Screens: DUMMY0 1920x1080+0+0");
        app.start();
        Window_Main *w = app.window();
        w->show();
        platform->moveDevice(300, 200);
        QTRY_COMPARE(w->lblMouseX->text(), QString("Mouse X: 300px")); // the engine reads
        platform->moveDevice(1919, 200);
        QTRY_COMPARE(platform->cursor(), QPoint(1, 200)); // wraps while all is well
        QCOMPARE(platform->pointer.moves().size(), std::size_t(1));

        // Now the GUI thread stalls for 2 s with the pointer on the edge.
        QTest::qWait(100); // what the first jump sent is in
        QSignalSpy readouts(&app.engine(), &Engine::readout);
        platform->moveDevice(1919, 300);
        QThread::sleep(2);
        // The engine jumped meanwhile, once, and the pointer stays where it
        // went.
        QCOMPARE(platform->cursor(), QPoint(1, 300));
        QCOMPARE(platform->pointer.moves(), (std::vector<QPoint>{QPoint(1, 200), QPoint(1, 300)}));
        QTest::qWait(300);
        QCOMPARE(platform->cursor(), QPoint(1, 300));
        QCOMPARE(platform->pointer.moves().size(), std::size_t(2));
        // What waited for the GUI thread is a few readouts, not one per
        // read, and the last shows where the pointer is now.
        QTRY_COMPARE(w->lblMouseY->text(), QString("Mouse Y: 300px"));
        QCOMPARE(w->lblMouseX->text(), QString("Mouse X: 1px"));
        QVERIFY2(readouts.size() <= 10, qPrintable(QString::number(readouts.size())));

        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
    }
};

QTEST_MAIN(TestStall)
#include "tst_stall.moc"
