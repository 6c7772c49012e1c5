#pragma once

#include "screentable.h"

#include <QList>
#include <QtGui/qwindowdefs.h>
#include <functional>
#include <vector>

class ScreenDarkenCurtain;

// The Screen Focus curtains: one per screen of the current layout, made
// when first needed and then only shown and hidden, so that a new focus
// costs no window made anew. GUI thread only.
class FocusCurtains
{
public:
    // `markAsOverlay` keeps a new curtain out of task lists and pagers.
    explicit FocusCurtains(std::function<void(WId)> markAsOverlay);
    ~FocusCurtains();
    FocusCurtains(const FocusCurtains &) = delete;
    FocusCurtains &operator=(const FocusCurtains &) = delete;

    // A new layout: every curtain goes; none may stay over an area that is
    // gone, or be shown for an index of the old table.
    void setScreens(const ScreenTable &screens);
    // Uncovers `screen` (-1: none) and covers every other one. The screen
    // is uncovered first and a curtain that stays up is not touched, so
    // nothing flickers.
    void focus(int screen);
    void hideAll();
    void setDarkness(int percent);

    // The curtains now up, in ascending screen order.
    QList<ScreenDarkenCurtain *> shown() const { return up; }

private:
    std::function<void(WId)> markAsOverlay;
    std::vector<ScreenRect> rects;
    std::vector<ScreenDarkenCurtain *> pool; // one per screen, null until needed
    QList<ScreenDarkenCurtain *> up;
    int darkness = 50;
};
