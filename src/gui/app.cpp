#include "gui/app.h"

#include <algorithm>
#include <vector>

#include "foundation/os.h"
#include "graphics/bitmap.h"
#include "graphics/gui.h"
#include "graphics/skin_item.h"
#include "gui/dragwin.h"
#include "gui/headless.h"
#include "gui/win.h"

int borderSize = 3;
int sleeptime = 10;
int doubleClickTime = 400;
int lastMouseTime = -1;
int subMenuDelay = 250;
CWin* lastWin = nullptr;
CPoint lastMousePos{0, 0};
int lastMouseBtn = 0;
int lastModKey = 0;
CCtrl* dragCtrl = nullptr;
CCtrl* dragOverCtrl = nullptr;
CList* dragList = nullptr;

namespace {
/// Length of one timer tick in milliseconds, however long ago the previous tick was.
constexpr int tickMs = 10;

/// Backends of the live applications, newest last.
std::vector<CPlatform*> livePlatforms;

CHeadlessPlatform* fallbackPlatform() {
    static CHeadlessPlatform headless;
    return &headless;
}
} // namespace

CPlatform* activePlatform() {
    return livePlatforms.empty() ? fallbackPlatform() : livePlatforms.back();
}

int screenWidth() {
    return screenRect().right;
}
int screenHeight() {
    return screenRect().bottom;
}
CRect screenRect() {
    CRect r = activePlatform()->screenRect();
    return asRect(0, 0, r.right - r.left, r.bottom - r.top);
}
CPoint mousePos() {
    return activePlatform()->mousePos();
}
void setMousePos(int px, int py) {
    activePlatform()->setMousePos(px, py);
}
CWin* winAtPos(int px, int py) {
    return activePlatform()->winAtPos(px, py);
}
void eventLoopTimer(void*, CApp* app) {
    if (app) app->idle();
}

CApp::CApp(CPlatform* platformBackend)
    : menus(new CList), windows(new CList), timers(new CList), gui(new CAppGui),
      backend(platformBackend ? platformBackend : new CHeadlessPlatform) {
    livePlatforms.push_back(backend);
}

CApp::~CApp() {
    delete hintWin;
    hintWin = nullptr;
    delete dragWin;
    dragWin = nullptr;
    // windows the owner forgot to delete must not outlive the lists they unregister from
    while (allWindows.getCount() > 0)
        delete static_cast<CWin*>(allWindows.last());
    delete timers;
    delete menus;
    delete windows;
    delete gui;
    delete backBuffer;
    delete measureBitmap;
    delete onHint;
    delete onDragEnd;
    delete onCtrlKey;
    delete onKey;
    livePlatforms.erase(std::find(livePlatforms.begin(), livePlatforms.end(), backend));
    delete backend;
}

void CApp::addTimer(CCtrl* ctrl, int intervalMs, bool repeat) {
    killTimer(ctrl);
    ctrl->timerInterval = intervalMs;
    ctrl->timerLeft = intervalMs;
    ctrl->timerRepeat = repeat;
    timers->add(ctrl);
}

void CApp::killTimer(CCtrl* ctrl) {
    timers->remove(ctrl);
}

void CApp::idle() {
    // a handler may start, stop or delete timers: walk a copy and skip what left the list
    std::vector<CCtrl*> due;
    for (int i = 0; i < timers->getCount(); i++)
        due.push_back(asCtrl(timers->items(i)));
    for (CCtrl* c : due) {
        if (timers->indexed(c) < 0) continue;
        c->timerLeft -= tickMs;
        if (c->timerLeft >= 1) continue;
        if (c->timerRepeat)
            c->timerLeft += c->timerInterval;
        else
            timers->remove(c);
        c->onTimer();
    }
    if (sleeptime > 0) asSleep(sleeptime);
}

bool CApp::startDraw(CWin* win, CGraphic** g, CRect r, bool direct) {
    *g = win->graphic;
    if (direct || !useBackBuffer) {
        win->redraw();
        return false;
    }
    if (r.left >= r.right || r.top >= r.bottom) return false;
    if (!backBuffer || backBuffer->width < r.right || backBuffer->height < r.bottom) {
        int w = backBuffer ? asMax(backBuffer->width, r.right) : r.right;
        int h = backBuffer ? asMax(backBuffer->height, r.bottom) : r.bottom;
        delete backBuffer;
        delete measureBitmap;
        backBuffer = new CBitmap(0, w, h, screenDepth());
    }
    CGraphic* surface = win->graphic;
    surface->origin = asPoint(0, 0);
    surface->clip = r;
    surface->wholeArea =
        r.left == 0 && r.top == 0 && r.right == win->width && r.bottom == win->height;
    surface->bounds = asRect(0, 0, 0, 0);
    return true;
}

bool CApp::endDraw(CWin*, CGraphic*, CRect, bool direct) {
    return direct;
}

void CApp::setHooverCtrl(CCtrl* ctrl, int px, int py) {
    if (ctrl != hintCtrl) {
        hintCtrl = ctrl;
        updateHint(ctrl);
    }
    CCtrl* candidate = ctrl && ctrl->wantsHover ? ctrl : nullptr;
    if (candidate == hoverCtrl) return;
    if (CCtrl* old = hoverCtrl) {
        old->mouseOver(false, px, py);
        hoverCtrl = nullptr;
        old->redraw();
    }
    hoverCtrl = candidate;
    if (candidate) {
        candidate->mouseOver(true, px, py);
        candidate->redraw();
    }
}

void CApp::updateHint(CCtrl* ctrl) {
    if (menus->getCount() == 0 && mainWin && onHint) (*onHint)(ctrl);
}

void CApp::cancelHint() {
    if (!hintWin) return;
    killTimer(hintWin);
    if (hintWin->visible) hintWin->hide();
}

void CApp::killMenu(CWin* keep) {
    while (menus->getCount() > 0) {
        CWin* menu = static_cast<CWin*>(menus->last());
        if (menu == keep) break;
        menu->hide();
        // a window that is no longer visible still has to leave the list
        menus->remove(menu);
    }
    activeMenu = menus->getCount() > 0 ? static_cast<CWin*>(menus->last()) : nullptr;
}

void CApp::startDrag(CCtrl* ctrl) {
    endDrag();
    dragCtrl = ctrl;
    dragOverCtrl = nullptr;
    dragList = new CList;
}

void CApp::endDrag() {
    if (onDragEnd) (*onDragEnd)(this);
    if (dragList) {
        for (int i = 0; i < dragList->getCount(); i++)
            delete static_cast<CObject*>(dragList->items(i));
        delete dragList;
    }
    dragList = nullptr;
    dragCtrl = nullptr;
    if (dragWin) dragWin->hide();
}

void CApp::nextWin(CWin* win, int) {
    int n = windows->getCount();
    if (n < 2) return;
    int start = windows->indexed(win);
    if (start < 0) return;
    for (int step = 1; step < n; step++) {
        CWin* candidate = static_cast<CWin*>(windows->items((start + step) % n));
        if (candidate->mdiOwner) continue;
        candidate->setFocus(true);
        return;
    }
}

void CApp::run(CWin* win) {
    running = true;
    mainWin = win;
    if (!win->visible) win->show(false);
    running = false;
}

CGraphic* CApp::measureSurface() {
    if (!measureBitmap) measureBitmap = new CBitmap(0, 1, 1, screenDepth());
    return measureBitmap->graphic;
}

void CApp::processEvents() {
    backend->processEvents();
}

void CApp::registerWin(CWin* win) {
    allWindows.addUnique(win);
}

void CApp::unregisterWin(CWin* win) {
    allWindows.remove(win);
    menus->remove(win);
    windows->remove(win);
    visibleWindows.remove(win);
    if (mainWin == win) mainWin = nullptr;
    if (activeMenu == win)
        activeMenu = menus->getCount() > 0 ? static_cast<CWin*>(menus->last()) : nullptr;
    if (lastWin == win) lastWin = nullptr;
}

void CApp::forgetCtrl(CCtrl* ctrl) {
    killTimer(ctrl);
    if (hoverCtrl == ctrl) hoverCtrl = nullptr;
    if (hintCtrl == ctrl) hintCtrl = nullptr;
    if (modalCtrl == ctrl) modalCtrl = nullptr;
    if (dragCtrl == ctrl) dragCtrl = nullptr;
    if (dragOverCtrl == ctrl) dragOverCtrl = nullptr;
    for (int i = 0; i < allWindows.getCount(); i++) {
        CWin* win = static_cast<CWin*>(allWindows.items(i));
        if (win->mouseCtrl == ctrl) win->mouseCtrl = nullptr;
        if (win->keyCtrl == ctrl) win->keyCtrl = nullptr;
    }
}
