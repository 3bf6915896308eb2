#include "gui/button.h"

#include "graphics/draw.h"
#include "graphics/graphic.h"
#include "graphics/skin_item.h"
#include "gui/app.h"
#include "gui/win.h"

namespace {
/// Space between a label's text and the edge it is aligned to.
constexpr int labelInset = 4;
/// Separator highlight and shadow differ this much from the background.
constexpr int engraveStep = 16;

int shiftColor(int col, int d) {
    int r, g, b;
    asRGB2(col, r, g, b);
    return asColor(r + d, g + d, b + d);
}

struct CLine {
    int x0, y0, x1, y1;
};

/// Two overlapping window outlines, the back one with a two-pixel title bar.
constexpr CLine maximizeSymbol[] = {{4, 2, 4, 7},     {13, 2, 13, 12}, {3, 7, 3, 13},
                                    {9, 7, 9, 13},    {5, 2, 13, 2},   {5, 3, 13, 3},
                                    {10, 11, 13, 11}, {4, 7, 9, 7},    {4, 12, 9, 12}};
constexpr CLine minimizeSymbol[] = {{5, 10, 11, 10}, {5, 11, 11, 11}};

template <size_t N> void drawSymbol(CGraphic* g, int col, CRect r, const CLine (&lines)[N]) {
    g->setLineCol(col);
    for (const CLine& l : lines)
        g->drawLine(r.left + l.x0, r.top + l.y0, r.left + l.x1, r.top + l.y1);
}
} // namespace

void CButton::paint(CGraphic* g, CRect r) {
    if (onPaint) {
        (*onPaint)(this, g, r);
        return;
    }
    drawGuiItem(g, r, &clButton, 0);
    g->drawText(clButton.textCol, text, r, 0);
}

void CButton::mouseDown(int mx, int my, int buttons) {
    if (onMouseDown) (*onMouseDown)(this, mx, my, buttons);
    redraw();
}

void CButton::mouseUp(int mx, int my, int buttons) {
    redraw();
    if (onMouseUp) (*onMouseUp)(this, mx, my, buttons);
    if (!(buttons & btnLeft) || !containsLocal(mx, my)) return;
    if (onChange) {
        (*onChange)(this);
        return;
    }
    _changed(this, nullptr);
    notify(getId(), this);
}

CLabel::CLabel(CWin* ownerWin) : CCtrl(ownerWin) {
    enabled = false;
}

void CLabel::paint(CGraphic* g, CRect r) {
    if (onPaint) {
        (*onPaint)(this, g, r);
        return;
    }
    if (bkColor >= 0) g->fillRect(bkColor, r);
    CRect textRect = r;
    if (textAlign == alignLeft)
        textRect.left += labelInset;
    else if (textAlign == alignRight)
        textRect.right -= labelInset;
    int col = textColor >= 0 ? textColor : clWinBkgnd.textCol;
    g->drawText(col, text, textRect, textAlign, textFlags & 1);
}

void CSeparator::paint(CGraphic* g, CRect r) {
    int base = clWinBkgnd.fillCol;
    int light = shiftColor(base, engraveStep);
    int dark = shiftColor(base, -engraveStep);
    g->fillRect(base, r);
    int cx = r.left + (r.right - r.left) / 2;
    int cy = r.top + (r.bottom - r.top) / 2 - 2;
    if (orientation == sepVertical) {
        g->setLineCol(dark);
        g->drawLine(cx, r.top, cx, r.bottom);
        if (width > 1) {
            g->setLineCol(light);
            g->drawLine(cx + 1, r.top, cx + 1, r.bottom);
        }
    } else if (orientation == sepHorizontal) {
        g->setLineCol(dark);
        g->drawLine(r.left, cy, r.right, cy);
        g->setLineCol(light);
        g->drawLine(r.left, cy + 1, r.right, cy + 1);
    }
}

CWindowButton::CWindowButton(CWin* ownerWin) : CButton(ownerWin) {
    wantsHover = true;
}

void CWindowButton::paint(CGraphic* g, CRect r) {
    bool hot = app && app->hoverCtrl == this;
    switch (kind) {
    case winButtonClose: {
        CGuiItem2* item = hot ? &clWinCloseMouseOver : &clWinClose;
        drawGuiItem(g, r, item, 0);
        drawCloseButton(g, r, item->symbolCol);
        break;
    }
    case winButtonMaximize: {
        CGuiItem2* item = hot ? &clWinMaxMouseOver : &clWinMax;
        drawGuiItem(g, r, item, 0);
        drawSymbol(g, item->symbolCol, r, maximizeSymbol);
        break;
    }
    case winButtonMinimize: {
        CGuiItem2* item = hot ? &clWinMinMouseOver : &clWinMin;
        drawGuiItem(g, r, item, 0);
        drawSymbol(g, item->symbolCol, r, minimizeSymbol);
        break;
    }
    default:
        break;
    }
}

void CWindowButton::mouseUp(int mx, int my, int) {
    if (!window || !containsLocal(mx, my)) return;
    if (kind == winButtonClose)
        window->hide();
    else if (kind == winButtonMaximize)
        window->hasStyle(wsMaximized) ? window->restore() : window->maximize();
    else if (kind == winButtonMinimize)
        window->minimize();
}
