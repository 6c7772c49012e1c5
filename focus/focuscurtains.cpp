#include "focuscurtains.h"

#include "platform.h"

FocusCurtains::FocusCurtains(Platform &p) : platform(p) {}

FocusCurtains::~FocusCurtains() = default;

void FocusCurtains::setScreens(const ScreenTable &table)
{
    up.clear();
    pool.clear();
    screens = table;
    pool.resize(screens.rects.size());
}

std::unique_ptr<Curtain> FocusCurtains::make(int screen) const
{
    const ScreenRect &r = screens.rects[screen];
    const PlatformScreen where{screens.names[screen], QRect(r.left, r.top, r.width(), r.height())};
    return platform.makeCurtain(where, darkness);
}

void FocusCurtains::focus(int screen)
{
    const int n = static_cast<int>(pool.size());
    if (screen >= 0 && screen < n && pool[screen])
        pool[screen]->setShown(false);
    up.clear();
    for (int s = 0; s < n; ++s) {
        if (s == screen)
            continue;
        if (!pool[s])
            pool[s] = make(s);
        if (!pool[s])
            continue; // the desktop makes none (Screen Focus says why)
        pool[s]->setShown(true);
        up.append(pool[s].get());
    }
}

void FocusCurtains::hideAll()
{
    for (Curtain *curtain : up)
        curtain->setShown(false);
    up.clear();
}

void FocusCurtains::setDarkness(int percent)
{
    // Each change of darkness is a request to the window system per curtain.
    if (percent == darkness)
        return;
    darkness = percent;
    for (const auto &curtain : pool) {
        if (curtain)
            curtain->setDarkness(percent);
    }
}
