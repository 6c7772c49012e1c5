#pragma once

#include "choices.h"
#include "screentable.h"

#include <QList>
#include <memory>
#include <vector>

class Curtain;
class Platform;

// The Screen Focus curtains: one per screen of the current layout, made
// when first needed and then only shown and hidden, so that a new focus
// costs no window made anew. Each is the window system's own where it has
// one (platform), else a top-level window kept out of task lists. GUI
// thread only.
class FocusCurtains
{
public:
    explicit FocusCurtains(Platform &platform);
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
    QList<Curtain *> shown() const { return up; }

private:
    std::unique_ptr<Curtain> make(int screen) const;

    Platform &platform;
    ScreenTable screens;
    std::vector<std::unique_ptr<Curtain>> pool; // one per screen, null until needed
    QList<Curtain *> up;
    int darkness = Choices::defaultDarkness;
};
