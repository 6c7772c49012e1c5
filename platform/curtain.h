#pragma once

#include <QRect>

// A black, partly transparent cover over one whole screen for Screen Focus.
// Every click and pointer motion passes through it to what lies below, it
// never takes the keyboard focus, and no task list shows it. Made hidden;
// GUI thread only.
class Curtain
{
public:
    virtual ~Curtain();

    virtual void setShown(bool shown) = 0;
    virtual bool isShown() const = 0;
    // Percent black, 0 to 100.
    virtual void setDarkness(int percent) = 0;
    // What it covers, in desktop pixels.
    virtual QRect area() const = 0;
};
