#include "editor/midipanel.h"

#include "editor/palette.h"
#include "editor/synthcontrol.h"
#include "graphics/draw.h"
#include "gui/dropdown.h"
#include "gui/scrollbar.h"

namespace {
const int grey1 = asColor(64, 64, 64);
const int grey2 = asColor(128, 128, 128);
// Room on the left of a row or the device list for its number or icon.
const int labelWidth = 16;
const int textInset = 4;
const int arrowSize = 3;
} // namespace

CRect dropdownTextRect(CDropdown* dd, CRect r) {
    CRect t = r;
    t.right -= dd->arrowMode * dd->height;
    if (dd->alignFlags & alignLeft) t.left += textInset;
    if (dd->alignFlags & alignRight) t.right -= textInset;
    return t;
}

void drawDropdownArrows(CGraphic* g, CDropdown* dd, CRect r) {
    int h = r.bottom - r.top;
    if (dd->arrowMode == arrowDown) {
        drawArrow(g, grey2, asRect(r.right - h, r.top, r.right, r.bottom), alignBottom, arrowSize);
    } else if (dd->arrowMode == arrowSteps) {
        drawArrow(g, grey2, asRect(r.right - 2 * h, r.top, r.right - h, r.bottom), alignLeft,
                  arrowSize);
        drawArrow(g, grey2, asRect(r.right - h, r.top, r.right, r.bottom), alignRight, arrowSize);
        g->setLineCol(grey1);
        g->drawLine(r.right - h, r.top, r.right - h, r.bottom);
        g->drawLine(r.right - 2 * h, r.top, r.right - 2 * h, r.bottom);
    }
}

CMIDIPanel::CMIDIPanel(CWin* win, CSynthControl* engine) : CScrollPanel(win), synth(engine) {}

void CMIDIPanel::paint(CGraphic* g, CRect r) {
    roundRect(g, asColor(40, 40, 40), r);
    // the scroll panel's own frame is left out
    CGroup::paint(g, r);
}

void CMIDIPanel::update() {
    clear();
    // chunk loads on other host threads change the mapping and the device meanwhile
    CSynthReading reading(synth);
    synth->refreshBusInfo();
    for (int i = 0; i < synth->mapRowCount(); i++) {
        CDropdown* dd = new CDropdown(owner);
        dd->setBounds(kRowLeft, kRowTop + kRowPitch * i, kRowWidth, kRowHeight);
        dd->arrowMode = arrowSteps;
        dd->bkMode = bkOutline;
        dd->onChange = new _COnChange<CMIDIPanel>(this, &CMIDIPanel::channelChanged);
        dd->onPaint = new _COnPaint<CMIDIPanel>(this, &CMIDIPanel::ddPaint);
        dd->tag = i;
        for (int b = 0; b < synth->busCount(); b++)
            dd->add(synth->busName(b));
        client->addControl(dd);
        dd->index = synth->mapTarget(i);
    }
    resized();
    redraw();
}

void CMIDIPanel::channelChanged(CObject* sender) {
    CDropdown* dd = static_cast<CDropdown*>(sender);
    synth->setMapTarget(dd->tag, dd->index);
}

void CMIDIPanel::ddPaint(CObject* sender, CGraphic* g, CRect r) {
    CDropdown* dd = static_cast<CDropdown*>(sender);
    roundFrame(g, grey1, r);
    CRect t = dropdownTextRect(dd, r);
    g->drawText(grey2, asStr(dd->tag + 1), asRect(r.left, t.top, r.left + labelWidth, t.bottom), 0);
    g->drawText(colText, dd->defaultText(), sizeRect(t, labelWidth, 0, 0, 0), dd->alignFlags);
    g->setLineCol(grey1);
    g->drawLine(r.left + labelWidth, r.top, r.left + labelWidth, r.bottom);
    drawDropdownArrows(g, dd, r);
}
