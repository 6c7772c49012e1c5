#include "trayicon.h"

#include <QAction>
#include <QSystemTrayIcon>
#include <QtTest>

// The tray icon as a view: what its tooltip and menu say for each state,
// and what the user picks there.
class TestTrayIcon : public QObject
{
    Q_OBJECT

private slots:
    void tooltipSaysWhyNothingJumps_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("holdingBack");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<bool>("locked"); // the pointer held on its monitor
        QTest::newRow("running") << false << false << "Click here to open Pellmar" << false;
        QTest::newRow("a window full screen")
            << false << true << "Pellmar is holding back: a window is full screen" << false;
        QTest::newRow("paused") << true << false << "Pellmar is paused: click here to open it"
                                << false;
        // The user's own pause is the reason to name.
        QTest::newRow("paused, a window full screen")
            << true << true << "Pellmar is paused: click here to open it" << false;
        QTest::newRow("locked") << false << false << "Click here to open Pellmar" << true;
        QTest::newRow("paused and locked")
            << true << false << "Pellmar is paused: click here to open it" << true;
    }

    void tooltipSaysWhyNothingJumps()
    {
        QFETCH(bool, paused);
        QFETCH(bool, holdingBack);
        QFETCH(QString, tooltip);
        QFETCH(bool, locked);
        TrayIcon tray;
        tray.showState(paused, true, holdingBack);
        tray.showLocked(locked);
        QCOMPARE(tray.icon()->toolTip(), tooltip);
        QCOMPARE(tray.pauseItem->isChecked(), paused);
        QVERIFY(tray.startAtLoginItem->isChecked());
        QCOMPARE(tray.lockItem->isChecked(), locked);
        QCOMPARE(tray.lockItem->text(), QString("Lock to This Monitor"));
        // Picked, the item asks for the other state.
        QSignalSpy asked(&tray, &TrayIcon::lockToggled);
        tray.lockItem->trigger();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().first().toBool(), !locked);
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
