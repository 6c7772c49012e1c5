#include "focuscurtains.h"

#include "screendarkencurtain.h"

FocusCurtains::FocusCurtains(std::function<void(WId)> mark) : markAsOverlay(std::move(mark)) {}

FocusCurtains::~FocusCurtains()
{
    for (ScreenDarkenCurtain *curtain : pool)
        delete curtain;
}

void FocusCurtains::setScreens(const ScreenTable &screens)
{
    for (ScreenDarkenCurtain *curtain : pool)
        delete curtain;
    up.clear();
    rects = screens.rects;
    pool.assign(rects.size(), nullptr);
}

void FocusCurtains::focus(int screen)
{
    const int n = static_cast<int>(pool.size());
    if (screen >= 0 && screen < n && pool[screen])
        pool[screen]->hide();
    up.clear();
    for (int s = 0; s < n; ++s) {
        if (s == screen)
            continue;
        if (!pool[s]) {
            pool[s] = new ScreenDarkenCurtain(s, rects[s], darkness);
            if (markAsOverlay)
                markAsOverlay(pool[s]->winId());
        }
        pool[s]->show();
        up.append(pool[s]);
    }
}

void FocusCurtains::hideAll()
{
    for (ScreenDarkenCurtain *curtain : up)
        curtain->hide();
    up.clear();
}

void FocusCurtains::setDarkness(int percent)
{
    // Each change of opacity is a request to the window system per curtain.
    if (percent == darkness)
        return;
    darkness = percent;
    for (ScreenDarkenCurtain *curtain : pool) {
        if (curtain)
            curtain->setWindowOpacity(percent / 100.0);
    }
}
