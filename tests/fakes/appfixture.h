#pragma once

#include "application.h"
#include "fakeplatform.h"

#include <QRect>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

// Monitors named DUMMY0, DUMMY1, ... in the order given.
std::vector<PlatformScreen> monitors(const std::vector<QRect> &rects);

// The whole application over a fake window system, with a settings folder
// of each test's own: what the widget tests share.
class AppFixture
{
protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Application> app;
    FakePlatform *platform = nullptr; // the application's

    // A new, empty settings folder, where Qt's user settings go.
    void freshSettings();
    QString settingsFile() const;
    // What the settings file holds now, read afresh.
    QString stored(const QString &key) const;

    // Makes the application over these monitors; `setUp` readies the fake
    // window system first. Nothing runs yet.
    void make(const std::vector<QRect> &screens,
              const std::function<void(FakePlatform &)> &setUp = {});
    // Start and stop, with the lines they log expected.
    void start();
    void stop();
    // The application gone, as when Pellmar ends.
    void end();

    void edit(const std::function<void(Choices &)> &change);
};
