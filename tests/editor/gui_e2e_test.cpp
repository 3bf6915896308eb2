// rwhost gui under a real X server: the real plug-in's editor in a host window (the VST editor
// and the LV2 UI alike), driven by XTest
// pointer events while the host's audio thread runs. rwhost reports the plug-in's state and the
// levels its meters show after every editor idle; the checks wait for conditions in that report,
// never for a time. What the controls change is the editor test's; here the whole path from a
// click to sound.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "pluginformats.h"
#include "testinstall.h"

namespace {
/// One line of rwhost's report: "idle N device D sync S map ROWS peaks P0 ... P7".
struct State {
    int idle = -1;
    int device = -2;
    float firstPeak = -1;
};

/// Polls until done() holds, within a generous bound only a failing run ever reaches.
bool eventually(const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
} // namespace

class RwhostGui : public ::testing::TestWithParam<PluginFormat> {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        library.addBundle(0, "ReWire.bundle");
        reportPath = library.root() + "/report.txt";
    }

    // rwhost gui ends cleanly on SIGTERM.
    void TearDown() override {
        if (child > 0) {
            kill(child, SIGTERM);
            int status = 0;
            if (!eventually([&] { return waitpid(child, &status, WNOHANG) == child; })) {
                ADD_FAILURE() << "rwhost gui did not end on SIGTERM";
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
            } else if (!HasFailure()) {
                EXPECT_TRUE(WIFEXITED(status));
                EXPECT_EQ(WEXITSTATUS(status), 0);
            }
        }
        if (display) XCloseDisplay(display);
    }

    /// Starts rwhost gui on the plug-in and waits for its first idle.
    void start() {
        std::vector<std::string> args = {RWHOST_PATH, "gui", GetParam().plugin, "--report",
                                         reportPath};
        child = fork();
        if (child == 0) {
            // Leak checks in sanitizer builds leave out fontconfig's own caches.
            setenv("LSAN_OPTIONS", "suppressions=" RWB_LSAN_SUPPRESSIONS, 1);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_GT(child, 0);
        ASSERT_TRUE(waitFor([&](const State& s) { return s.idle >= 1; }));
        std::ifstream in(reportPath);
        std::string word;
        in >> word >> std::hex >> window;
        ASSERT_EQ(word, "window");
        Window unused;
        ASSERT_TRUE(XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0,
                                          &originX, &originY, &unused));
    }

    /// Waits until the newest complete line of the report fulfils the condition.
    bool waitFor(std::function<bool(const State&)> done) {
        return eventually([&] {
            std::ifstream in(reportPath);
            State last, s;
            // a line without its newline may still be in writing
            for (std::string line; std::getline(in, line) && !in.eof();)
                if (sscanf(line.c_str(), "idle %d device %d sync %*d map %*s peaks %f", &s.idle,
                           &s.device, &s.firstPeak) == 3)
                    last = s;
            return last.idle >= 0 && done(last);
        });
    }

    void click(int x, int y) {
        XTestFakeMotionEvent(display, -1, originX + x, originY + y, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
    }

    /// A viewable override-redirect top-level window: an open dropdown list.
    bool waitForList(XWindowAttributes& list) {
        return eventually([&] {
            Window root, parent, *children = nullptr;
            unsigned count = 0;
            XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
            bool found = false;
            for (unsigned i = 0; i < count && !found; i++)
                found = children[i] != window &&
                        XGetWindowAttributes(display, children[i], &list) &&
                        list.map_state == IsViewable && list.override_redirect;
            if (children) XFree(children);
            return found;
        });
    }

    CTestInstall library;
    std::string reportPath;
    Display* display = nullptr;
    pid_t child = -1;
    Window window = 0;
    int originX = 0, originY = 0;
};

// The device picked from the editor's list opens, and its sound reaches the meters.
TEST_P(RwhostGui, DeviceChosenFromTheListOpensAndPlays) {
    start();
    ASSERT_TRUE(waitFor([](const State& s) { return s.device == -1; }));
    click(60, 17);
    XWindowAttributes list;
    ASSERT_TRUE(waitForList(list));
    click(list.x + 20 - originX, list.y + 3 * 16 + 8 - originY); // "Test Tones"
    ASSERT_TRUE(waitFor([](const State& s) { return s.device == 2; }));
    EXPECT_TRUE(waitFor([](const State& s) { return s.firstPeak > 0.1f; }));
}

INSTANTIATE_TEST_SUITE_P(Formats, RwhostGui, ::testing::ValuesIn(kPluginFormats), formatName);

// rwhost screenshot shows the same editor, pixel for pixel, whichever format it hosts.
TEST(RwhostScreenshot, BothFormatsShowTheSameEditor) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    std::vector<std::string> pictures;
    for (const PluginFormat& format : kPluginFormats) {
        const std::string png = library.root() + "/" + format.name + ".png";
        const std::string command =
            std::string(RWHOST_PATH) + " screenshot " + format.plugin + " --device 0 --out " + png;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(png, std::ios::binary);
        pictures.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_FALSE(pictures[0].empty());
    EXPECT_TRUE(pictures[0] == pictures[1]) << "the two formats' editors differ";
}
