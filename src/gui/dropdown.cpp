#include "gui/dropdown.h"

#include "graphics/draw.h"
#include "graphics/graphic.h"
#include "graphics/skin_item.h"
#include "gui/app.h"
#include "gui/scrollbar.h"
#include "gui/win.h"

namespace {
/// Border-only paint, no border, Escape hides, floating.
constexpr int listWinStyle = 0x500030;
constexpr int scrollbarWidth = 16;
constexpr int textInset = 4;
constexpr int arrowSize = 3;

int clampStep(int dx, int dy) {
    return asMinMax(dx != 0 ? dx : dy, -1, 1);
}
} // namespace

CDropdown::CDropdown(CWin* ownerWin) : CEdit(ownerWin), items(new CStringList) {}

CDropdown::~CDropdown() {
    delete items;
    delete onText;
    delete onBeforeDrop;
    delete onLeftButton;
}

int CDropdown::count() {
    return listMode ? items->count() : entryCount;
}

void CDropdown::add(CStr s) {
    items->add(s);
}

CStr CDropdown::getItemText(int i) {
    return i >= 0 && i < items->count() ? items->getStr(i) : CStr();
}

CStr CDropdown::shownText(int i) {
    CStr s = getItemText(i);
    if (onText) (*onText)(this, s, i);
    return s;
}

CStr CDropdown::defaultText() {
    if (index < 0 || index >= count()) return CStr();
    return shownText(index);
}

void CDropdown::drawBkgnd(CGraphic* g, CRect r) {
    CGuiItem2* look = item ? item : &clDropdown;
    if (bkMode == bkOutline)
        roundFrame(g, look->fillCol, r);
    else if (bkMode != bkNone)
        drawGuiItem(g, r, look, 0);
}

void CDropdown::paint(CGraphic* g, CRect r) {
    if (onPaint) {
        (*onPaint)(this, g, r);
        return;
    }
    CGuiItem2* look = item ? item : &clDropdown;
    int h = r.bottom - r.top;
    int col = textColor >= 0 ? textColor : bkMode == bkOutline ? clWinBkgnd.textCol : look->textCol;
    if (editable && hasFocus()) {
        CEdit::paint(g, r);
    } else {
        drawBkgnd(g, r);
        CRect t = r;
        if (onLeftButton) t.left += h;
        t.right -= arrowMode * height;
        if (alignFlags & alignLeft) t.left += textInset;
        if (alignFlags & alignRight) t.right -= textInset;
        g->drawText(col, editable ? text : defaultText(), t, alignFlags);
    }
    int arrowCol = bkMode == bkOutline ? col : look->symbolCol;
    if (arrowMode == arrowDown && !(arrowOnHover && app && app->hoverCtrl != this))
        drawArrow(g, arrowCol, asRect(r.right - h, r.top, r.right, r.bottom), alignBottom,
                  arrowSize);
    if (arrowMode == arrowSteps) {
        drawArrow(g, arrowCol, asRect(r.right - 2 * h, r.top, r.right - h, r.bottom), alignLeft,
                  arrowSize);
        drawArrow(g, arrowCol, asRect(r.right - h, r.top, r.right, r.bottom), alignRight,
                  arrowSize);
    }
    if (onLeftButton) g->drawText(arrowCol, "...", asRect(r.left, r.top, r.left + h, r.bottom), 0);
}

void CDropdown::mouseDown(int mx, int my, int state) {
    if (state != btnLeft) return;
    if (editable && mx < width - height) {
        CEdit::mouseDown(mx, my, state);
        return;
    }
    if (mx < height && onLeftButton) {
        owner->setCapture(false);
        (*onLeftButton)(this);
        return;
    }
    if (arrowMode == arrowNone || arrowMode == arrowDown)
        drop();
    else if (arrowMode == arrowSteps && mx < width - 2 * height)
        drop();
}

void CDropdown::selectEntry(int i) {
    index = i;
    if (editable) text = getItemText(i);
    redraw();
    if (onChange) (*onChange)(this);
}

void CDropdown::mouseUp(int mx, int my, int) {
    if (arrowMode != arrowSteps || mx < width - 2 * height || my < 0 || my >= height) return;
    int next = mx > width - height ? index + 1 : index - 1;
    next = asMax(0, asMin(next, count() - 1));
    if (next != index) selectEntry(next);
}

bool CDropdown::mouseWheel(int, int, int state, int dx, int dy) {
    if (!(state & modCommand)) return false;
    int next = clampStep(dx, dy) >= 1 ? index - 1 : index + 1;
    if (next < 0 || next >= count() || next == index) return true;
    index = next;
    redraw();
    if (onChange) (*onChange)(this);
    return true;
}

void CDropdown::drop() {
    if (onBeforeDrop) (*onBeforeDrop)(this);
    int w = listWidth >= 0 ? listWidth : width;
    int contentHeight = count() * rowHeight;
    int h = asMax(rowHeight, asMin(visibleRows * rowHeight, contentHeight));
    CPoint wp = owner->getPos(false);
    CPoint cp = owner->controlPos(this);
    int lx = wp.x + cp.x;
    int ly = wp.y + cp.y + height;
    if (ly + h > screenRect().bottom) ly -= h + height;
    if (ly < 0) ly = 0;

    popup = new CWin(app, owner, listWinStyle, "", lx, ly, w, h);
    popup->onKey = new _COnKey<CDropdown>(this, &CDropdown::listKey);
    popup->onWheel = new _COnWheel<CDropdown>(this, &CDropdown::listWheel);
    scrollbar = new CScrollbar(popup);
    scrollbar->setBounds(0, 0, scrollbarWidth, h);
    scrollbar->setAlign(alignStretchHeight | alignKeepRight, 0, 0);
    scrollbar->onChange = new _COnChange<CDropdown>(this, &CDropdown::redrawRows);
    scrollbar->setRange(contentHeight, h);
    scrollbar->visible = contentHeight > h;
    popup->addControl(scrollbar);
    rows = new CCtrl(popup);
    rows->setBounds(0, 0, scrollbar->visible ? w - scrollbarWidth : w, h);
    rows->onPaint = new _COnPaint<CDropdown>(this, &CDropdown::paintRows);
    rows->onMouseDown = new _COnMouse<CDropdown>(this, &CDropdown::rowMouseDown);
    rows->onMouseMove = new _COnMouse<CDropdown>(this, &CDropdown::rowMouseMove);
    rows->onMouseUp = new _COnMouse<CDropdown>(this, &CDropdown::rowMouseUp);
    popup->mouseCtrl = rows;
    popup->addControl(rows);
    owner->setCapture(false);

    if (editable)
        for (int i = 0; i < count(); i++)
            if (getItemText(i) == text) {
                index = i;
                break;
            }
    accepted = false;
    highlight = -1;
    setIndex(index, false);
    popup->showMenu();

    delete popup;
    popup = nullptr;
    rows = nullptr;
    scrollbar = nullptr;
    if (accepted && highlight != index) selectEntry(highlight);
    // the press that opened the list must not deliver its moves or release here
    owner->mouseCtrl = nullptr;
}

void CDropdown::setIndex(int i, bool redrawList) {
    if (i == highlight || i < 0 || i >= count() || !popup) return;
    highlight = i;
    int p = scrollbar->pos;
    int visibleHeight = rows->height;
    if (i * rowHeight + rowHeight - p > visibleHeight)
        scrollbar->setPos(i * rowHeight + rowHeight - visibleHeight);
    else if (i * rowHeight - p < 0)
        scrollbar->setPos(i * rowHeight);
    if (redrawList) popup->redraw();
}

void CDropdown::redrawRows(CObject*) {
    if (rows) rows->redraw();
}

void CDropdown::paintRows(CObject*, CGraphic* g, CRect r) {
    drawGuiItem(g, r, &clDropdownMenu, drawNoFrame);
    int p = scrollbar ? scrollbar->pos : 0;
    for (int i = 0; i < count(); i++) {
        int top = i * rowHeight - p;
        if (top >= r.bottom || top + rowHeight <= r.top) continue;
        bool lit = i == highlight;
        if (lit)
            drawGuiItem(g, asRect(r.left, top, r.right, top + rowHeight), &clDropdownMenuSelected,
                        0);
        int col = lit ? clDropdownMenuSelected.textCol : clDropdownMenu.textCol;
        g->drawText(col, shownText(i), asRect(r.left + textInset, top, r.right, top + rowHeight),
                    alignLeft);
    }
    drawGuiItem(g, r, &clDropdownMenu, drawNoFill);
}

int CDropdown::rowAt(int ry) const {
    return ((scrollbar ? scrollbar->pos : 0) + ry) / rowHeight;
}

void CDropdown::rowMouseDown(CObject*, int, int my, int) {
    int row = rowAt(my);
    if (row < 0 || row >= count() || row == highlight) return;
    highlight = row;
    rows->redraw();
}

void CDropdown::rowMouseMove(CObject*, int, int my, int) {
    int row = rowAt(my);
    if (row < 0 || row >= count()) row = -1;
    if (row == highlight) return;
    highlight = row;
    rows->redraw();
}

void CDropdown::rowMouseUp(CObject*, int mx, int my, int) {
    if (!rows->containsLocal(mx, my)) return;
    accepted = true;
    popup->hide();
}

bool CDropdown::listKey(CObject*, int& key, int) {
    int page = rows->height / rowHeight;
    switch (key) {
    case keyEnter:
        accepted = true;
        popup->hide();
        return true;
    case keyArrowUp:
        setIndex(highlight - 1, true);
        return true;
    case keyArrowDown:
        setIndex(highlight + 1, true);
        return true;
    case keyHome:
        setIndex(0, true);
        return true;
    case keyEnd:
        setIndex(count() - 1, true);
        return true;
    case keyPageUp:
        setIndex(asMax(0, highlight - page), true);
        return true;
    case keyPageDown:
        setIndex(asMin(count() - 1, highlight + page), true);
        return true;
    default:
        return false;
    }
}

bool CDropdown::listWheel(CObject*, int, int, int, int dx, int dy) {
    setIndex(asMin(count() - 1, asMax(0, highlight - clampStep(dx, dy))), true);
    CPoint wp = popup->getPos(false);
    setMousePos(wp.x + rows->width - 8, highlight * rowHeight + wp.y + 8 - scrollbar->pos);
    return true;
}
