#include "gui/button.h"
#include "gui/pluginwin.h"
#include "gui_fixture.h"

// The plug-in's windows are the borderless embedded editor and the dropdown's borderless list;
// captions, frames and resizing of other window styles are not tested.
using WinHitCodes = GuiTest;

TEST_F(WinHitCodes, BorderlessWindowHasItsClientGroupAtTheOrigin) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 120, 80);
    win.show(false);
    EXPECT_EQ(win.clientGroup->x, 0);
    EXPECT_EQ(win.clientGroup->y, 0);
    EXPECT_EQ(win.clientGroup->width, 120);
    EXPECT_EQ(win.clientGroup->height, 80);
}

using WinMouse = GuiTest;

TEST_F(WinMouse, PressGoesToTheControlUnderThePointerAndItKeepsMovesAndRelease) {
    CWin win(&app, nullptr, 0, "", 0, 0, 200, 200);
    EventLog log;
    addProbe(&win, &log, "a", 10, 10, 50, 50);
    addProbe(&win, &log, "b", 100, 10, 50, 50);
    win.show(false);
    // window coordinates include the 3-pixel border
    win.mouseDown(20, 20, btnLeft);
    win.mouseMove(120, 20, btnLeft);
    win.mouseUp(120, 20, btnLeft);
    win.mouseMove(120, 20, 0);
    EXPECT_EQ(log, (EventLog{"a down 7,7 1", "a move 107,7 1", "a up 107,7 1", "b move 17,7 0"}));
    EXPECT_EQ(win.mouseCtrl, nullptr);
}

TEST_F(WinMouse, ModalControlSwallowsPressesOnOtherControls) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 200, 200);
    EventLog log;
    CProbe* a = addProbe(&win, &log, "a", 0, 0, 50, 50);
    addProbe(&win, &log, "b", 100, 0, 50, 50);
    app.modalCtrl = a;
    win.mouseDown(110, 10, btnLeft);
    win.mouseUp(110, 10, btnLeft);
    win.mouseDown(10, 10, btnLeft);
    EXPECT_EQ(log, (EventLog{"a down 10,10 1"}));
}

TEST_F(WinMouse, ControlPosAddsEveryAncestorWithItsScroll) {
    CWin win(&app, nullptr, 0, "", 50, 50, 200, 200);
    CGroup* outer = new CGroup(&win);
    outer->setBounds(10, 20, 150, 150);
    outer->scrollY = 5;
    win.addControl(outer);
    CCtrl* inner = new CCtrl(&win);
    inner->setBounds(7, 30, 10, 10);
    outer->addControl(inner);
    CPoint p = win.controlPos(inner);
    EXPECT_EQ(p.x, borderSize + 10 + 7);
    EXPECT_EQ(p.y, borderSize + 20 - 5 + 30);
}

using WinKeys = GuiTest;

struct KeyHandlers {
    bool app(CObject*, int&, int) { return note("app"); }
    bool win(CObject*, int&, int) { return note("win"); }
    bool ctrl(CObject*, int&, int) { return note("ctrl"); }
    bool note(const std::string& who) {
        log->push_back(who);
        return who == stopAt;
    }
    EventLog* log;
    std::string stopAt;
};

TEST_F(WinKeys, HandlersRunInOrderUntilOneTakesTheKey) {
    EventLog log;
    KeyHandlers handlers{&log, ""};
    app.onKey = new _COnKey<KeyHandlers>(&handlers, &KeyHandlers::app);
    CWin win(&app, nullptr, wsEscapeHides, "", 0, 0, 100, 100);
    win.onKey = new _COnKey<KeyHandlers>(&handlers, &KeyHandlers::win);
    win.CCtrl::onKey = new _COnKey<KeyHandlers>(&handlers, &KeyHandlers::ctrl);
    CProbe* focus = addProbe(&win, &log, "focus", 0, 0, 10, 10);
    win.show(false);
    win.setFocus(true);
    win.setKeyCtrl(focus);

    EXPECT_FALSE(win.keyDown('q', 0));
    EXPECT_EQ(log, (EventLog{"app", "win", "focus key 113", "ctrl"}));

    log.clear();
    focus->handlesKeys = true;
    EXPECT_TRUE(win.keyDown('q', 0));
    EXPECT_EQ(log, (EventLog{"app", "win", "focus key 113"}));

    log.clear();
    handlers.stopAt = "app";
    EXPECT_TRUE(win.keyDown('q', 0));
    EXPECT_EQ(log, (EventLog{"app"}));

    // without the focus the key control is passed by; Escape then hides nothing
    log.clear();
    handlers.stopAt = "";
    win.setFocus(false);
    EXPECT_FALSE(win.keyDown(keyEscape, 0));
    EXPECT_TRUE(win.visible);
    win.setFocus(true);
    focus->handlesKeys = false;
    EXPECT_TRUE(win.keyDown(keyEscape, 0));
    EXPECT_FALSE(win.visible);
}

TEST_F(WinKeys, TabMovesTheFocusToTheNextTabStop) {
    CWin win(&app, nullptr, 0, "", 0, 0, 100, 100);
    EventLog log;
    CProbe* a = addProbe(&win, &log, "a", 0, 0, 10, 10);
    addProbe(&win, &log, "b", 0, 0, 10, 10);
    CProbe* c = addProbe(&win, &log, "c", 0, 0, 10, 10);
    EXPECT_FALSE(win.nextCtrl());
    a->tabStop = true;
    win.setKeyCtrl(a);
    EXPECT_FALSE(win.nextCtrl());
    EXPECT_EQ(win.keyCtrl, a);
    c->tabStop = true;
    win.setFocus(true);
    EXPECT_TRUE(win.keyDown(keyTab, 0));
    EXPECT_EQ(win.keyCtrl, c);
    EXPECT_TRUE(win.nextCtrl());
    EXPECT_EQ(win.keyCtrl, a);
}

TEST_F(WinKeys, UnhandledKeysOfAChildGoToItsParentUnlessItRefuses) {
    EventLog log;
    KeyHandlers handlers{&log, "win"};
    CWin parentWin(&app, nullptr, 0, "", 0, 0, 100, 100);
    parentWin.onKey = new _COnKey<KeyHandlers>(&handlers, &KeyHandlers::win);
    CWin child(&app, &parentWin, wsChild | wsKeysToParent, "", 0, 0, 50, 50);
    EXPECT_EQ(parentWin.childWindows->getCount(), 1);
    EXPECT_TRUE(child.keyDown('x', 0));
    parentWin.style |= wsRefuseChildKeys;
    EXPECT_FALSE(child.keyDown('x', 0));
    EXPECT_EQ(log.size(), 1u);
}

using WinMenus = GuiTest;

TEST_F(WinMenus, PressOutsideClosesEveryMenuAndEndsTheLoop) {
    CWin* outer = new CWin(&app, nullptr, wsFloating, "", 0, 0, 50, 50);
    CWin* inner = new CWin(&app, nullptr, wsFloating, "", 60, 0, 50, 50);
    outer->deleteOnClose = true;
    EventLog log;
    CProbe* ticker = addProbe(outer, &log, "t", 0, 0, 5, 5);
    app.addTimer(ticker, 10, true);
    platform->menuScript.push_back([&] {
        inner->showMenu(); // a nested menu joins the running loop
        return menuEventDispatched;
    });
    platform->menuScript.push_back([] { return menuEventDispatched; });
    platform->menuScript.push_back([] { return menuEventOutsidePress; });
    platform->menuScript.push_back([] { return menuEventDispatched; });
    outer->showMenu();
    EXPECT_FALSE(app.hasWin(outer));
    EXPECT_FALSE(inner->visible);
    EXPECT_EQ(app.menus->getCount(), 0);
    EXPECT_EQ(app.activeMenu, nullptr);
    // the loop ticked once after each dispatched event
    EXPECT_EQ(log, (EventLog{"t timer", "t timer"}));
    EXPECT_EQ(platform->menuScript.size(), 1u);
    delete inner;
}

TEST_F(WinMenus, EscapeEndsTheLoopAndKeepsTheMenu) {
    CWin menu(&app, nullptr, wsFloating, "", 0, 0, 50, 50);
    platform->menuScript.push_back([] { return menuEventEscape; });
    platform->menuScript.push_back([] { return menuEventDispatched; });
    menu.showMenu();
    EXPECT_EQ(platform->menuWaits, 1);
    EXPECT_TRUE(menu.visible);
    EXPECT_EQ(app.activeMenu, &menu);
    app.killMenu(nullptr);
    EXPECT_FALSE(menu.visible);
    EXPECT_EQ(app.activeMenu, nullptr);
}

using PluginWindow = GuiTest;

TEST_F(PluginWindow, ViewOnlyWithAParentAndWholeWindowInvalidation) {
    CPluginWin win(&app, 304, 160);
    EXPECT_EQ(win.style, wsEmbedded | wsNoBorder);
    win.reparent(0);
    EXPECT_FALSE(win.hasView());
    win.redraw();
    EXPECT_EQ(platform->invalidations[&win], 0);
    EXPECT_FALSE(win.hasStyle(wsChild));

    win.reparent(77);
    EXPECT_TRUE(win.hasView());
    EXPECT_TRUE(win.hasStyle(wsChild));
    win.redrawRect(asRect(5, 5, 6, 6));
    EXPECT_EQ(platform->invalidations[&win], 1);
    EXPECT_EQ(win.clientGroup->width, 304);
}
