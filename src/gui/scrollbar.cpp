#include "gui/scrollbar.h"

#include "graphics/draw.h"
#include "graphics/graphic.h"
#include "graphics/skin_item.h"
#include "gui/app.h"

namespace {
constexpr int minThumbSize = 16;
constexpr int repeatIntervalMs = 20;
constexpr int arrowSize = 3;
} // namespace

CScrollbar::~CScrollbar() {
    if (app) app->killTimer(this);
}

void CScrollbar::setPos(int v) {
    pos = asMinMax(v, min, max);
    if (max <= min) {
        thumbPos = 0;
        return;
    }
    double share = double(pos - min) / double(max - min);
    thumbPos = asRound(share * double(track() - thumbSize)) + buttonSize;
}

void CScrollbar::setRange(int content, int page) {
    total = content;
    if (content <= page) {
        max = 0;
        pos = 0;
    } else {
        max = content - page;
        rangeEnd = max;
        if (pos > max) pos = max;
        float share = float(page) / float(content);
        thumbSize = asMax(minThumbSize, asRound(float(length() - 2 * buttonSize) * share));
    }
    setPos(pos);
}

void CScrollbar::drawBkgnd(CGraphic* g, CRect r) {
    drawGuiItem(g, r, vertical ? &clScrollbarVert : &clScrollbarHorz, 0);
}

void CScrollbar::drawThumb(CGraphic* g, CRect r) {
    drawGuiItem(g, r, vertical ? &clScrollbarVertThumb : &clScrollbarHorzThumb, 0);
}

void CScrollbar::paint(CGraphic* g, CRect r) {
    if (onPaint) {
        (*onPaint)(this, g, r);
        return;
    }
    drawBkgnd(g, r);
    if (buttonSize > 0) {
        CRect back, forward;
        CGuiItem2* backItem;
        CGuiItem2* forwardItem;
        int backDir, forwardDir;
        if (vertical) {
            back = asRect(r.left, r.top, r.right, r.top + buttonSize);
            forward = asRect(r.left, r.bottom - buttonSize, r.right, r.bottom);
            backItem = &clScrollbarButtonUp;
            forwardItem = &clScrollbarButtonDown;
            backDir = alignTop;
            forwardDir = alignBottom;
        } else {
            back = asRect(r.left, r.top, r.left + buttonSize, r.bottom);
            forward = asRect(r.right - buttonSize, r.top, r.right, r.bottom);
            backItem = &clScrollbarButtonLeft;
            forwardItem = &clScrollbarButtonRight;
            backDir = alignLeft;
            forwardDir = alignRight;
        }
        drawGuiItem(g, back, backItem, 0);
        drawArrow(g, backItem->symbolCol, back, backDir, arrowSize);
        drawGuiItem(g, forward, forwardItem, 0);
        drawArrow(g, forwardItem->symbolCol, forward, forwardDir, arrowSize);
    }
    if (min == max) return;
    if (vertical)
        drawThumb(g, asRect(r.left, r.top + thumbPos, r.right, r.top + thumbPos + thumbSize));
    else
        drawThumb(g, asRect(r.left + thumbPos, r.top, r.left + thumbPos + thumbSize, r.bottom));
}

void CScrollbar::changeTo(int v) {
    if (v == pos) return;
    setPos(v);
    redraw();
    if (onChange) (*onChange)(this);
}

void CScrollbar::mouseDown(int mx, int my, int state) {
    if (max <= min || !(state & btnLeft)) return;
    lastX = mx;
    lastY = my;
    int p = vertical ? my : mx;
    int v = pos;
    if (thumbSize == 0) {
        v = min + asRound(float(max - min) * (float(p) / float(length())));
        dragging = true;
    } else {
        // a horizontal bar's thumb reaches one pixel further
        int thumbEnd = thumbPos + thumbSize + (vertical ? 0 : 1);
        if (p >= 0 && p < buttonSize) {
            scroll(repeatLineBack);
        } else if (p >= buttonSize && p < thumbPos) {
            scroll(repeatPageBack);
        } else if (p >= thumbPos && p < thumbEnd) {
            dragging = true;
            repeatMode = repeatThumb;
        } else if (p < length() - buttonSize) {
            scroll(repeatPageForward);
        } else {
            scroll(repeatLineForward);
        }
    }
    changeTo(v);
    if (onMouseDown) (*onMouseDown)(this, mx, my, state);
}

void CScrollbar::scroll(int mode) {
    if (mode == repeatMode) return;
    if (mode == repeatNone) {
        if (app) app->killTimer(this);
        repeatMode = repeatNone;
        return;
    }
    repeatMode = mode;
    bool lines = mode == repeatLineBack || mode == repeatLineForward;
    speed = lines ? 2.0 : 8.0;
    topSpeed = lines ? 8 : 24;
    if (app) app->addTimer(this, repeatIntervalMs, true);
}

void CScrollbar::onTimer() {
    int step = int(speed);
    int v = pos;
    if (repeatMode == repeatLineBack || repeatMode == repeatPageBack)
        v = pos - step;
    else if (repeatMode == repeatPageForward || repeatMode == repeatLineForward)
        v = pos + step;
    speed = speed + 0.5 > topSpeed ? topSpeed : speed + 0.5;
    int before = pos;
    setPos(v);
    if (pos == before) return;
    redraw();
    if (onChange) (*onChange)(this);
}

void CScrollbar::mouseMove(int mx, int my, int) {
    if (!dragging) return;
    int p = vertical ? my : mx;
    int v;
    if (thumbSize > 0) {
        int last = vertical ? lastY : lastX;
        thumbPos =
            asMax(buttonSize, asMin(length() - buttonSize - thumbSize, thumbPos + (p - last)));
        double share = double(thumbPos - buttonSize) / double(track() - thumbSize);
        v = asRound(min + (max - min) * share);
    } else {
        v = min + asRound(float(max - min) * (float(p) / float(length())));
    }
    lastX = mx;
    lastY = my;
    changeTo(v);
}

void CScrollbar::mouseUp(int mx, int my, int state) {
    scroll(repeatNone);
    dragging = false;
    if (onMouseUp) (*onMouseUp)(this, mx, my, state);
}
