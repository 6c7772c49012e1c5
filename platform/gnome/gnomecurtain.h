#pragma once

#include "curtain.h"

#include <QString>
#include <functional>

// A curtain drawn by the GNOME Shell extension over one monitor, named by
// its connector. The extension takes the whole set of curtains at once, so
// each change here only tells the platform, which sends the set.
class GnomeCurtain : public Curtain
{
public:
    // Told of every change that matters to the set, and of the end.
    using Notify = std::function<void(const GnomeCurtain *, bool gone)>;
    GnomeCurtain(const QString &connector, const QRect &area, int darkness, Notify changed);
    ~GnomeCurtain() override;

    void setShown(bool shown) override;
    bool isShown() const override { return shown; }
    void setDarkness(int percent) override;
    QRect area() const override { return covers; }

    QString connector() const { return name; }
    int darkness() const { return percent; }

private:
    QString name;
    QRect covers;
    int percent;
    bool shown = false;
    Notify changed;
};
