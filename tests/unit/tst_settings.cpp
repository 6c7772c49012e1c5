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

    void saveWritesAllThreeKeysEveryTime()
    {
        setState(true, false, false); // all defaults, nothing changed
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
        SettingsCtrl::saveSettings();
        QSettings stored(file(), QSettings::IniFormat);
        QCOMPARE(stored.allKeys().size(), 3);
        QCOMPARE(stored.value("boolShowToolTip").toString(), QString("true"));
        QCOMPARE(stored.value("allowLeftWrap").toString(), QString("false"));
        QCOMPARE(stored.value("allowRightWrap").toString(), QString("false"));
    }

    void missingKeysAndOddValues()
    {
        // Only one key present, and not a boolean word: Qt's conversion of a
        // string to bool reads "0", "false" and "" as false, anything else true.
        writeFile("[General]\nallowRightWrap=yes\n");
        setState(false, true, false);
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        SettingsCtrl::loadSettings();
        QVERIFY(engineState.boolShowToolTip); // missing: default true
        QVERIFY(!engineState.allowLeftWrap);  // missing: default false
        QVERIFY(engineState.allowRightWrap);

        writeFile("[General]\nallowLeftWrap=0\nallowRightWrap=FALSE\nboolShowToolTip=1\n");
        QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
        SettingsCtrl::loadSettings();
        QVERIFY(!engineState.allowLeftWrap);
        QVERIFY(!engineState.allowRightWrap);
        QVERIFY(engineState.boolShowToolTip);
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
