// The toolkit under a real X server, in a host window as a VST host makes one, with real pointer
// events from the XTest extension: what the X platform adds to the headless toolkit, that is
// embedding, a click, the dropdown's pop-up list, the clipboard and a bad parent window.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <functional>

#include "foundation/os.h"
#include "gui/app.h"
#include "gui/button.h"
#include "gui/dropdown.h"
#include "gui/edit.h"
#include "gui/pluginwin.h"
#include "platform/x11/x11_platform.h"

namespace {
/// Generous bound for X round trips; the checks wait on conditions, never on time.
constexpr int waitLimitMs = 5000;

struct Counter {
    void hit(CObject*) { count++; }
    int count = 0;
};

/// A control whose timer runs a test step once, while the dropdown's list is open: the menu
/// loop keeps ticking.
class CListStep : public CCtrl {
public:
    CListStep(CWin* w, CDropdown* dd) : CCtrl(w), dropdown(dd) {}
    void onTimer() override {
        if (!step || !dropdown->popup || !dropdown->popup->visible) return;
        step();
        step = nullptr;
    }
    CDropdown* dropdown;
    std::function<void()> step;
};

int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) {
    hostErrors++;
    return 0;
}
} // namespace

class X11Editor : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        host = XOpenDisplay(nullptr);
        ASSERT_NE(host, nullptr);
        hostWin = XCreateSimpleWindow(host, DefaultRootWindow(host), 40, 30, 400, 300, 0, 0,
                                      WhitePixel(host, DefaultScreen(host)));
        XMapWindow(host, hostWin);
        XSync(host, False);

        platform = new CX11Platform;
        app = new CApp(platform);
        win = new CPluginWin(app, 304, 160);
        button = new CButton(win);
        button->setBounds(10, 10, 80, 24);
        button->onChange = new _COnChange<Counter>(&clicks, &Counter::hit);
        win->addControl(button);
        dropdown = new CDropdown(win);
        dropdown->setBounds(10, 50, 120, 20);
        for (const char* name : {"alpha", "beta", "gamma", "delta", "epsilon"})
            dropdown->add(name);
        dropdown->onChange = new _COnChange<Counter>(&picks, &Counter::hit);
        win->addControl(dropdown);
        stepper = new CListStep(win, dropdown);
        win->addControl(stepper);
        win->reparent(long(hostWin));
        win->show(false);
        ASSERT_TRUE(pumpUntil([&] { return platform->paintCount() > 0; }));
    }

    void TearDown() override {
        delete win;
        delete app;
        if (host) {
            XDestroyWindow(host, hostWin);
            XCloseDisplay(host);
        }
    }

    bool pumpUntil(const std::function<bool()>& done) {
        for (int waited = 0; waited < waitLimitMs; waited += 5) {
            app->processEvents();
            if (done()) return true;
            asSleep(5);
        }
        return false;
    }

    CPoint screenOf(CCtrl* c, int dx, int dy) {
        CPoint wp = win->getPos(false);
        CPoint cp = win->controlPos(c);
        return asPoint(wp.x + cp.x + dx, wp.y + cp.y + dy);
    }

    void pointerTo(CPoint p) { XTestFakeMotionEvent(host, -1, p.x, p.y, CurrentTime); }
    void button1(bool down) { XTestFakeButtonEvent(host, 1, down ? True : False, CurrentTime); }
    void click(CPoint p) {
        pointerTo(p);
        button1(true);
        button1(false);
        XFlush(host);
    }

    Display* host = nullptr;
    Window hostWin = 0;
    CX11Platform* platform = nullptr;
    CApp* app = nullptr;
    CPluginWin* win = nullptr;
    CButton* button = nullptr;
    CDropdown* dropdown = nullptr;
    CListStep* stepper = nullptr;
    Counter clicks;
    Counter picks;
};

TEST_F(X11Editor, EmbedsAsAChildOfTheHostWindow) {
    Window xid = platform->windowId(win);
    ASSERT_NE(xid, 0u);
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(host, xid, &root, &parent, &children, &count));
    if (children) XFree(children);
    EXPECT_EQ(parent, hostWin);
    XWindowAttributes attr;
    ASSERT_TRUE(XGetWindowAttributes(host, xid, &attr));
    EXPECT_EQ(attr.width, 304);
    EXPECT_EQ(attr.height, 160);
    EXPECT_EQ(attr.map_state, IsViewable);
}

TEST_F(X11Editor, ClickOnTheButtonFiresItOnce) {
    click(screenOf(button, 40, 12));
    ASSERT_TRUE(pumpUntil([&] { return clicks.count == 1; }));
    // a press outside the button and a release on it is no click
    pointerTo(screenOf(button, 150, 12));
    button1(true);
    pointerTo(screenOf(button, 40, 12));
    button1(false);
    click(screenOf(button, 5, 5));
    ASSERT_TRUE(pumpUntil([&] { return clicks.count == 2; }));
    EXPECT_EQ(win->mouseCtrl, nullptr);
}

TEST_F(X11Editor, DropdownListOpensTakesARowClickAndCloses) {
    stepper->step = [&] {
        CPoint lp = dropdown->popup->getPos(false);
        click(asPoint(lp.x + 20, lp.y + 2 * 16 + 8));
    };
    app->addTimer(stepper, 10, true);
    click(screenOf(dropdown, 60, 10));
    ASSERT_TRUE(pumpUntil([&] { return picks.count == 1; }));
    app->killTimer(stepper);
    EXPECT_EQ(dropdown->index, 2);
    EXPECT_EQ(dropdown->popup, nullptr);
    EXPECT_EQ(app->menus->getCount(), 0);
    EXPECT_EQ(win->mouseCtrl, nullptr);
}

TEST_F(X11Editor, ClipboardRoundTripsThroughTheSelection) {
    CEdit* edit = new CEdit(win);
    win->addControl(edit);
    edit->copyText("shared text");
    EXPECT_EQ(edit->pasteText(), CStr("shared text"));

    // a second client reads the selection that the toolkit owns
    Atom clipboard = XInternAtom(host, "CLIPBOARD", False);
    Atom utf8 = XInternAtom(host, "UTF8_STRING", False);
    Atom property = XInternAtom(host, "TEST_PASTE", False);
    XConvertSelection(host, clipboard, utf8, property, hostWin, CurrentTime);
    XFlush(host);
    XEvent reply;
    bool answered = pumpUntil(
        [&] { return XCheckTypedWindowEvent(host, hostWin, SelectionNotify, &reply) == True; });
    ASSERT_TRUE(answered);
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(host, hostWin, property, 0, 1024, True, AnyPropertyType, &type,
                                 &format, &count, &remaining, &data),
              Success);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), "shared text");
    XFree(data);
}

// Without a display the window has no view either: the editor test opens the plug-in's editor
// that way.
TEST(X11Failures, BadParentLeavesTheWindowWithoutAView) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    Display* host = XOpenDisplay(nullptr);
    ASSERT_NE(host, nullptr);
    XErrorHandler before = XSetErrorHandler(countHostError);
    CX11Platform* platform = new CX11Platform;
    {
        CApp app(platform);
        CPluginWin win(&app, 100, 80);
        win.reparent(0x3ffffff);
        EXPECT_FALSE(win.hasView());
        win.redraw();
        app.processEvents();
        EXPECT_EQ(platform->paintCount(), 0);
        // errors on the host's own connection still reach the host's handler
        XWindowAttributes attr;
        XGetWindowAttributes(host, 0x3ffffff, &attr);
        XSync(host, False);
        EXPECT_EQ(hostErrors, 1);
    }
    XSetErrorHandler(before);
    XCloseDisplay(host);
}
