#include "gui/dragwin.h"

#include "graphics/graphic.h"

namespace {
constexpr int dragWinStyle = 0x2100000;
constexpr int dragWinWidth = 128;
constexpr int dragWinHeight = 22;
} // namespace

CDragWin::CDragWin(CApp* application)
    : CWin(application, nullptr, dragWinStyle, "", 0, 0, dragWinWidth, dragWinHeight),
      label(new CCtrl(this)) {
    label->setBounds(0, 0, dragWinWidth, dragWinHeight);
    label->setAlign(alignStretchWidth | alignStretchHeight, 0, 0);
    label->text = "Testing";
    label->onPaint = new _COnPaint<CDragWin>(this, &CDragWin::paintText);
    addControl(label);
}

void CDragWin::setText(const CStr& caption) {
    label->text = caption;
    label->redraw();
}

CStr CDragWin::getText() const {
    return label->text;
}

void CDragWin::paintText(CObject*, CGraphic* g, CRect r) {
    g->fillRect(clWhite, r);
    g->frameRect(clBlack, r);
    g->drawText(clBlack, label->text, r, 0);
}
