#include "gui/ctrl.h"

#include <cstdlib>

#include "gui/app.h"
#include "gui/group.h"
#include "gui/win.h"

namespace {
/// Pixels the pointer must travel with the button down before a drag starts.
constexpr int dragThreshold = 9;
} // namespace

CCtrl::CCtrl(CWin* ownerWin) : owner(ownerWin), app(ownerWin ? ownerWin->app : nullptr) {
    type = ctrlPlain;
}

CCtrl::~CCtrl() {
    if (parent) parent->controls->remove(this);
    if (app) app->forgetCtrl(this);
    deleteDelegates();
}

void CCtrl::deleteDelegates() {
    delete onChange;
    delete onPaint;
    delete onMouseDown;
    delete onMouseMove;
    delete onMouseUp;
    delete onKey;
    delete onKeyUp;
    delete onDrag;
    delete onDrop;
    delete onDragOver;
    delete onWheel;
}

void CCtrl::setBounds(int left, int top, int w, int h) {
    x = left;
    y = top;
    width = w;
    height = h;
}

void CCtrl::setAlign(int flags, int marginX, int marginY) {
    align = flags;
    alignX = marginX;
    alignY = marginY;
}

void CCtrl::redraw() {
    if (visible && owner) owner->redrawRect(ctrlBounds(this));
}

void CCtrl::paint(CGraphic* g, CRect r) {
    if (onPaint) (*onPaint)(this, g, r);
}

void CCtrl::mouseDown(int mx, int my, int buttons) {
    if (onMouseDown) (*onMouseDown)(this, mx, my, buttons);
}

void CCtrl::mouseMove(int mx, int my, int buttons) {
    if (onMouseMove) (*onMouseMove)(this, mx, my, buttons);
    if (!onDrag || !(buttons & btnLeft) || dragCtrl) return;
    CPoint p = mousePos();
    if (std::abs(p.x - lastMousePos.x) >= dragThreshold ||
        std::abs(p.y - lastMousePos.y) >= dragThreshold)
        (*onDrag)(this);
}

void CCtrl::mouseUp(int mx, int my, int buttons) {
    if (onMouseUp) (*onMouseUp)(this, mx, my, buttons);
}

bool CCtrl::keyDown(int key, int modifiers) {
    return onKey && (*onKey)(this, key, modifiers);
}

bool CCtrl::keyUp(int, int) {
    return false;
}

bool CCtrl::mouseWheel(int mx, int my, int state, int dx, int dy) {
    return onWheel && (*onWheel)(this, mx, my, state, dx, dy);
}

void CCtrl::_changed(CObject* obj, void* data) {
    if (parent) parent->_changed(obj, data);
}

void CCtrl::notify(CStr message, CObject* obj) {
    if (parent) parent->notify(message, obj);
}

bool isGroupCtrl(const CCtrl* c) {
    return c->type == ctrlGroup || c->type == ctrlGroup2;
}

CRect ctrlBounds(const CCtrl* c) {
    return asRect(c->absPos.x, c->absPos.y, c->absPos.x + c->width, c->absPos.y + c->height);
}
