#include "trayicon.h"

#include <QAction>
#include <QSystemTrayIcon>
#include <QtTest>

// The tray icon as a view: what its tooltip and menu say for each state.
class TestTrayIcon : public QObject
{
    Q_OBJECT

private slots:
    void tooltipSaysWhyNothingJumps_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("holdingBack");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("running") << false << false << "Click here to open Pellmar";
        QTest::newRow("a window full screen")
            << false << true << "Pellmar is holding back: a window is full screen";
        QTest::newRow("paused") << true << false << "Pellmar is paused: click here to open it";
        // The user's own pause is the reason to name.
        QTest::newRow("paused, a window full screen")
            << true << true << "Pellmar is paused: click here to open it";
    }

    void tooltipSaysWhyNothingJumps()
    {
        QFETCH(bool, paused);
        QFETCH(bool, holdingBack);
        QFETCH(QString, tooltip);
        TrayIcon tray;
        tray.showState(paused, true, holdingBack);
        QCOMPARE(tray.icon()->toolTip(), tooltip);
        QCOMPARE(tray.pauseItem->isChecked(), paused);
        QVERIFY(tray.startAtLoginItem->isChecked());
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
