#include "graphics/bitmap.h"
#include "graphics/graphic.h"
#include "gui/scrollbar.h"
#include "gui_fixture.h"

namespace {
CCtrl* childOf(CGroup* group, int left, int top, int w, int h) {
    CCtrl* c = new CCtrl(group->owner);
    c->setBounds(left, top, w, h);
    group->addControl(c);
    return c;
}
} // namespace

using GroupHitTest = GuiTest;

// Where controls overlap, the last one added wins.
TEST_F(GroupHitTest, OverlapsHiddenDisabledAndScrolledControls) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 200, 200);
    CGroup* panel = new CGroup(&win);
    panel->setBounds(100, 0, 100, 100);
    win.addControl(panel);
    CCtrl* row = childOf(panel, 0, 40, 100, 10);
    CCtrl* overlapping = childOf(panel, 0, 45, 100, 10);
    CCtrl* cover = childOf(win.clientGroup, 0, 0, 50, 50);
    CCtrl* later = childOf(win.clientGroup, 10, 10, 50, 50);
    EXPECT_EQ(win.controlAtPos(20, 20), later);
    EXPECT_EQ(win.controlAtPos(110, 42), row);
    EXPECT_EQ(win.controlAtPos(110, 47), overlapping);
    later->visible = false;
    EXPECT_EQ(win.controlAtPos(20, 20), cover);
    cover->enabled = false;
    EXPECT_EQ(win.controlAtPos(20, 20), win.clientGroup);

    panel->scrollY = 30;
    EXPECT_EQ(win.controlAtPos(110, 12), row);
    EXPECT_EQ(win.controlAtPos(110, 35), panel);
    CPoint p = win.controlPos(row);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 10);
}

using ScrollPanel = GuiTest;

TEST_F(ScrollPanel, ContentSizeFollowsTheRowsAndDrivesTheScrollbars) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 200, 100);
    CScrollPanel* panel = new CScrollPanel(&win);
    panel->setBounds(0, 0, 10, 10);
    panel->setAlign(alignStretchWidth | alignStretchHeight, 0, 0);
    win.addControl(panel);
    for (int i = 0; i < 5; i++)
        childOf(panel->client, 0, i * 18, 60, 14);
    win.show(false);
    // rows 90 high in a client 84 high beside the vertical scrollbar and above the horizontal
    // one: the panel's parts keep right, keep bottom and stretch after their nested parent
    EXPECT_EQ(panel->contentHeight, 90);
    EXPECT_EQ(panel->client->width, 184);
    EXPECT_EQ(panel->vScroll->x, 184);
    EXPECT_EQ(panel->hScroll->y, 84);
    EXPECT_EQ(panel->vScroll->max, 6);
    EXPECT_EQ(panel->hScroll->max, 0);

    // the lower scroll button moves the content after one 20 ms repeat
    CPoint p = win.controlPos(panel->vScroll);
    win.mouseDown(p.x + 5, p.y + 80, btnLeft);
    app.idle();
    app.idle();
    EXPECT_EQ(panel->client->scrollY, 2);
    win.mouseUp(p.x + 5, p.y + 80, btnLeft);
}

using GroupPaint = GuiTest;

TEST_F(GroupPaint, ChildrenPaintInTheirOwnCoordinatesClippedToTheirRectangles) {
    struct Filler {
        void paint(CObject*, CGraphic* g, CRect r) {
            g->fillRect(asColor(255, 0, 0), asRect(r.left - 20, r.top, r.right + 20, r.bottom));
        }
    } filler;
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 60, 40);
    win.onPaint = nullptr;
    CGroup* g = new CGroup(&win);
    g->setBounds(10, 10, 40, 20);
    g->bkColor = asColor(0, 0, 255);
    win.addControl(g);
    CCtrl* c = childOf(g, 5, 5, 10, 10);
    c->onPaint = new _COnPaint<Filler>(&filler, &Filler::paint);
    CCtrl* hidden = childOf(g, 20, 5, 10, 10);
    hidden->visible = false;
    hidden->onPaint = new _COnPaint<Filler>(&filler, &Filler::paint);
    win.show(false);

    CBitmap surface(0, 60, 40, 32);
    win.graphic->setContext(surface.graphic->getContext());
    win.paint(0, asRect(0, 0, 60, 40));
    win.graphic->setContext(nullptr);
    CGraphic* s = surface.graphic;
    EXPECT_EQ(s->getPixel(15, 15), asColor(255, 0, 0));
    EXPECT_EQ(s->getPixel(24, 24), asColor(255, 0, 0));
    EXPECT_EQ(s->getPixel(14, 15), asColor(0, 0, 255));
    EXPECT_EQ(s->getPixel(25, 15), asColor(0, 0, 255));
    EXPECT_EQ(s->getPixel(30, 15), asColor(0, 0, 255));
    EXPECT_NE(s->getPixel(5, 5), asColor(0, 0, 255));
}
