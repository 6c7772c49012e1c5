#include "enginestate.h"
#include "logicctrl.h"
#include "window_main.h"

#include <QtTest>
#include <atomic>

// The real window and engine on the offscreen platform, with the GUI thread
// (this test's thread) blocked while the cursor sits on a wrapping edge.
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

    void aStalledGuiThreadFindsOneRequestAndOneJump()
    {
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        Window_Main w;
        w.show();
        const int right = engineState.screenTable().desktopRight;
        QVERIFY(right > 100);
        QCursor::setPos(300, 200);
        QTRY_COMPARE(engineState.cursorX.load(), 300); // the engine samples

        // Count what the engine emits, as it emits it.
        std::atomic<int> requests{0};
        std::atomic<int> jumps{0};
        LogicCtrl *logic = engineState.logicCtrl;
        auto r = connect(
            logic, &LogicCtrl::updateMouse, logic, [&] { ++requests; }, Qt::DirectConnection);
        auto j = connect(
            logic, &LogicCtrl::moveMouse, logic, [&] { ++jumps; }, Qt::DirectConnection);

        QCursor::setPos(right, 200);
        QTRY_COMPARE(QCursor::pos(), QPoint(1, 200)); // wraps while all is well
        QCOMPARE(jumps.load(), 1);

        // Now the GUI thread stalls for 2 s with the cursor on the edge.
        QCursor::setPos(right, 300);
        const int before = requests.load();
        QThread::sleep(2);
        QVERIFY2(requests.load() - before <= 2, qPrintable(QString::number(requests - before)));
        QCOMPARE(jumps.load(), 1); // nothing acted on the stale sample

        // After the stall: one jump, and the cursor stays where it went.
        QTRY_COMPARE(QCursor::pos(), QPoint(1, 300));
        QTest::qWait(300);
        QCOMPARE(QCursor::pos(), QPoint(1, 300));
        QCOMPARE(jumps.load(), 2);

        disconnect(r);
        disconnect(j);
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
    }
};

QTEST_MAIN(TestStall)
#include "tst_stall.moc"
