#include "gui/button.h"
#include "gui/dropdown.h"
#include "gui/scrollbar.h"
#include "gui_fixture.h"

namespace {
struct Recorder {
    void change(CObject*) { changes++; }
    void up(CObject*, int, int, int b) { ups.push_back(b); }
    int changes = 0;
    std::vector<int> ups;
};

class CNotedGroup : public CGroup {
public:
    using CGroup::CGroup;
    void _changed(CObject*, void*) override { changed++; }
    void notify(CStr message, CObject*) override { notes.push_back(message.asChar()); }
    int changed = 0;
    std::vector<std::string> notes;
};
} // namespace

using Buttons = GuiTest;

TEST_F(Buttons, ReleaseInsideFiresAndOutsideOrRightButtonDoesNot) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 200, 100);
    CNotedGroup* group = new CNotedGroup(&win);
    group->setBounds(0, 0, 200, 100);
    win.addControl(group);
    CButton* button = new CButton(&win);
    button->setBounds(0, 0, 40, 20);
    button->setId("ok");
    group->addControl(button);
    Recorder rec;
    button->onMouseUp = new _COnMouse<Recorder>(&rec, &Recorder::up);

    button->mouseUp(39, 19, btnLeft);
    EXPECT_EQ(group->changed, 1);
    EXPECT_EQ(group->notes, std::vector<std::string>{"ok"});
    button->mouseUp(40, 0, btnLeft);
    button->mouseUp(5, 5, btnRight);
    EXPECT_EQ(group->changed, 1);
    EXPECT_EQ(rec.ups, (std::vector<int>{btnLeft, btnLeft, btnRight}));

    button->onChange = new _COnChange<Recorder>(&rec, &Recorder::change);
    win.mouseDown(10, 10, btnLeft);
    EXPECT_EQ(rec.changes, 0);
    win.mouseUp(10, 10, btnLeft);
    EXPECT_EQ(rec.changes, 1);
    EXPECT_EQ(group->changed, 1);
}

class Scrollbars : public GuiTest {
protected:
    CScrollbar* addBar(int h) {
        CScrollbar* bar = new CScrollbar(&win);
        bar->setBounds(0, 0, 16, h);
        bar->onChange = new _COnChange<Recorder>(&rec, &Recorder::change);
        win.addControl(bar);
        return bar;
    }
    CWin win{&app, nullptr, wsNoBorder, "", 0, 0, 200, 400};
    Recorder rec;
};

TEST_F(Scrollbars, RangeThumbAndClamping) {
    CScrollbar* bar = addBar(128);
    bar->setRange(320, 128);
    EXPECT_EQ(bar->max, 192);
    EXPECT_EQ(bar->thumbSize, 38);
    bar->setPos(192);
    EXPECT_EQ(bar->thumbPos, 74);
    bar->setPos(-5);
    EXPECT_EQ(bar->getPos(), 0);
    bar->setPos(1000);
    EXPECT_EQ(bar->getPos(), 192);
    bar->setRange(10000, 10);
    EXPECT_EQ(bar->thumbSize, 16);
    EXPECT_EQ(rec.changes, 0);

    bar->setRange(100, 200);
    EXPECT_EQ(bar->max, 0);
    EXPECT_EQ(bar->getPos(), 0);
    bar->mouseDown(5, 120, btnLeft);
    app.idle();
    app.idle();
    EXPECT_EQ(app.timers->getCount(), 0);
    EXPECT_EQ(bar->getPos(), 0);
}

TEST_F(Scrollbars, HeldButtonRepeatsWithAccelerationAndStopsAtTheEnd) {
    CScrollbar* bar = addBar(128);
    bar->setRange(128 + 10, 128);
    std::vector<int> positions;
    bar->mouseDown(5, 120, btnLeft);
    EXPECT_EQ(bar->getPos(), 0);
    for (int tick = 0; tick < 12; tick++) {
        int before = bar->getPos();
        app.idle();
        if (bar->getPos() != before) positions.push_back(bar->getPos());
    }
    EXPECT_EQ(positions, (std::vector<int>{2, 4, 7, 10}));
    EXPECT_EQ(rec.changes, 4);
    bar->mouseUp(5, 120, btnLeft);
    EXPECT_EQ(app.timers->getCount(), 0);

    // a page scroll starts at 8 and runs on past the pointer
    bar->setRange(1000, 128);
    bar->setPos(0);
    bar->mouseDown(5, 100, btnLeft);
    positions.clear();
    for (int tick = 0; tick < 8; tick++) {
        int before = bar->getPos();
        app.idle();
        if (bar->getPos() != before) positions.push_back(bar->getPos());
    }
    EXPECT_EQ(positions, (std::vector<int>{8, 16, 25, 34}));
    bar->mouseUp(5, 100, btnLeft);
}

TEST_F(Scrollbars, DraggingTheThumbPastTheEndStopsAtMax) {
    CScrollbar* bar = addBar(128);
    bar->setRange(320, 128);
    win.show(false);
    win.mouseDown(5, 20, btnLeft);
    EXPECT_TRUE(bar->dragging);
    win.mouseMove(5, 60, btnLeft);
    EXPECT_EQ(bar->thumbPos, 56);
    EXPECT_EQ(bar->getPos(), asRound(192.0 * 40 / 58));
    win.mouseMove(5, 500, btnLeft);
    EXPECT_EQ(bar->getPos(), 192);
    EXPECT_EQ(bar->thumbPos, 74);
    win.mouseUp(5, 500, btnLeft);
    EXPECT_FALSE(bar->dragging);
    EXPECT_EQ(rec.changes, 2);
}

class Dropdowns : public GuiTest {
protected:
    CDropdown* addDropdown(int entries, int top = 10) {
        CDropdown* dd = new CDropdown(&win);
        dd->setBounds(10, top, 100, 20);
        for (int i = 0; i < entries; i++)
            dd->add(CStr("entry ") + asStr(i));
        dd->onChange = new _COnChange<Recorder>(&rec, &Recorder::change);
        win.addControl(dd);
        win.show(false);
        return dd;
    }
    /// Runs one step inside the open list and then ends the loop with Escape.
    void inList(std::function<void()> step) {
        platform->menuScript.push_back([step] {
            step();
            return menuEventDispatched;
        });
    }
    void thenEscape() {
        platform->menuScript.push_back([] { return menuEventEscape; });
    }
    CWin win{&app, nullptr, wsNoBorder, "", 100, 50, 300, 200};
    Recorder rec;
};

TEST_F(Dropdowns, ListGeometryWithAndWithoutScrollbar) {
    CDropdown* dd = addDropdown(20);
    int height = 0, rowsWidth = 0, left = 0, top = 0;
    bool scrollbar = false;
    inList([&] {
        height = dd->popup->height;
        rowsWidth = dd->rows->width;
        scrollbar = dd->scrollbar->visible;
        left = dd->popup->x;
        top = dd->popup->y;
    });
    thenEscape();
    dd->drop();
    EXPECT_EQ(height, 128);
    EXPECT_TRUE(scrollbar);
    EXPECT_EQ(rowsWidth, 100 - 16);
    EXPECT_EQ(left, 110);
    EXPECT_EQ(top, 80);
    EXPECT_EQ(dd->popup, nullptr);

    dd->items->clear();
    for (int i = 0; i < 3; i++)
        dd->add("x");
    inList([&] {
        height = dd->popup->height;
        rowsWidth = dd->rows->width;
        scrollbar = dd->scrollbar->visible;
    });
    thenEscape();
    dd->drop();
    EXPECT_EQ(height, 48);
    EXPECT_FALSE(scrollbar);
    EXPECT_EQ(rowsWidth, 100);
    EXPECT_EQ(rec.changes, 0);
}

TEST_F(Dropdowns, ListOpensAboveAControlNearTheScreenBottom) {
    platform->screen = asRect(0, 0, 800, 150);
    CDropdown* dd = addDropdown(3, 60);
    int top = -1;
    inList([&] { top = dd->popup->y; });
    thenEscape();
    dd->drop();
    EXPECT_EQ(top, 50 + 60 - 48);
}

TEST_F(Dropdowns, ClickingARowSelectsItAndEnterKeepsTheSelection) {
    CDropdown* dd = addDropdown(20);
    dd->index = 12;
    int firstVisible = -1;
    inList([&] {
        firstVisible = dd->scrollbar->getPos() / 16;
        EXPECT_EQ(dd->highlight, 12);
        dd->popup->mouseMove(5, 3 * 16 + 2, 0);
        dd->popup->mouseDown(5, 3 * 16 + 2, btnLeft);
    });
    // the release inside the list ends the loop by itself
    inList([&] { dd->popup->mouseUp(5, 3 * 16 + 2, btnLeft); });
    // the press that opens the list comes through the window, as a user's would
    CPoint p = win.controlPos(dd);
    win.mouseDown(p.x + 5, p.y + 5, btnLeft);
    EXPECT_EQ(firstVisible, 5);
    EXPECT_EQ(dd->index, 5 + 3);
    EXPECT_EQ(rec.changes, 1);
    EXPECT_EQ(win.mouseCtrl, nullptr);

    platform->menuScript.push_back([&] {
        dd->popup->keyDown(keyEnter, 0);
        return menuEventDispatched;
    });
    thenEscape();
    dd->drop();
    EXPECT_EQ(dd->index, 8);
    EXPECT_EQ(rec.changes, 1);
    EXPECT_EQ(platform->menuScript.size(), 1u);
}

TEST_F(Dropdowns, ListKeysAndWheelMoveTheHighlight) {
    CDropdown* dd = addDropdown(20);
    std::vector<int> seen;
    inList([&] {
        CWin* list = dd->popup;
        list->keyDown(keyArrowDown, 0);
        seen.push_back(dd->highlight);
        list->keyDown(keyPageDown, 0);
        seen.push_back(dd->highlight);
        list->keyDown(keyEnd, 0);
        seen.push_back(dd->highlight);
        seen.push_back(dd->scrollbar->getPos());
        list->mouseWheel(5, 5, 0, 0, 1);
        seen.push_back(dd->highlight);
        seen.push_back(platform->pointer.y);
        list->keyDown(keyHome, 0);
        seen.push_back(dd->highlight);
        list->keyDown(keyArrowUp, 0);
        seen.push_back(dd->highlight);
    });
    thenEscape();
    dd->drop();
    EXPECT_EQ(seen, (std::vector<int>{1, 9, 19, 192, 18, 80 + 18 * 16 + 8 - 192, 0, 0}));
    EXPECT_EQ(dd->index, 0);
    EXPECT_EQ(rec.changes, 0);
}

TEST_F(Dropdowns, StepArrowsClampAndTheWheelNeedsTheCommandModifier) {
    CDropdown* dd = addDropdown(3);
    dd->arrowMode = arrowSteps;
    dd->mouseDown(90, 5, btnLeft);
    EXPECT_EQ(platform->menuWaits, 0);
    dd->mouseUp(80, 5, btnLeft);
    EXPECT_EQ(dd->index, 0);
    EXPECT_EQ(rec.changes, 0);
    dd->mouseUp(81, 5, btnLeft);
    dd->mouseUp(99, 5, btnLeft);
    dd->mouseUp(99, 5, btnLeft);
    EXPECT_EQ(dd->index, 2);
    EXPECT_EQ(rec.changes, 2);
    dd->mouseUp(80, 5, btnLeft);
    EXPECT_EQ(dd->index, 1);

    EXPECT_FALSE(dd->mouseWheel(0, 0, 0, 0, 1));
    EXPECT_TRUE(dd->mouseWheel(0, 0, modCommand, 0, 1));
    EXPECT_EQ(dd->index, 0);
    EXPECT_TRUE(dd->mouseWheel(0, 0, modCommand, 0, 3));
    EXPECT_EQ(dd->index, 0);
    EXPECT_TRUE(dd->mouseWheel(0, 0, modCommand, 0, -1));
    EXPECT_EQ(dd->index, 1);
    EXPECT_EQ(rec.changes, 5);
}

TEST_F(Dropdowns, EmptyListAcceptsNoEntry) {
    CDropdown* dd = addDropdown(0);
    inList([&] {
        EXPECT_EQ(dd->popup->height, 16);
        dd->popup->mouseDown(5, 5, btnLeft);
        EXPECT_EQ(dd->highlight, -1);
        dd->popup->mouseUp(5, 5, btnLeft);
    });
    dd->drop();
    EXPECT_EQ(dd->index, -1);
    EXPECT_EQ(rec.changes, 1);
    EXPECT_EQ(dd->defaultText(), CStr());
}
