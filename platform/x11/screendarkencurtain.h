#pragma once

#include "curtain.h"

#include <QWidget>

namespace Ui {
class ScreenDarkenCurtain;
}

// A curtain as a top-level window: black, partly transparent by the
// window's opacity (which needs a compositor), over one whole screen.
class ScreenDarkenCurtain : public QWidget, public Curtain
{
    Q_OBJECT

public:
    // Builds the curtain over `area` (desktop pixels), `darkness` percent
    // black; the caller shows it.
    ScreenDarkenCurtain(const QRect &area, int darkness);
    ~ScreenDarkenCurtain() override;

    void setShown(bool shown) override { setVisible(shown); }
    bool isShown() const override { return isVisible(); }
    void setDarkness(int percent) override { setWindowOpacity(percent / 100.0); }
    QRect area() const override { return geometry(); }

private:
    Ui::ScreenDarkenCurtain *ui;
};
