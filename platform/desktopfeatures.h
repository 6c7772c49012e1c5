#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Every feature a user sees, in the order the window, the log and
// `pellmar --desktop` list them.
enum class Feature
{
    DesktopWraps,
    MonitorWraps,
    EasyMove,
    CrossByPhysicalSize,
    VelocityThresholds,
    BypassKey,
    WrapWhileButtonHeld,
    PushThrough,
    SafeCorners,
    ScreenFocus,
    QuietInFullscreen,
    Lock,
    Jump,
    ReadoutPosition,
    ReadoutSpeed,
    Tray,
    StartAtLogin,
};
constexpr int featureCount = int(Feature::StartAtLogin) + 1;

// What a desktop allows: for each feature whether it is there, and where it
// is not, why in the user's words. A feature may also carry a condition
// under which it is there ("with a StatusNotifierItem host"). The one
// account of a desktop's abilities: the views, the log and the verbs read
// it, and a backend says everything it cannot do here and nothing else.
class DesktopFeatures
{
public:
    // How a feature is named to the user, in the log and in the README's
    // table of desktops.
    static QString label(Feature feature);
    // Every feature, in order.
    static std::array<Feature, featureCount> all();

    bool available(Feature feature) const { return !entry(feature).denied; }
    // Why not; empty where it is available.
    QString reason(Feature feature) const;

    // Says the feature is not available, and why.
    DesktopFeatures &deny(Feature feature, const QString &why);
    DesktopFeatures &deny(std::initializer_list<Feature> features, const QString &why);
    // Says every feature that sees or moves the pointer is not available
    // (all but the tray and starting at login), and why.
    DesktopFeatures &denyPointer(const QString &why);
    // Says the feature is available under a condition.
    DesktopFeatures &allowIf(Feature feature, const QString &condition);

    // One line per feature: "desktop wraps: yes", "Screen Focus: no: <why>".
    QStringList describe() const;

private:
    struct Entry
    {
        bool denied = false;
        QString text;
    };
    const Entry &entry(Feature feature) const { return entries[std::size_t(feature)]; }

    std::array<Entry, featureCount> entries{};
};
