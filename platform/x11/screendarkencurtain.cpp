#include "screendarkencurtain.h"
#include "ui_screendarkencurtain.h"

#include <QRegion>

ScreenDarkenCurtain::ScreenDarkenCurtain(const QRect &r, int darkness)
    : QWidget(nullptr), ui(new Ui::ScreenDarkenCurtain)
{
    ui->setupUi(this);
    setFixedSize(r.size());
    setStyleSheet("background-color: black;");
    setAttribute(Qt::WA_NativeWindow, true);
    // Shown over the desktop, it must neither activate (the window the user
    // types into keeps the focus) nor catch the pointer, and a window
    // manager must not frame it: a title bar would push it off its screen.
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint |
                   Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    setGeometry(r);
    setMask(QRegion(0, 0, width(), height()));
    setWindowOpacity(darkness / 100.0);
}

ScreenDarkenCurtain::~ScreenDarkenCurtain()
{
    delete ui;
}
