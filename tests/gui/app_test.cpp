#include "graphics/bitmap.h"
#include "gui_fixture.h"

using AppTimers = GuiTest;

TEST_F(AppTimers, OneShotFiresOnThirdTickAndLeavesTheListFirst) {
    CWin win(&app, nullptr, 0, "", 0, 0, 100, 100);
    EventLog log;
    CProbe* probe = addProbe(&win, &log, "a", 0, 0, 10, 10);
    app.addTimer(probe, 25, false);
    app.idle();
    app.idle();
    EXPECT_TRUE(log.empty());
    app.idle();
    EXPECT_EQ(log, EventLog{"a timer"});
    EXPECT_FALSE(probe->firedWhileListed);
    app.idle();
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(AppTimers, RepeatingTimerFiresEverySecondTickAndRestartsOnReAdd) {
    CWin win(&app, nullptr, 0, "", 0, 0, 100, 100);
    EventLog log;
    CProbe* probe = addProbe(&win, &log, "r", 0, 0, 10, 10);
    app.addTimer(probe, 20, true);
    std::vector<int> firedAt;
    for (int tick = 1; tick <= 6; tick++) {
        size_t before = log.size();
        app.idle();
        if (log.size() > before) firedAt.push_back(tick);
    }
    EXPECT_EQ(firedAt, (std::vector<int>{2, 4, 6}));
    EXPECT_TRUE(probe->firedWhileListed);

    app.addTimer(probe, 50, true);
    EXPECT_EQ(app.timers->getCount(), 1);
    log.clear();
    for (int tick = 0; tick < 4; tick++)
        app.idle();
    EXPECT_TRUE(log.empty());
    app.idle();
    EXPECT_EQ(log.size(), 1u);
}

// A timer handler that deletes another control with a running timer must not make the tick
// call into freed memory.
class CKiller : public CCtrl {
public:
    using CCtrl::CCtrl;
    void onTimer() override { delete victim; }
    CCtrl* victim = nullptr;
};

TEST_F(AppTimers, HandlerDeletingAnotherTimedControlIsSafe) {
    CWin win(&app, nullptr, 0, "", 0, 0, 100, 100);
    EventLog log;
    CKiller* killer = new CKiller(&win);
    win.addControl(killer);
    CProbe* victim = addProbe(&win, &log, "v", 0, 0, 10, 10);
    killer->victim = victim;
    app.addTimer(killer, 10, false);
    app.addTimer(victim, 10, false);
    app.idle();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(app.timers->getCount(), 0);
    EXPECT_EQ(win.clientGroup->count(), 1);
}

using AppDrawing = GuiTest;

TEST_F(AppDrawing, DirectOrEmptyRequestsDrawNothing) {
    CWin win(&app, nullptr, 0, "", 0, 0, 100, 100);
    CGraphic* g = nullptr;
    EXPECT_FALSE(app.startDraw(&win, &g, asRect(0, 0, 0, 50), false));
    EXPECT_FALSE(app.startDraw(&win, &g, asRect(0, 20, 50, 20), false));
    EXPECT_EQ(platform->invalidations[&win], 0);
    EXPECT_FALSE(app.startDraw(&win, &g, asRect(0, 0, 50, 50), true));
    EXPECT_EQ(platform->invalidations[&win], 1);
    EXPECT_EQ(app.backBuffer, nullptr);
}

using AppHover = GuiTest;

TEST_F(AppHover, MovingOntoAControlWithoutHoverEndsTheOldHover) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 100, 100);
    EventLog log;
    CProbe* hot = addProbe(&win, &log, "hot", 0, 0, 50, 50);
    hot->wantsHover = true;
    addProbe(&win, &log, "plain", 50, 0, 50, 50);
    win.show(false);
    win.mouseMove(10, 10, 0);
    EXPECT_EQ(app.hoverCtrl, hot);
    win.mouseMove(60, 10, 0);
    EXPECT_EQ(app.hoverCtrl, nullptr);
    EXPECT_EQ(log, (EventLog{"hot move 10,10 0", "hot over", "plain move 10,10 0", "hot out"}));
}

TEST_F(AppHover, HintDelegateOnlyRunsWithAMainWindowAndNoMenu) {
    struct Hints {
        void seen(CObject* c) { last = c; }
        CObject* last = nullptr;
    } hints;
    app.onHint = new _COnChange<Hints>(&hints, &Hints::seen);
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 100, 100);
    EventLog log;
    CProbe* probe = addProbe(&win, &log, "p", 0, 0, 50, 50);
    win.mouseMove(10, 10, 0);
    EXPECT_EQ(hints.last, nullptr);
    app.run(&win);
    win.mouseMove(60, 60, 0);
    win.mouseMove(10, 10, 0);
    EXPECT_EQ(hints.last, probe);
}

// Deleting a control that the framework holds in any role leaves no reference behind.
using Lifetime = GuiTest;

TEST_F(Lifetime, DeletedControlIsForgottenEverywhere) {
    CWin win(&app, nullptr, wsNoBorder, "", 0, 0, 100, 100);
    EventLog log;
    CProbe* probe = addProbe(&win, &log, "p", 0, 0, 50, 50);
    probe->wantsHover = true;
    win.show(false);
    win.mouseMove(5, 5, 0);
    win.mouseDown(5, 5, btnLeft);
    win.setKeyCtrl(probe);
    app.modalCtrl = probe;
    app.addTimer(probe, 10, true);
    app.startDrag(probe);
    dragOverCtrl = probe;
    ASSERT_EQ(win.mouseCtrl, probe);
    ASSERT_EQ(app.hoverCtrl, probe);

    delete probe;
    EXPECT_EQ(win.mouseCtrl, nullptr);
    EXPECT_EQ(win.keyCtrl, nullptr);
    EXPECT_EQ(app.hoverCtrl, nullptr);
    EXPECT_EQ(app.hintCtrl, nullptr);
    EXPECT_EQ(app.modalCtrl, nullptr);
    EXPECT_EQ(dragCtrl, nullptr);
    EXPECT_EQ(dragOverCtrl, nullptr);
    EXPECT_EQ(app.timers->getCount(), 0);
    EXPECT_EQ(win.clientGroup->count(), 0);
    // events after the deletion find nothing to deliver to
    win.mouseMove(6, 6, btnLeft);
    win.mouseUp(6, 6, btnLeft);
    app.idle();
    app.endDrag();
    EXPECT_EQ(log, (EventLog{"p move 5,5 0", "p over", "p down 5,5 1"}));
}

TEST_F(Lifetime, DeletedWindowLeavesEveryApplicationList) {
    CWin* menu = new CWin(&app, nullptr, wsFloating, "", 0, 0, 50, 50);
    CWin* main = new CWin(&app, nullptr, 0, "", 0, 0, 50, 50);
    app.run(main);
    menu->showMenu();
    ASSERT_EQ(app.activeMenu, menu);
    delete menu;
    EXPECT_EQ(app.activeMenu, nullptr);
    EXPECT_EQ(app.menus->getCount(), 0);
    delete main;
    EXPECT_EQ(app.mainWin, nullptr);
    EXPECT_EQ(app.windows->getCount(), 0);
    EXPECT_EQ(app.visibleWindows.getCount(), 0);
}

TEST_F(Lifetime, ClickHandlerThatDeletesItsWindowEndsTheReleaseSafely) {
    struct Closer {
        void click(CObject*) { delete win; }
        CWin* win = nullptr;
    } closer;
    closer.win = new CWin(&app, nullptr, wsNoBorder, "", 0, 0, 100, 100);
    CCtrl* button = new CCtrl(closer.win);
    button->setBounds(0, 0, 50, 50);
    struct Upper {
        void up(CObject*, int, int, int) { owner->click(nullptr); }
        Closer* owner;
    } upper{&closer};
    button->onMouseUp = new _COnMouse<Upper>(&upper, &Upper::up);
    closer.win->addControl(button);
    closer.win->mouseDown(5, 5, btnLeft);
    closer.win->mouseUp(5, 5, btnLeft);
    EXPECT_FALSE(app.hasWin(closer.win));
}

TEST_F(Lifetime, ScreenFunctionsFollowTheNewestLiveApplication) {
    platform->screen = asRect(0, 0, 800, 600);
    EXPECT_EQ(screenWidth(), 800);
    CHeadlessPlatform* second = new CHeadlessPlatform;
    second->screen = asRect(0, 0, 1280, 1024);
    {
        CApp other(second);
        EXPECT_EQ(screenWidth(), 1280);
        EXPECT_EQ(screenRect().bottom, 1024);
    }
    EXPECT_EQ(screenHeight(), 600);
}
