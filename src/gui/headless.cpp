#include "gui/headless.h"

#include "gui/win.h"

namespace {
CStr clipboardText;
}

void setProcessClipboard(const CStr& text) {
    clipboardText = text;
}
CStr processClipboard() {
    return clipboardText;
}

CWin* CHeadlessPlatform::winAtPos(int px, int py) {
    for (int i = shown.getCount() - 1; i >= 0; i--) {
        CWin* win = static_cast<CWin*>(shown.items(i));
        CPoint p = windowPos(win);
        if (px >= p.x && px < p.x + win->width && py >= p.y && py < p.y + win->height) return win;
    }
    return nullptr;
}

bool CHeadlessPlatform::embedView(CWin* win, long parent) {
    if (parent == 0) return false;
    withView.addUnique(win);
    return true;
}

void CHeadlessPlatform::createTopLevel(CWin* win) {
    withView.addUnique(win);
}

void CHeadlessPlatform::destroyView(CWin* win) {
    shown.remove(win);
    withView.remove(win);
    invalidations.erase(win);
}

bool CHeadlessPlatform::hasView(CWin* win) {
    return withView.indexed(win) >= 0;
}

void CHeadlessPlatform::showWindow(CWin* win) {
    shown.addUnique(win);
}

void CHeadlessPlatform::closeWindow(CWin* win) {
    shown.remove(win);
}

CPoint CHeadlessPlatform::windowPos(CWin* win) {
    return win->hasStyle(wsEmbedded) ? asPoint(0, 0) : asPoint(win->x, win->y);
}

void CHeadlessPlatform::invalidate(CWin* win) {
    if (hasView(win)) invalidations[win]++;
}

CMenuEvent CHeadlessPlatform::nextMenuEvent(CApp*) {
    menuWaits++;
    if (menuScript.empty()) return menuEventNoSource;
    std::function<CMenuEvent()> step = menuScript.front();
    menuScript.pop_front();
    return step();
}

void CHeadlessPlatform::copyText(const CStr& text) {
    setProcessClipboard(text);
}

CStr CHeadlessPlatform::pasteText() {
    return processClipboard();
}
