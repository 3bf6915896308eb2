#include "gui/group.h"

#include "graphics/draw.h"
#include "graphics/graphic.h"
#include "graphics/skin_item.h"
#include "gui/scrollbar.h"
#include "gui/win.h"

namespace {
constexpr int scrollbarThickness = 16;
/// Space left after the last row of a scroll panel's content.
constexpr int contentSlack = 4;

void alignHorizontally(CCtrl* c, int parentWidth) {
    if (c->align & alignKeepRight)
        c->x = parentWidth - c->width - c->alignX;
    else if (c->align & alignStretchWidth)
        c->width = parentWidth - c->x - c->alignX;
    else if (c->align & alignPercentX)
        c->x = (c->alignX * parentWidth) / 100 - c->width / 2;
}

void alignVertically(CCtrl* c, int parentHeight) {
    if (c->align & alignKeepBottom)
        c->y = parentHeight - c->height - c->alignY;
    else if (c->align & alignStretchHeight)
        c->height = parentHeight - c->y - c->alignY;
    else if (c->align & alignPercentY)
        c->y = c->alignY * (parentHeight - c->height) / 100;
}

/// The deepest control at a point of c's parent content, or null; nested groups let the last
/// matching child win.
CCtrl* searchCtrl(CCtrl* c, int px, int py) {
    if (!c->visible || !c->enabled) return nullptr;
    if (px < c->x || px >= c->x + c->width || py < c->y || py >= c->y + c->height) return nullptr;
    CCtrl* found = c;
    if (!isGroupCtrl(c)) return found;
    CGroup* group = static_cast<CGroup*>(c);
    for (int i = 0; i < group->count(); i++) {
        CCtrl* hit = searchCtrl(group->control(i), px - c->x + c->scrollX, py - c->y + c->scrollY);
        if (hit) found = hit;
    }
    return found;
}

bool intersects(CRect a, CRect b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
} // namespace

CGroup::CGroup(CWin* ownerWin) : CCtrl(ownerWin), controls(new CList) {
    type = ctrlGroup;
}

CGroup::~CGroup() {
    CGroup::clear();
    delete controls;
}

void CGroup::paint(CGraphic* g, CRect r) {
    CCtrl::paint(g, r);
    if (bkColor != -1) g->fillRect(bkColor, r);
    paintControls(g, r, g->origin.x, g->origin.y);
}

void CGroup::resized() {
    alignChildren();
}

void CGroup::alignChildren() {
    for (int i = 0; i < count(); i++) {
        CCtrl* c = control(i);
        alignHorizontally(c, width);
        alignVertically(c, height);
        if (isGroupCtrl(c)) static_cast<CGroup*>(c)->resized();
    }
}

void CGroup::addControl(CCtrl* c) {
    controls->add(c);
    c->parent = this;
}

void CGroup::clear() {
    while (controls->getCount() > 0) {
        CCtrl* c = control(0);
        controls->del(0);
        delete c;
    }
}

CCtrl* CGroup::controlAtPos(int px, int py) {
    for (int i = 0; i < count(); i++)
        if (CCtrl* hit = searchCtrl(control(i), px + scrollX, py + scrollY)) return hit;
    return nullptr;
}

void CGroup::paintControls(CGraphic* g, CRect r, int ox, int oy) {
    for (int i = 0; i < count(); i++) {
        CCtrl* c = control(i);
        paintCtrl(g, c, asPoint(ox - scrollX + c->x, oy - scrollY + c->y), r);
    }
}

void paintCtrl(CGraphic* g, CCtrl* c, CPoint origin, CRect r) {
    c->absPos = origin;
    CRect rect = asRect(origin.x, origin.y, origin.x + c->width, origin.y + c->height);
    if (!c->visible || !intersects(rect, g->clip) || r.left >= r.right || r.top >= r.bottom) return;
    CPoint savedOrigin = g->origin;
    g->origin = origin;
    CRect savedClip = g->addClip(rect);
    if (c->clip) {
        CRect platformClip = rect;
        if (g->bounds.right > 0) platformClip.right = asMin(platformClip.right, g->bounds.right);
        if (g->bounds.bottom > 0)
            platformClip.bottom = asMin(platformClip.bottom, g->bounds.bottom);
        g->pushPlatformClip(platformClip);
        c->paint(g, c->localRect());
        g->popPlatformClip();
    } else {
        c->paint(g, c->localRect());
    }
    g->clip = savedClip;
    g->origin = savedOrigin;
}

void CPanel::paint(CGraphic* g, CRect r) {
    drawGuiItem(g, r, &clPanel, 0);
    CGroup::paint(g, r);
}

void CClientGroup::_changed(CObject* obj, void* data) {
    if (owner) owner->_changed(obj, data);
}

void CClientGroup::notify(CStr message, CObject* obj) {
    if (owner) owner->notify(message, obj);
}

CScrollPanel::CScrollPanel(CWin* ownerWin)
    : CGroup(ownerWin), hScroll(new CScrollbar(ownerWin)), vScroll(new CScrollbar(ownerWin)),
      client(new CGroup(ownerWin)) {
    client->clip = true;
    addControl(client);
    hScroll->vertical = false;
    hScroll->setBounds(0, 0, 0, scrollbarThickness);
    hScroll->setAlign(alignStretchWidth | alignKeepBottom, scrollbarThickness, 0);
    hScroll->onChange = new _COnChange<CScrollPanel>(this, &CScrollPanel::scrollXChanged);
    addControl(hScroll);
    vScroll->setBounds(0, 0, scrollbarThickness, 0);
    vScroll->setAlign(alignStretchHeight | alignKeepRight, 0, scrollbarThickness);
    vScroll->onChange = new _COnChange<CScrollPanel>(this, &CScrollPanel::scrollYChanged);
    addControl(vScroll);
}

void CScrollPanel::paint(CGraphic* g, CRect r) {
    CGroup::paint(g, r);
    roundFrame(g, clPanel.fillCol, r);
}

void CScrollPanel::resized() {
    client->setAlign(alignStretchWidth | alignStretchHeight,
                     vScroll->visible ? scrollbarThickness : 0,
                     hScroll->visible ? scrollbarThickness : 0);
    vScroll->setAlign(alignStretchHeight | alignKeepRight, 0,
                      hScroll->visible ? scrollbarThickness : 0);
    int right = 0;
    int bottom = 0;
    for (int i = 0; i < client->count(); i++) {
        CCtrl* c = client->control(i);
        right = asMax(right, c->x + c->width);
        bottom = asMax(bottom, c->y + c->height);
    }
    contentWidth = right + contentSlack;
    contentHeight = bottom + contentSlack;
    alignChildren();
    setScroll();
}

void CScrollPanel::clear() {
    client->clear();
}

void CScrollPanel::setScroll() {
    hScroll->setRange(contentWidth, client->width);
    vScroll->setRange(contentHeight, client->height);
}

void CScrollPanel::scrollXChanged(CObject*) {
    client->scrollX = hScroll->getPos();
    redraw();
}

void CScrollPanel::scrollYChanged(CObject*) {
    client->scrollY = vScroll->getPos();
    redraw();
}
