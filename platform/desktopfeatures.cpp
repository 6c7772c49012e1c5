#include "desktopfeatures.h"

namespace {

// The one list of feature names: shown to users, printed by --desktop and
// matched against the README's table.
const char *const labels[featureCount] = {
    "desktop wraps",
    "monitor wraps",
    "Easy Move",
    "cross by physical size",
    "velocity thresholds",
    "bypass key",
    "wrap while a button is held",
    "push through",
    "safe corners",
    "Screen Focus",
    "quiet in full screen",
    "lock to a monitor",
    "jump",
    "readout position",
    "readout speed",
    "tray",
    "start at login",
};

} // namespace

QString DesktopFeatures::label(Feature feature)
{
    return QString::fromLatin1(labels[int(feature)]);
}

std::array<Feature, featureCount> DesktopFeatures::all()
{
    std::array<Feature, featureCount> out{};
    for (int i = 0; i < featureCount; ++i)
        out[std::size_t(i)] = Feature(i);
    return out;
}

QString DesktopFeatures::reason(Feature feature) const
{
    return entry(feature).denied ? entry(feature).text : QString();
}

DesktopFeatures &DesktopFeatures::deny(Feature feature, const QString &why)
{
    // The first reason given stands: a backend says the deepest cause
    // first (no pointer at all) and the narrower ones after.
    Entry &e = entries[std::size_t(feature)];
    if (!e.denied)
        e = Entry{true, why};
    return *this;
}

DesktopFeatures &DesktopFeatures::deny(std::initializer_list<Feature> features, const QString &why)
{
    for (const Feature f : features)
        deny(f, why);
    return *this;
}

DesktopFeatures &DesktopFeatures::denyPointer(const QString &why)
{
    for (const Feature f : all()) {
        if (f != Feature::Tray && f != Feature::StartAtLogin)
            deny(f, why);
    }
    return *this;
}

DesktopFeatures &DesktopFeatures::allowIf(Feature feature, const QString &condition)
{
    Entry &e = entries[std::size_t(feature)];
    if (!e.denied)
        e.text = condition;
    return *this;
}

QStringList DesktopFeatures::describe() const
{
    QStringList out;
    for (const Feature f : all()) {
        const Entry &e = entry(f);
        QString line = label(f) + (e.denied ? ": no" : ": yes");
        if (!e.text.isEmpty())
            line += (e.denied ? ": " : " (") + e.text + (e.denied ? "" : ")");
        out << line;
    }
    return out;
}
