#include "gnomecurtain.h"

GnomeCurtain::GnomeCurtain(const QString &connector, const QRect &area, int darkness,
                           Notify onChange)
    : name(connector), covers(area), percent(darkness), changed(std::move(onChange))
{
}

GnomeCurtain::~GnomeCurtain()
{
    shown = false;
    changed(this, true);
}

void GnomeCurtain::setShown(bool on)
{
    if (on == shown)
        return;
    shown = on;
    changed(this, false);
}

void GnomeCurtain::setDarkness(int p)
{
    if (p == percent)
        return;
    percent = p;
    if (shown)
        changed(this, false);
}
