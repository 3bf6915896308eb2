#include "gui/win.h"

#include "graphics/graphic.h"
#include "graphics/skin_item.h"
#include "gui/app.h"
#include "gui/button.h"
#include "gui/dragwin.h"
#include "gui/platform.h"

namespace {
/// Width of the frame edges that resize a sizeable window, and the reach of its corners.
constexpr int edgeReach = 3;
constexpr int cornerReach = 9;
/// Presses above this line of a captioned window move it.
constexpr int captionHitHeight = 23;
constexpr int windowButtonSize = 16;
/// Offset of the drag window from the pointer.
constexpr int dragWinDx = 8;
constexpr int dragWinDy = 20;

void addUnlinked(CGroup* group, CCtrl* c) {
    group->controls->add(c);
}

CPoint localPoint(CCtrl* c, CPoint screen) {
    CWin* win = c->owner;
    CPoint wp = win->getPos(false);
    CPoint cp = win->controlPos(c);
    return asPoint(screen.x - wp.x - cp.x, screen.y - wp.y - cp.y);
}

CCtrl* dropTargetAt(CWin* win, CPoint screen) {
    CPoint wp = win->getPos(false);
    CCtrl* c = win->controlAtPos(screen.x - wp.x, screen.y - wp.y);
    while (c && !c->onDrop)
        c = c->parent;
    return c;
}
} // namespace

CWin::CWin(CApp* application, CWin* parentWindow, int winStyle, CStr caption, int left, int top,
           int w, int h)
    : CGroup(parentWindow), style(winStyle), graphic(new CGraphic(0)), childWindows(new CList),
      parentWin(parentWindow) {
    type = ctrlWindow;
    app = application;
    app->registerWin(this);
    text = caption;
    visible = false;
    setBounds(left, top, w, h);
    int b = border();
    clientGroup = new CClientGroup(this);
    int clientTop = hasStyle(wsCaption) ? b + captionHeight + b : b;
    clientGroup->setBounds(b, clientTop, w - 2 * b, h - clientTop - b);
    clientGroup->setAlign(alignStretchWidth | alignStretchHeight, b, b);
    addUnlinked(this, clientGroup);
    if (hasStyle(wsCaption)) {
        captionGroup = new CGroup(this);
        captionGroup->setBounds(b, b, w - 2 * b, captionHeight);
        captionGroup->tag = 1;
        captionGroup->setAlign(alignStretchWidth, b, 0);
        captionGroup->onPaint = new _COnPaint<CWin>(this, &CWin::drawCaption);
        captionGroup->onMouseDown = new _COnMouse<CWin>(this, &CWin::captionMouseDown);
        captionGroup->onMouseUp = new _COnMouse<CWin>(this, &CWin::captionMouseUp);
        addUnlinked(this, captionGroup);
        const int kinds[] = {1, hasStyle(wsMaximizeButton) ? 2 : 0,
                             hasStyle(wsMinimizeButton) ? 3 : 0};
        for (int i = 0; i < 3; i++) {
            if (kinds[i] == 0) continue;
            CWindowButton* button = new CWindowButton(this);
            button->window = this;
            button->kind = kinds[i];
            button->setBounds(0, 2, windowButtonSize, windowButtonSize);
            button->setAlign(alignKeepRight, 2 + 18 * i, 0);
            captionGroup->addControl(button);
        }
    }
    createHandle();
    if (hasStyle(wsChild) && parentWin) parentWin->childWindows->add(this);
}

CWin::~CWin() {
    if (parentWin) parentWin->childWindows->remove(this);
    for (int i = 0; i < childWindows->getCount(); i++)
        static_cast<CWin*>(childWindows->items(i))->parentWin = nullptr;
    hide();
    delete onKey;
    delete onShow;
    onKey = nullptr;
    onShow = nullptr;
    destroyHandle();
    app->platform()->destroyView(this);
    // controls are deleted while this is still a window, so they can unhook from it
    CGroup::clear();
    delete graphic;
    delete childWindows;
    app->unregisterWin(this);
}

int CWin::border() const {
    return hasStyle(wsNoBorder) ? 0 : borderSize;
}

void CWin::createHandle() {
    if (!hasStyle(wsEmbedded)) app->platform()->createTopLevel(this);
}

void CWin::destroyHandle() {
    if (!hasStyle(wsEmbedded)) handle = nullptr;
}

void CWin::addControl(CCtrl* c) {
    clientGroup->addControl(c);
}

void CWin::clear() {
    clientGroup->clear();
}

void CWin::redraw() {
    app->platform()->invalidate(this);
}

void CWin::redrawRect(CRect) {
    redraw();
}

CPoint CWin::getSize() {
    return asPoint(width, height);
}

CPoint CWin::getPos(bool) {
    return app->platform()->windowPos(this);
}

void CWin::setPos(int left, int top) {
    x = left;
    y = top;
    app->platform()->placeWindow(this);
}

void CWin::setSize(int w, int h) {
    move(x, y, w, h);
}

void CWin::move(int left, int top, int w, int h) {
    setBounds(left, top, w, h);
    app->platform()->placeWindow(this);
    resized();
    redraw();
}

bool CWin::setFocus(bool focus) {
    if (focus)
        lastWin = this;
    else if (lastWin == this)
        lastWin = nullptr;
    return focus;
}

bool CWin::hasFocus() {
    return lastWin == this;
}

void CWin::resized() {
    CPoint size = getSize();
    width = size.x;
    height = size.y;
    absPos = asPoint(0, 0);
    CGroup::resized();
}

void CWin::show(bool) {
    if (visible) return;
    resized();
    if (hasStyle(wsCentered)) {
        int left = (screenWidth() - width) / 2;
        if (parentWin && parentWin->getPos(false).x > screenWidth()) left += screenWidth();
        setPos(left, (screenHeight() - height) / 2);
        style &= ~wsCentered;
    }
    app->platform()->showWindow(this);
    if (!hasStyle(wsChild | wsFloating)) app->windows->addUnique(this);
    app->visibleWindows.addUnique(this);
    visible = true;
}

void CWin::hide() {
    if (visible) {
        visible = false;
        app->platform()->closeWindow(this);
        app->windows->remove(this);
        app->visibleWindows.remove(this);
        mouseCtrl = nullptr;
        keyCtrl = nullptr;
    }
    app->menus->remove(this);
    CList* menus = app->menus;
    app->activeMenu = menus->getCount() > 0 ? static_cast<CWin*>(menus->last()) : nullptr;
}

void CWin::showMenu() {
    CApp* application = app;
    bool outermost = application->menus->getCount() == 0;
    application->menus->addUnique(this);
    application->activeMenu = this;
    if (onShow) (*onShow)(this);
    show(false);
    if (!outermost) return;
    CPlatform* platform = application->platform();
    // a handler inside the loop may delete this window: check it is still alive
    while (application->hasWin(this) && visible) {
        CMenuEvent event = platform->nextMenuEvent(application);
        if (event == menuEventOutsidePress) {
            application->killMenu(nullptr);
            break;
        }
        if (event == menuEventEscape || event == menuEventNoSource) break;
        application->idle();
    }
    if (application->hasWin(this) && deleteOnClose) delete this;
}

void CWin::showModal() {
    setCapture(false);
    show(true);
}

void CWin::paint(int, CRect r) {
    CGraphic* g = nullptr;
    if (!app->startDraw(this, &g, r, false)) return;
    if (onPaint) {
        (*onPaint)(this, g, r);
    } else if (hasStyle(wsBorderOnly)) {
        int fill = clWinBkgnd.fillCol;
        g->fillRect(fill, asRect(0, 0, width, 2 * borderSize + 20));
        g->fillRect(fill, asRect(0, 0, borderSize, height));
        g->fillRect(fill, asRect(width - borderSize, 0, width, height));
        g->fillRect(fill, asRect(0, height - borderSize, width, height));
    } else {
        drawGuiItem(g, r, &clWinBkgnd, 2);
    }
    paintControls(g, r, 0, 0);
    bool maximisedChild = hasStyle(wsChild) && hasStyle(wsMaximized);
    if (!onPaint && !hasStyle(wsNoBorder) && !maximisedChild)
        drawGuiItem(g, asRect(0, 0, width, height), &clWinBkgnd, 4);
    app->endDraw(this, g, r, false);
}

CPoint CWin::controlPos(CCtrl* ctrl) {
    CPoint p = asPoint(ctrl->x, ctrl->y);
    for (CGroup* g = ctrl->parent; g; g = g->parent) {
        p.x += g->x - g->scrollX;
        p.y += g->y - g->scrollY;
    }
    return p;
}

int CWin::getHitPos(int px, int py) {
    if (hasStyle(wsSizeable) && !hasStyle(wsMaximized)) {
        bool left = px < edgeReach;
        bool top = py < edgeReach;
        bool right = px >= width - edgeReach;
        bool bottom = py >= height - edgeReach;
        bool nearLeft = px < cornerReach;
        bool nearTop = py < cornerReach;
        bool nearRight = px >= width - cornerReach;
        bool nearBottom = py >= height - cornerReach;
        if ((left && nearTop) || (top && nearLeft)) return hitTopLeft;
        if ((right && nearTop) || (top && nearRight)) return hitTopRight;
        if ((left && nearBottom) || (bottom && nearLeft)) return hitBottomLeft;
        if ((right && nearBottom) || (bottom && nearRight)) return hitBottomRight;
        if (left) return hitLeft;
        if (top) return hitTop;
        if (right) return hitRight;
        if (bottom) return hitBottom;
    }
    if (hasStyle(wsCaption) && py < captionHitHeight) return hitCaption;
    return hitNone;
}

void CWin::startMoveOrResize(int code) {
    hitPos = code;
    savedRect = asRect(x, y, x + width, y + height);
    lastMousePos = mousePos();
}

void CWin::mouseDown(int mx, int my, int buttons) {
    app->cancelHint();
    if (!hasStyle(wsFloating)) setCapture(true);
    modifierAlone = false;
    lastMousePos = mousePos();
    lastMouseBtn = buttons;
    CCtrl* c = controlAtPos(mx, my);
    lastModKey = buttons;
    if (c) {
        if (app->modalCtrl && app->modalCtrl != c) return;
        mouseCtrl = c;
        CPoint pos = controlPos(c);
        c->mouseDown(mx - pos.x, my - pos.y, buttons);
        return;
    }
    int code = getHitPos(mx, my);
    if ((buttons & btnDoubleClick) && code == hitCaption) {
        hasStyle(wsMaximized) ? restore() : maximize();
        hitPos = hitNone;
    } else if (code != hitNone && !hasStyle(wsMaximized)) {
        startMoveOrResize(code);
    } else {
        hitPos = hitNone;
    }
}

void CWin::trackMoveOrResize() {
    CPoint p = mousePos();
    int dx = p.x - lastMousePos.x;
    int dy = p.y - lastMousePos.y;
    int left = savedRect.left;
    int top = savedRect.top;
    int w = savedRect.right - savedRect.left;
    int h = savedRect.bottom - savedRect.top;
    switch (hitPos) {
    case hitTopLeft:
        left += dx, top += dy, w -= dx, h -= dy;
        break;
    case hitTopRight:
        top += dy, w += dx, h -= dy;
        break;
    case hitBottomLeft:
        left += dx, w -= dx, h += dy;
        break;
    case hitBottomRight:
        w += dx, h += dy;
        break;
    case hitLeft:
        left += dx, w -= dx;
        break;
    case hitTop:
        top += dy, h -= dy;
        break;
    case hitRight:
        w += dx;
        break;
    case hitBottom:
        h += dy;
        break;
    case hitCaption:
        left += dx, top += dy;
        break;
    default:
        return;
    }
    move(left, top, w, h);
}

void CWin::routeDrag() {
    CPoint p = mousePos();
    CWin* target = winAtPos(p.x, p.y);
    CCtrl* over = target ? dropTargetAt(target, p) : nullptr;
    if (dragOverCtrl && dragOverCtrl != over && dragOverCtrl->onDragOver) {
        CPoint lp = localPoint(dragOverCtrl, p);
        (*dragOverCtrl->onDragOver)(dragOverCtrl, lp.x, lp.y, lastModKey);
    }
    dragOverCtrl = over;
    if (over && over->onDragOver) {
        CPoint lp = localPoint(over, p);
        (*over->onDragOver)(over, lp.x, lp.y, lastModKey);
    }
    if (!dragList || dragList->getCount() == 0) return;
    if (!app->dragWin) app->dragWin = new CDragWin(app);
    app->dragWin->setPos(p.x + dragWinDx, p.y + dragWinDy);
    if (!app->dragWin->visible) {
        app->dragWin->setText(static_cast<CObject*>(dragList->items(0))->getId());
        app->dragWin->show(false);
    }
}

int CWin::cursorForHit(int code, int fallback) const {
    switch (code) {
    case hitBottomRight:
        return cursorSizeBottomRight;
    case hitBottomLeft:
        return cursorSizeBottomLeft;
    case hitTopRight:
        return cursorSizeTopRight;
    case hitTopLeft:
        return cursorSizeTopLeft;
    case hitBottom:
        return cursorSizeBottom;
    case hitLeft:
        return cursorSizeLeft;
    case hitTop:
        return cursorSizeTop;
    case hitRight:
        return cursorSizeRight;
    default:
        return fallback;
    }
}

void CWin::mouseMove(int mx, int my, int buttons) {
    lastModKey = buttons;
    int shape = cursorArrow;
    if (hitPos != hitNone) {
        trackMoveOrResize();
    } else if (CCtrl* c = mouseCtrl) {
        shape = c->cursorShape;
        CPoint pos = controlPos(c);
        c->mouseMove(mx - pos.x, my - pos.y, buttons);
        if (dragList && dragCtrl) routeDrag();
    } else {
        CCtrl* hit = controlAtPos(mx, my);
        CPoint pos = asPoint(0, 0);
        if (hit) {
            pos = controlPos(hit);
            hit->mouseMove(mx - pos.x, my - pos.y, buttons);
            shape = hit->cursorShape;
        }
        app->setHooverCtrl(hit, mx - pos.x, my - pos.y);
    }
    int code = (buttons & btnLeft) ? hitPos : getHitPos(mx, my);
    setCursor(cursorForHit(code, shape));
    if (!(dragList && dragCtrl) && app->dragWin && app->dragWin->visible) app->dragWin->hide();
}

void CWin::mouseUp(int mx, int my, int buttons) {
    CApp* application = app;
    lastModKey = buttons;
    setCapture(false);
    if (CCtrl* c = mouseCtrl) {
        mouseCtrl = nullptr;
        CPoint pos = controlPos(c);
        c->mouseUp(mx - pos.x, my - pos.y, buttons);
        // the release may have closed and deleted this window
        if (!application->hasWin(this)) return;
    }
    hitPos = hitNone;
    if (!dragCtrl) return;
    dragCtrl = nullptr;
    dragOverCtrl = nullptr;
    if (application->dragWin) application->dragWin->hide();
    if (!dragList) return;
    CPoint p = mousePos();
    if (CWin* target = winAtPos(p.x, p.y)) {
        target->setFocus(true);
        CPoint wp = target->getPos(false);
        target->dropAt(p.x - wp.x, p.y - wp.y, buttons);
    }
    application->endDrag();
}

void CWin::dropAt(int px, int py, int buttons) {
    CCtrl* c = controlAtPos(px, py);
    while (c && !c->onDrop)
        c = c->parent;
    if (!c) return;
    CPoint pos = controlPos(c);
    (*c->onDrop)(c, px - pos.x, py - pos.y, buttons);
}

bool CWin::keyDown(int key, int modifiers) {
    bool focused = hasFocus();
    if (key != 0)
        modifierAlone = false;
    else if (modifiers == modOption && !modifierAlone)
        modifierAlone = true;
    if (app->onCtrlKey && (*app->onCtrlKey)(this, key, modifiers)) return true;
    if (app->onKey && (*app->onKey)(this, key, modifiers)) return true;
    if (onKey && (*onKey)(this, key, modifiers)) return true;
    if (key == keyCloseWindow && (modifiers & modOption)) {
        hide();
        return true;
    }
    bool takesKeys = focused || hasStyle(wsFloating);
    if (takesKeys && keyCtrl && keyCtrl->keyDown(key, modifiers)) return true;
    if (CCtrl::onKey && (*CCtrl::onKey)(this, key, modifiers)) return true;
    if (key == keyEscape && hasStyle(wsEscapeHides) && takesKeys) {
        hide();
        return true;
    }
    if (key == keyZoomWindow) {
        hasStyle(wsMaximized) ? restore() : maximize();
        return true;
    }
    if (key == keyTab && (modifiers & modCommand)) {
        app->nextWin(this, modifiers);
        return true;
    }
    if (key == keyTab) return nextCtrl();
    if (hasStyle(wsKeysToParent) && parentWin && !parentWin->hasStyle(wsRefuseChildKeys))
        return parentWin->keyDown(key, modifiers);
    return false;
}

bool CWin::keyUp(int key, int modifiers) {
    if (keyCtrl && keyCtrl->keyUp(key, modifiers)) return true;
    return onKeyUp && (*onKeyUp)(this, key, modifiers);
}

bool CWin::mouseWheel(int mx, int my, int state, int dx, int dy) {
    for (CCtrl* c = controlAtPos(mx, my); c; c = c->parent) {
        CPoint pos = controlPos(c);
        if (c->mouseWheel(mx - pos.x, my - pos.y, state, dx, dy)) return true;
    }
    return CCtrl::mouseWheel(mx, my, state, dx, dy);
}

void CWin::setKeyCtrl(CCtrl* ctrl) {
    if (ctrl == keyCtrl) return;
    CCtrl* old = keyCtrl;
    keyCtrl = nullptr;
    if (old) {
        old->setFocus(false);
        old->redraw();
    }
    keyCtrl = ctrl;
    if (ctrl) {
        ctrl->setFocus(true);
        ctrl->redraw();
    }
}

bool CWin::nextCtrl() {
    if (!keyCtrl || !keyCtrl->parent) return false;
    CGroup* group = keyCtrl->parent;
    int n = group->count();
    int at = group->controls->indexed(keyCtrl);
    for (int step = 1; step < n; step++) {
        CCtrl* c = group->control((at + step) % n);
        if (c->tabStop) {
            setKeyCtrl(c);
            return true;
        }
    }
    return false;
}

void CWin::maximize() {
    if (!hasStyle(wsSizeable) || hasStyle(wsMaximized)) return;
    style |= wsMaximized;
    savedRect = asRect(x, y, x + width, y + height);
    // without a multi-document owner the window fills the screen
    CRect s = screenRect();
    move(s.left, s.top, s.right - s.left, s.bottom - s.top);
}

void CWin::restore() {
    if (!hasStyle(wsSizeable) || !hasStyle(wsMaximized)) return;
    style &= ~wsMaximized;
    move(savedRect.left, savedRect.top, savedRect.right - savedRect.left,
         savedRect.bottom - savedRect.top);
}

void CWin::minimize() {
    if (!hasStyle(wsSizeable)) return;
    style |= wsMinimized;
    setFocus(false);
}

void CWin::setCaption(CStr caption) {
    text = caption;
    if (captionGroup) captionGroup->redraw();
}

void CWin::setCapture(bool capture) {
    app->platform()->setCapture(this, capture);
}

void CWin::setCursor(int shape) {
    app->cursor = shape;
    app->platform()->setCursor(this, shape);
}

void CWin::drawCaption(CObject*, CGraphic* g, CRect r) {
    drawGuiItem(g, r, &clCaption, 0);
    g->drawText(clCaption.textCol, text, sizeRect(r, 4, 0, 0, 0), alignLeft);
}

void CWin::captionMouseDown(CObject*, int, int, int buttons) {
    if (!(buttons & btnLeft)) return;
    if (buttons & btnDoubleClick)
        hasStyle(wsMaximized) ? restore() : maximize();
    else if (!hasStyle(wsMaximized))
        startMoveOrResize(hitCaption);
}

void CWin::captionMouseUp(CObject*, int, int, int) {
    // the caption menu (restore, maximise, dock) belongs to the library's pop-up menus, which
    // this system does not include
}
