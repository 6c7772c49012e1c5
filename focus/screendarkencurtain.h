#pragma once

#include "screentable.h"

#include <QWidget>

namespace Ui {
class ScreenDarkenCurtain;
}

// A black, partly transparent window over one whole screen while Screen
// Focus is on. It never takes the keyboard focus and lets every click
// through to what lies under it.
class ScreenDarkenCurtain : public QWidget
{
    Q_OBJECT

public:
    // Builds the curtain for the screen at this position of the screen
    // table, over `area`, `darkness` percent black; the caller shows it.
    ScreenDarkenCurtain(int screen, const ScreenRect &area, int darkness);
    ~ScreenDarkenCurtain() override;

    int screen() const { return screenIndex; }

private:
    Ui::ScreenDarkenCurtain *ui;
    int screenIndex;
};
