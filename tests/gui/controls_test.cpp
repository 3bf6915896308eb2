#include "gui/dropdown.h"
#include "gui/scrollbar.h"
#include "gui_fixture.h"

namespace {
struct Recorder {
    void change(CObject*) { changes++; }
    int changes = 0;
};
} // namespace

using Scrollbars = GuiTest;

TEST_F(Scrollbars, RangeThumbDragAndClamping) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 200, 400);
    Recorder rec;
    CScrollbar* bar = new CScrollbar(&win);
    bar->setBounds(0, 0, 16, 128);
    bar->onChange = new _COnChange<Recorder>(&rec, &Recorder::change);
    win.addControl(bar);
    bar->setRange(320, 128);
    EXPECT_EQ(bar->max, 192);
    EXPECT_EQ(bar->thumbSize, 38);
    bar->setPos(-5);
    EXPECT_EQ(bar->getPos(), 0);
    bar->setPos(1000);
    EXPECT_EQ(bar->getPos(), 192);
    EXPECT_EQ(bar->thumbPos, 74);
    EXPECT_EQ(rec.changes, 0);

    // dragging the thumb past the end stops at the last position
    bar->setPos(0);
    win.show(false);
    win.mouseDown(5, 20, btnLeft);
    win.mouseMove(5, 60, btnLeft);
    EXPECT_EQ(bar->thumbPos, 56);
    EXPECT_EQ(bar->getPos(), asRound(192.0 * 40 / 58));
    win.mouseMove(5, 500, btnLeft);
    EXPECT_EQ(bar->getPos(), 192);
    win.mouseUp(5, 500, btnLeft);
    EXPECT_FALSE(bar->dragging);
    EXPECT_EQ(rec.changes, 2);

    bar->setRange(10000, 10);
    EXPECT_EQ(bar->thumbSize, 16);
    // content that fits: nothing to scroll
    bar->setRange(100, 200);
    EXPECT_EQ(bar->max, 0);
    EXPECT_EQ(bar->getPos(), 0);
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
    struct ListShape {
        int x, y, height, rowsWidth;
        bool scrollbar;
    };
    /// Opens the list, notes its shape and closes it with Escape.
    ListShape shapeOfList(CDropdown* dd) {
        ListShape shape{};
        inList([&] {
            shape = {dd->popup->x, dd->popup->y, dd->popup->height, dd->rows->width,
                     dd->scrollbar->visible};
        });
        thenEscape();
        dd->drop();
        EXPECT_EQ(dd->popup, nullptr);
        EXPECT_EQ(rec.changes, 0);
        return shape;
    }
    CWin win{&app, nullptr, wsNoBorder, "", 100, 50, 300, 200};
    Recorder rec;
};

TEST_F(Dropdowns, LongListOpensBelowWithAScrollbar) {
    ListShape list = shapeOfList(addDropdown(20));
    EXPECT_EQ(list.x, 110);
    EXPECT_EQ(list.y, 80);
    EXPECT_EQ(list.height, 128);
    EXPECT_TRUE(list.scrollbar);
    EXPECT_EQ(list.rowsWidth, 100 - 16);
}

TEST_F(Dropdowns, ShortListNearTheScreenBottomOpensAboveWithoutAScrollbar) {
    platform->screen = asRect(0, 0, 800, 150);
    ListShape list = shapeOfList(addDropdown(3, 60));
    EXPECT_EQ(list.y, 50 + 60 - 48);
    EXPECT_EQ(list.height, 48);
    EXPECT_FALSE(list.scrollbar);
    EXPECT_EQ(list.rowsWidth, 100);
}

// Where a click on a row goes is the X11 test's. The list opens scrolled to the selection, keys
// and the wheel move the highlight, and Enter takes it and ends the loop.
TEST_F(Dropdowns, ListKeysAndWheelMoveTheHighlightAndEnterTakesIt) {
    CDropdown* dd = addDropdown(20);
    dd->index = 12;
    std::vector<int> seen;
    inList([&] {
        CWin* list = dd->popup;
        seen.push_back(dd->scrollbar->getPos() / 16);
        seen.push_back(dd->highlight);
        for (int key : {keyHome, keyArrowDown, keyPageDown, keyEnd}) {
            list->keyDown(key, 0);
            seen.push_back(dd->highlight);
        }
        seen.push_back(dd->scrollbar->getPos());
        list->mouseWheel(5, 5, 0, 0, 1);
        seen.push_back(dd->highlight);
        seen.push_back(platform->pointer.y);
        for (int key : {keyHome, keyArrowUp, keyArrowDown, keyEnter}) {
            list->keyDown(key, 0);
            seen.push_back(dd->highlight);
        }
    });
    thenEscape();
    dd->drop();
    EXPECT_EQ(seen,
              (std::vector<int>{5, 12, 0, 1, 9, 19, 192, 18, 80 + 18 * 16 + 8 - 192, 0, 0, 1, 1}));
    EXPECT_EQ(dd->index, 1);
    EXPECT_EQ(rec.changes, 1);
    EXPECT_EQ(platform->menuScript.size(), 1u);
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

TEST_F(Dropdowns, PressOutsideClosesTheListUnchanged) {
    CDropdown* dd = addDropdown(3);
    platform->menuScript.push_back([] { return menuEventOutsidePress; });
    platform->menuScript.push_back([] { return menuEventDispatched; });
    dd->drop();
    EXPECT_EQ(platform->menuScript.size(), 1u);
    EXPECT_EQ(dd->popup, nullptr);
    EXPECT_EQ(app.activeMenu, nullptr);
    EXPECT_EQ(app.menus->getCount(), 0);
    EXPECT_EQ(rec.changes, 0);
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
