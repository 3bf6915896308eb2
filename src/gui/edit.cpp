#include "gui/edit.h"

#include <cstdlib>

#include "graphics/draw.h"
#include "graphics/graphic.h"
#include "graphics/skin_item.h"
#include "gui/app.h"
#include "gui/headless.h"
#include "gui/platform.h"
#include "gui/win.h"

namespace {
/// The text starts this far inside the field's left edge.
constexpr int textInset = 4;

bool isWordSeparator(char c) {
    return c == ' ' || c == '/';
}

char upperChar(int key) {
    return key >= 'a' && key <= 'z' ? char(key - 'a' + 'A') : char(key);
}
} // namespace

int priorSpace(const CStr& s, int pos) {
    int i = pos;
    while (i >= 0 && isWordSeparator(s[i]))
        i--;
    while (i >= 0 && !isWordSeparator(s[i]))
        i--;
    return pos - i;
}

CEdit::CEdit(CWin* ownerWin) : CCtrl(ownerWin) {
    clip = true;
}

CEdit::~CEdit() {
    delete onChar;
}

bool CEdit::hasFocus() const {
    return owner && owner->keyCtrl == this;
}

int CEdit::measure(const CStr& s) {
    // outside a paint pass the window's surface has no context to measure with
    CGraphic* g = owner ? owner->graphic : nullptr;
    if ((!g || !g->getContext()) && app) g = app->measureSurface();
    return g ? g->textWidth(s) : 0;
}

int CEdit::XToPos(int tx) {
    int result = -1;
    int left = 0;
    for (int i = 0; i < text.length(); i++) {
        int w = measure(text.sub(i, 1));
        if (left + w / 2 < tx) result = i;
        left += w;
    }
    return result;
}

void CEdit::selectAll() {
    caret = text.length() - 1;
    selection = -text.length();
    redraw();
}

CStr CEdit::selectedText() const {
    int from = (selection < 0 ? caret + selection : caret) + 1;
    return text.sub(from, std::abs(selection));
}

void CEdit::deleteSelection() {
    int from = (selection < 0 ? caret + selection : caret) + 1;
    text.del(from, std::abs(selection));
    caret = asMin(caret, caret + selection);
    selection = 0;
}

void CEdit::copyText(const CStr& s) {
    if (app)
        app->platform()->copyText(s);
    else
        setProcessClipboard(s);
}

CStr CEdit::pasteText() {
    return app ? app->platform()->pasteText() : processClipboard();
}

bool CEdit::keyDown(int key, int state) {
    CStr before = text;
    bool used = true;
    if (!(onKey && (*onKey)(this, key, state))) {
        if (key < 1)
            used = specialKey(key, state);
        else if (!((state & modCommand) && commandKey(key)))
            typeChar(key, state);
    }
    if (liveChange && text != before && onChange) (*onChange)(this);
    return used;
}

bool CEdit::specialKey(int key, int state) {
    bool shift = state & modShift;
    bool command = state & modCommand;
    int len = text.length();
    switch (key) {
    case keyEscape:
        text = savedText;
        cancelled = true;
        if (hasFocus()) owner->setKeyCtrl(nullptr);
        return true;
    case keyEnter:
        if (commitNeedsEnter) cancelled = false;
        if (hasFocus()) owner->setKeyCtrl(nullptr);
        return true;
    case keyDelete:
        if (selection != 0)
            deleteSelection();
        else
            text.del(caret + 1, 1);
        break;
    case keyBackspace:
        if (selection != 0) {
            deleteSelection();
        } else if (command) {
            int n = priorSpace(text, caret);
            text.del(caret - n + 1, n);
            caret -= n;
        } else if (caret >= 0) {
            text.del(caret, 1);
            caret--;
        }
        break;
    case keyArrowLeft:
        if (caret >= 0) {
            int step = command ? priorSpace(text, caret) : 1;
            caret -= step;
            selection = shift ? selection + step : 0;
        }
        break;
    case keyArrowRight:
        if (caret >= len - 1) {
            selection = 0;
        } else {
            int step = command ? nextWordStep() : 1;
            caret += step;
            selection = shift ? selection - step : 0;
        }
        break;
    case keyHome:
        selection = shift ? selection + caret + 1 : 0;
        caret = -1;
        break;
    case keyEnd:
        selection = shift ? caret + selection - len + 1 : 0;
        caret = len - 1;
        break;
    default:
        return false;
    }
    redraw();
    return true;
}

int CEdit::nextWordStep() const {
    int len = text.length();
    int i = caret + 1;
    while (i < len && text[i] != ' ')
        i++;
    while (i < len && text[i] == ' ')
        i++;
    return asMax(1, i - 1 - caret);
}

bool CEdit::commandKey(int key) {
    switch (upperChar(key)) {
    case 'Z':
        text = savedText;
        selectAll();
        return true;
    case 'C':
        copyText(selectedText());
        return true;
    case 'X':
        copyText(selectedText());
        deleteSelection();
        redraw();
        return true;
    case 'V': {
        CStr pasted = pasteText();
        if (pasted.length() > 0) {
            deleteSelection();
            text.ins(pasted, caret + 1);
            caret += pasted.length();
            redraw();
        }
        return true;
    }
    case 'A':
        selectAll();
        return true;
    default:
        return false;
    }
}

void CEdit::typeChar(int key, int state) {
    if (selection != 0) deleteSelection();
    if (uppercase) key = upperChar(key);
    if (onChar) (*onChar)(this, key, state);
    if (key <= 0) return;
    text.ins(CStr(char(key)), caret + 1);
    caret++;
    redraw();
}

bool CEdit::setFocus(bool focus) {
    if (focus) {
        cancelled = commitNeedsEnter;
        savedText = text;
        if (selectAllOnFocus) selectAll();
        return true;
    }
    if (onChange && !cancelled && !(notifyOnlyIfChanged && text == savedText)) (*onChange)(this);
    return false;
}

void CEdit::selectWordAt(int p) {
    int start = p;
    while (start >= 0 && text[start] != ' ')
        start--;
    int end = asMax(p + 1, start + 1);
    while (end < text.length() && text[end] != ' ')
        end++;
    caret = start;
    selection = end - 1 - start;
}

void CEdit::mouseDown(int mx, int, int state) {
    if (!(state & btnLeft)) return;
    caret = XToPos(mx - textInset + scroll);
    if (state & btnDoubleClick) {
        selectWordAt(caret);
        redraw();
        return;
    }
    anchor = caret;
    selection = 0;
    if (hasFocus())
        redraw();
    else if (focusOnClick && owner)
        owner->setKeyCtrl(this);
}

void CEdit::mouseMove(int mx, int, int state) {
    if (!(state & btnLeft)) return;
    int p = XToPos(mx - textInset + scroll);
    if (p == caret || selection == anchor - p) return;
    caret = p;
    selection = anchor - caret;
    redraw();
}

void CEdit::paint(CGraphic* g, CRect r) {
    CRect textRect = asRect(r.left + textInset, r.top, r.right, r.bottom);
    if (!enabled) {
        roundFrame(g, fadeCol(clValue.textCol, clWinBkgnd.fillCol, 0.5f), r);
        g->drawText(clWinBkgnd.textCol, text, textRect, alignLeft);
    } else if (hasFocus()) {
        paintFocused(g, r);
    } else {
        if (drawBackground) drawGuiItem(g, r, &clValue, 0);
        g->drawText(clValue.textCol, text, textRect, alignLeft);
    }
}

void CEdit::paintFocused(CGraphic* g, CRect r) {
    roundRect(g, asColor(192, 192, 192), r);
    int w = g->textWidth(text.sub(0, caret + 1));
    if (w <= width - textInset && w < scroll) scroll = w;
    if (w > width - textInset) scroll = asMax(scroll, 8 + w - width);
    if (g->textWidth(text) < width - textInset) scroll = 0;
    int x0 = r.left + textInset - scroll;
    if (selection != 0) {
        int a = asMin(caret, caret + selection) + 1;
        int b = asMax(caret, caret + selection) + 1;
        g->fillRect(asColor(128, 128, 128),
                    asRect(x0 + g->textWidth(text.sub(0, a)) - 1, r.top + 1,
                           x0 + g->textWidth(text.sub(0, b)) - 1, r.bottom - 1));
    }
    g->drawText(clBlack, text, asRect(x0, r.top, r.right, r.bottom), alignLeft);
    int cx = x0 + g->textWidth(text.sub(0, caret + 1)) - 1;
    g->setLineCol(clRed);
    g->drawLine(cx, r.top + 1, cx, r.bottom - 1);
}
