// rwhost gui under a real X server: the editor of the real plug-in in a host window, driven by
// XTest pointer events while the host's audio thread runs. rwhost reports the plug-in's state
// after every editor idle; the checks wait for conditions in that report and in the window's
// pixels, never for a time.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testinstall.h"

namespace {
/// Generous bound for a condition to come true; only a failing run ever waits this long.
constexpr auto waitLimit = std::chrono::seconds(20);

/// One line of rwhost's report.
struct State {
    int idle = -1;
    int device = -2;
    int sync = -1;
    std::vector<int> map;
    std::vector<float> peaks;
};

State parseLine(const std::string& line) {
    State s;
    std::istringstream in(line);
    std::string word;
    while (in >> word) {
        if (word == "idle") in >> s.idle;
        if (word == "device") in >> s.device;
        if (word == "sync") in >> s.sync;
        if (word == "map") {
            std::string list;
            in >> list;
            std::istringstream items(list);
            std::string item;
            while (std::getline(items, item, ','))
                if (item != "-") s.map.push_back(std::stoi(item));
        }
        if (word == "peaks")
            for (int i = 0; i < 8; i++) {
                float p = -1.0f;
                in >> p;
                s.peaks.push_back(p);
            }
    }
    return s;
}

/// A MIDI file of format 0 that holds middle C on channels 1 and 2 for 1.5 s of every 2 s.
void writeTwoChannelSong(const std::string& path) {
    const unsigned char bytes[] = {
        'M',  'T',  'h',  'd',  0,    0, 0, 6,  0, 0, 0, 1, 0x01, 0xE0, // 480 ticks a quarter
        'M',  'T',  'r',  'k',  0,    0, 0, 22,                         //
        0x00, 0x90, 60,   100,                                          // on, channel 1
        0x00, 0x91, 60,   100,                                          // on, channel 2
        0x8B, 0x20, 0x80, 60,   0,                                      // off 3 quarters later
        0x00, 0x81, 60,   0,                                            //
        0x83, 0x60, 0xFF, 0x2F, 0x00,                                   // end a quarter later
    };
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}
} // namespace

class RwhostGui : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
        library.addBundle(0, "ReWire.bundle");
        reportPath = library.root() + "/report.txt";
    }

    void TearDown() override {
        if (child > 0) {
            kill(child, SIGTERM);
            int status = 0;
            if (!exitsInTime(status)) {
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

    bool exitsInTime(int& status) {
        auto until = std::chrono::steady_clock::now() + waitLimit;
        while (std::chrono::steady_clock::now() < until) {
            if (waitpid(child, &status, WNOHANG) == child) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    /// Starts rwhost gui on the plug-in with extra arguments and waits for its first idle.
    void start(std::vector<std::string> extra) {
        std::vector<std::string> args = {RWHOST_PATH, "gui", RWBRIDGE_PATH, "--report", reportPath};
        args.insert(args.end(), extra.begin(), extra.end());
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
        ASSERT_NE(window, 0u);
        Window root = DefaultRootWindow(display);
        Window unused;
        ASSERT_TRUE(
            XTranslateCoordinates(display, window, root, 0, 0, &origin.x, &origin.y, &unused));
    }

    std::vector<State> states() {
        std::vector<State> all;
        std::ifstream in(reportPath);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("idle ", 0) == 0 && !line.empty() && line.back() != ' ')
                all.push_back(parseLine(line));
        // the last line may still be in writing
        if (!all.empty() && all.back().peaks.size() != 8) all.pop_back();
        return all;
    }

    /// Waits until the newest reported state fulfils the condition.
    bool waitFor(std::function<bool(const State&)> done) {
        auto until = std::chrono::steady_clock::now() + waitLimit;
        while (std::chrono::steady_clock::now() < until) {
            std::vector<State> all = states();
            if (!all.empty() && done(all.back())) {
                latest = all.back();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    /// Waits for this many more idles, so that anything already sent has been handled.
    bool idlesPass(int count) {
        std::vector<State> all = states();
        int from = all.empty() ? 0 : all.back().idle;
        return waitFor([&](const State& s) { return s.idle >= from + count; });
    }

    void click(int x, int y) {
        XTestFakeMotionEvent(display, -1, origin.x + x, origin.y + y, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
    }

    /// A viewable top-level window other than rwhost's: an open dropdown list.
    bool waitForList(XWindowAttributes& list) {
        auto until = std::chrono::steady_clock::now() + waitLimit;
        while (std::chrono::steady_clock::now() < until) {
            Window root, parent, *children = nullptr;
            unsigned count = 0;
            XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
            bool found = false;
            for (unsigned i = 0; i < count && !found; i++) {
                XWindowAttributes a;
                if (children[i] != window && XGetWindowAttributes(display, children[i], &a) &&
                    a.map_state == IsViewable && a.override_redirect) {
                    list = a;
                    found = true;
                }
            }
            if (children) XFree(children);
            if (found) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    CTestInstall library;
    std::string reportPath;
    Display* display = nullptr;
    pid_t child = -1;
    Window window = 0;
    struct {
        int x = 0;
        int y = 0;
    } origin;
    State latest;
};

TEST_F(RwhostGui, DeviceChosenFromTheListOpensAndPlays) {
    start({});
    ASSERT_EQ(latest.device, -1);
    click(60, 17);
    XWindowAttributes list;
    ASSERT_TRUE(waitForList(list));
    click(list.x + 20 - origin.x, list.y + 3 * 16 + 8 - origin.y); // "Test Tones"
    ASSERT_TRUE(waitFor([](const State& s) { return s.device == 2; }));
    EXPECT_TRUE(waitFor([](const State& s) { return s.peaks[0] > 0.1f; }));
}

TEST_F(RwhostGui, RoutingFollowsTheTargetChosenWithTheStepArrows) {
    const std::string song = library.root() + "/two.mid";
    writeTwoChannelSong(song);
    start({"--device", "0", "--midi", song});
    click(265, 17); // "+"
    ASSERT_TRUE(waitFor([](const State& s) { return s.map == std::vector<int>{0, 1}; }));
    ASSERT_TRUE(idlesPass(2));
    // both channels on the first target: the second note-on finds the voice already playing
    click(8 + 4 + 256 - 27, 36 + 24 + 9); // left arrow of row 2
    ASSERT_TRUE(waitFor([](const State& s) { return s.map == std::vector<int>{0, 0}; }));
    const int shared = latest.idle;
    ASSERT_TRUE(waitFor([&](const State& s) { return s.idle >= shared + 80; })); // a whole loop
    float single = 0.0f;
    for (const State& s : states())
        if (s.idle > shared) single = std::max(single, s.peaks[0]);
    ASSERT_GT(single, 0.05f);
    // channel 2 on its own target: two voices sound together
    click(8 + 4 + 256 - 9, 36 + 24 + 9); // right arrow of row 2
    ASSERT_TRUE(waitFor([](const State& s) { return s.map == std::vector<int>{0, 1}; }));
    EXPECT_TRUE(waitFor([&](const State& s) { return s.peaks[0] > 1.5f * single; }))
        << "single voice peak " << single;
}
