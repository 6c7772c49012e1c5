#include "appfixture.h"

#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

std::vector<PlatformScreen> monitors(const std::vector<QRect> &rects)
{
    std::vector<PlatformScreen> out;
    for (const QRect &r : rects)
        out.push_back({QString("DUMMY%1").arg(out.size()), r});
    return out;
}

void AppFixture::freshSettings()
{
    dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir->path());
}

QString AppFixture::settingsFile() const
{
    return dir->path() + "/Brenvik/Pellmar.conf";
}

QString AppFixture::stored(const QString &key) const
{
    return QSettings(settingsFile(), QSettings::IniFormat).value(key).toString();
}

void AppFixture::make(const std::vector<QRect> &screens,
                      const std::function<void(FakePlatform &)> &setUp)
{
    auto fake = std::make_unique<FakePlatform>(monitors(screens));
    if (setUp)
        setUp(*fake);
    platform = fake.get();
    app = std::make_unique<Application>(std::move(fake));
}

void AppFixture::start()
{
    QTest::ignoreMessage(QtDebugMsg, "Settings: Loading Settings...\n");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Screens: "));
    app->start();
}

void AppFixture::stop()
{
    QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
    app->stop();
}

void AppFixture::end()
{
    if (app && app->window())
        QTest::ignoreMessage(QtDebugMsg, "Settings: Saving Settings...\n");
    app.reset();
    platform = nullptr;
}

void AppFixture::edit(const std::function<void(Choices &)> &change)
{
    Choices c = app->choices();
    change(c);
    app->setChoices(c);
}
