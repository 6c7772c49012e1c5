#include "SettingsCtrl.h"
#include "enginestate.h"

#include <QtTest>

// The store is redirected into a throw-away folder for the whole test.
class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString file() const { return dir.path() + "/Brenvik/Pellmar.conf"; }

    void writeFile(const QByteArray &content)
    {
        QDir().mkpath(dir.path() + "/Brenvik");
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    // The choices this test changes, back at their start values.
    static void resetChoices()
    {
        engineState.easyMoveOn = false;
        engineState.maxVelocity = 0;
        engineState.curtainOpacityPercent = 50;
        engineState.wrapsByMonitor.clear();
        engineState.bypassModifier = 0;
        engineState.pushThrough = 0;
    }

    void setState(bool tip, bool left, bool right)
    {
        engineState.boolShowToolTip = tip;
        engineState.allowLeftWrap = left;
        engineState.allowRightWrap = right;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }

    void init() { QFile::remove(file()); }

    void emptyStoreGivesDefaults()
    {
        setState(false, true, true);
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        SettingsCtrl::loadSettings();
        QVERIFY(engineState.boolShowToolTip);
        QVERIFY(!engineState.allowLeftWrap);
        QVERIFY(!engineState.allowRightWrap);
    }

    void roundTrip_data()
    {
        QTest::addColumn<bool>("tip");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("right");
        for (int bits = 0; bits < 8; ++bits)
            QTest::addRow("%d", bits) << bool(bits & 1) << bool(bits & 2) << bool(bits & 4);
    }

    void roundTrip()
    {
        QFETCH(bool, tip);
        QFETCH(bool, left);
        QFETCH(bool, right);
        setState(tip, left, right);
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        SettingsCtrl::saveSettings();
        setState(!tip, !left, !right);
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        SettingsCtrl::loadSettings();
        QCOMPARE(engineState.boolShowToolTip.load(), tip);
        QCOMPARE(engineState.allowLeftWrap.load(), left);
        QCOMPARE(engineState.allowRightWrap.load(), right);
    }

    void saveWritesEveryKeyEveryTime()
    {
        setState(true, false, false); // all defaults, nothing changed
        engineState.easyMoveOn = true;
        engineState.maxVelocity = 120;
        engineState.curtainOpacityPercent = 70;
        engineState.wrapsByMonitor["DP-1"] = {true, false};
        engineState.bypassModifier = AltKey;
        engineState.pushThrough = 80;
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        SettingsCtrl::saveSettings();
        QSettings stored(file(), QSettings::IniFormat);
        // The three first keys where they always were; the rest in a group.
        QCOMPARE(stored.childKeys(),
                 (QStringList{"allowLeftWrap", "allowRightWrap", "boolShowToolTip"}));
        QCOMPARE(stored.value("boolShowToolTip").toString(), QString("true"));
        QCOMPARE(stored.value("allowLeftWrap").toString(), QString("false"));
        QCOMPARE(stored.value("Choices/easyMove").toString(), QString("true"));
        QCOMPARE(stored.value("Choices/maxVelocity").toInt(), 120);
        QCOMPARE(stored.value("Choices/screenFocusDarkness").toInt(), 70);
        QCOMPARE(stored.value("Choices/Monitors/DP-1/wrapTop").toString(), QString("true"));
        QCOMPARE(stored.value("Cursor/bypassModifier").toString(), QString("alt"));
        QCOMPARE(stored.value("Cursor/wrapWhileButtonHeld").toString(), QString("false"));

        // And back: every choice, and the monitor's switches.
        resetChoices();
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        SettingsCtrl::loadSettings();
        QVERIFY(engineState.easyMoveOn);
        QCOMPARE(engineState.bypassModifier.load(), unsigned(AltKey));
        QCOMPARE(engineState.pushThrough.load(), 80);
        QCOMPARE(engineState.maxVelocity.load(), 120);
        QCOMPARE(engineState.curtainOpacityPercent.load(), 70);
        QCOMPARE(engineState.wrapsByMonitor.value("DP-1"), std::make_pair(true, false));
        resetChoices();

        // A word the key does not take: the default, and a line naming it.
        writeFile("[Cursor]\nbypassModifier=hyper\npushThrough=900\n");
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Settings: Cursor/bypassModifier"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Settings: Cursor/pushThrough"));
        SettingsCtrl::loadSettings();
        QCOMPARE(engineState.bypassModifier.load(), 0u);
        QCOMPARE(engineState.pushThrough.load(), 0);
    }

    void oldFileStartsAsBefore()
    {
        // Only the three old keys: everything else at its start value.
        writeFile("[General]\nallowLeftWrap=true\nallowRightWrap=false\nboolShowToolTip=false\n");
        engineState.screenFocusOn = true;
        engineState.curtainOpacityPercent = 80;
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        SettingsCtrl::loadSettings();
        QVERIFY(engineState.allowLeftWrap && !engineState.boolShowToolTip);
        QVERIFY(!engineState.screenFocusOn && !engineState.easyMoveOn);
        QCOMPARE(engineState.curtainOpacityPercent.load(), 50);
        QVERIFY(engineState.wrapsByMonitor.isEmpty());
    }

    void settingsWords_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<int>("read"); // 1 true, 0 false, -1 the default with a log line
        for (const char *w : {"true", "TRUE", "Yes", "on", "1", " On "})
            QTest::newRow(w) << QByteArray(w) << 1;
        for (const char *w : {"false", "No", "OFF", "0"})
            QTest::newRow(w) << QByteArray(w) << 0;
        for (const char *w : {"maybe", "2", "", "enabled"})
            QTest::newRow(w) << QByteArray(w) << -1;
    }

    void settingsWords()
    {
        QFETCH(QByteArray, word);
        QFETCH(int, read);
        for (bool fallback : {false, true}) {
            if (read < 0)
                QTest::ignoreMessage(QtWarningMsg,
                                     QRegularExpression("^Settings: Choices/easyMove is not"));
            QCOMPARE(
                SettingsCtrl::readBool("Choices/easyMove", QString::fromLatin1(word), fallback),
                read < 0 ? fallback : read == 1);
        }
        // Numbers: in range, or the default and a log line.
        QCOMPARE(SettingsCtrl::readInt("n", "42", 5, 0, 100), 42);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Settings: n is not a number"));
        QCOMPARE(SettingsCtrl::readInt("n", "142", 5, 0, 100), 5);
    }

    void otherKeysInTheFileAreKept()
    {
        writeFile("[General]\nallowLeftWrap=true\n[Extra]\nnote=kept\n");
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        SettingsCtrl::loadSettings();
        QVERIFY(engineState.allowLeftWrap);
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        SettingsCtrl::saveSettings();
        QSettings stored(file(), QSettings::IniFormat);
        QCOMPARE(stored.value("Extra/note").toString(), QString("kept"));
        QCOMPARE(stored.value("allowLeftWrap").toString(), QString("true"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
