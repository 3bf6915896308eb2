// Vertical or horizontal scrollbar: arrow buttons, a track and a thumb sized to the visible
// share of the content; line and page scrolling repeat with acceleration on the app timer.
#pragma once

#include "gui/ctrl.h"

/// What a held press on the bar does.
enum {
    repeatNone = 0,
    repeatLineBack = 1,
    repeatPageBack = 2,
    repeatThumb = 3,
    repeatPageForward = 4,
    repeatLineForward = 5,
};

class CScrollbar : public CCtrl {
public:
    explicit CScrollbar(CWin* ownerWin) : CCtrl(ownerWin) {}
    ~CScrollbar() override;

    void paint(CGraphic* g, CRect r) override;
    void mouseDown(int mx, int my, int state) override;
    void mouseMove(int mx, int my, int state) override;
    void mouseUp(int mx, int my, int state) override;
    void onTimer() override;
    virtual int getPos() { return pos; }
    virtual void drawBkgnd(CGraphic* g, CRect r);
    virtual void drawThumb(CGraphic* g, CRect r);

    /// Content size and visible size.
    void setRange(int content, int page);
    /// Clamps to min..max and places the thumb; neither redraws nor notifies.
    void setPos(int v);

    double speed = 0;
    int topSpeed = 0;
    int pos = 0;
    int min = 0;
    int max = 100;
    int total = 0;
    int rangeEnd = 0;
    int lastX = 0;
    int lastY = 0;
    bool dragging = false;
    int repeatMode = repeatNone;
    bool vertical = true;
    int buttonSize = 16;
    int thumbPos = 16;
    int thumbSize = 0;

private:
    int length() const { return vertical ? height : width; }
    int track() const { return length() - 2 * buttonSize; }
    void scroll(int mode);
    void changeTo(int v);
};
