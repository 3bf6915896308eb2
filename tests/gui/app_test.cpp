#include "gui_fixture.h"

using AppTimers = GuiTest;

// A timer handler that deletes another control with a running timer.
class CKiller : public CCtrl {
public:
    using CCtrl::CCtrl;
    void onTimer() override { delete victim; }
    CCtrl* victim = nullptr;
};

// The tick is 10 ms: a 25 ms one-shot fires on the third tick and leaves the list before its
// handler runs; a 20 ms repeating timer fires every second tick until it is added anew. A
// handler that deletes another timed control does not make the tick call into freed memory.
TEST_F(AppTimers, OneShotRepeatingReAddedAndDeletedByAnotherHandler) {
    CWin win(&app, nullptr, 0, "", 0, 0, 100, 100);
    EventLog log;
    CProbe* once = addProbe(&win, &log, "once", 0, 0, 10, 10);
    CProbe* again = addProbe(&win, &log, "again", 0, 0, 10, 10);
    app.addTimer(once, 25, false);
    app.addTimer(again, 20, true);
    for (int tick = 1; tick <= 6; tick++)
        app.idle();
    EXPECT_EQ(log, (EventLog{"again timer", "once timer", "again timer", "again timer"}));
    EXPECT_FALSE(once->firedWhileListed);
    EXPECT_TRUE(again->firedWhileListed);

    app.addTimer(again, 50, true);
    EXPECT_EQ(app.timers->getCount(), 1);
    log.clear();
    for (int tick = 0; tick < 4; tick++)
        app.idle();
    EXPECT_TRUE(log.empty());
    app.idle();
    EXPECT_EQ(log.size(), 1u);

    CKiller* killer = new CKiller(&win);
    win.addControl(killer);
    killer->victim = again;
    app.addTimer(killer, 10, false);
    app.addTimer(again, 10, false);
    log.clear();
    app.idle();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(app.timers->getCount(), 0);
    EXPECT_EQ(win.clientGroup->count(), 2);
}

// Moving onto a control without hover ends the old hover. Deleting a control that the
// framework holds in any role leaves no reference behind.
using Lifetime = GuiTest;

TEST_F(Lifetime, HoverEndsAndADeletedControlIsForgottenEverywhere) {
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
    win.mouseMove(5, 5, 0);
    win.mouseDown(5, 5, btnLeft);
    win.setKeyCtrl(hot);
    app.addTimer(hot, 10, true);
    ASSERT_EQ(win.mouseCtrl, hot);
    ASSERT_EQ(app.hoverCtrl, hot);

    delete hot;
    EXPECT_EQ(win.mouseCtrl, nullptr);
    EXPECT_EQ(win.keyCtrl, nullptr);
    EXPECT_EQ(app.hoverCtrl, nullptr);
    EXPECT_EQ(app.hintCtrl, nullptr);
    EXPECT_EQ(app.timers->getCount(), 0);
    EXPECT_EQ(win.clientGroup->count(), 1);
    // events after the deletion find nothing to deliver to
    win.mouseMove(6, 6, btnLeft);
    win.mouseUp(6, 6, btnLeft);
    app.idle();
    EXPECT_EQ(log, (EventLog{"hot move 10,10 0", "hot over", "plain move 10,10 0", "hot out",
                             "hot move 5,5 0", "hot over", "hot down 5,5 1"}));
}

TEST_F(Lifetime, ScreenFunctionsFollowTheNewestLiveApplication) {
    platform->screen = asRect(0, 0, 800, 600);
    CHeadlessPlatform* second = new CHeadlessPlatform;
    second->screen = asRect(0, 0, 1280, 1024);
    {
        CApp other(second);
        EXPECT_EQ(screenRect().bottom, 1024);
    }
    EXPECT_EQ(screenRect().bottom, 600);
}
