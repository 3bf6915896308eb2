// Shared set-up of the toolkit tests: an application on the headless backend whose timer tick
// does not sleep, and a control that records the events it receives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/app.h"
#include "gui/ctrl.h"
#include "gui/headless.h"
#include "gui/win.h"

class GuiTest : public ::testing::Test {
protected:
    GuiTest() { sleeptime = 0; }
    ~GuiTest() override { sleeptime = 10; }

    CHeadlessPlatform* platform = new CHeadlessPlatform;
    CApp app{platform};
};

using EventLog = std::vector<std::string>;

class CProbe : public CCtrl {
public:
    CProbe(CWin* ownerWin, EventLog* events, const char* probeName)
        : CCtrl(ownerWin), log(events), name(probeName) {}

    void mouseDown(int mx, int my, int b) override { record("down", mx, my, b); }
    void mouseMove(int mx, int my, int b) override { record("move", mx, my, b); }
    bool mouseOver(bool over, int, int) override {
        log->push_back(name + (over ? " over" : " out"));
        return over;
    }
    void onTimer() override {
        log->push_back(name + " timer");
        firedWhileListed = app->timers->indexed(this) >= 0;
    }

    EventLog* log;
    std::string name;
    bool firedWhileListed = false;

private:
    void record(const char* what, int mx, int my, int b) {
        log->push_back(name + " " + what + " " + std::to_string(mx) + "," + std::to_string(my) +
                       " " + std::to_string(b));
    }
};

inline CProbe* addProbe(CWin* win, EventLog* log, const char* name, int left, int top, int w,
                        int h) {
    CProbe* probe = new CProbe(win, log, name);
    probe->setBounds(left, top, w, h);
    win->addControl(probe);
    return probe;
}
