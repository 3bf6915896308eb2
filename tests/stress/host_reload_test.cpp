// rwbridge.so loaded, its editor opened in a host window, closed and unloaded again and again,
// as a host does when projects are closed and opened: the editor's window comes and goes with
// it, also when the plug-in is closed with its editor open, and the process must not grow.
// Runs against an X server (tests/gui/with_xvfb.sh).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

#include "testinstall.h"
#include "vst/aeffect.h"

namespace {
using Entry = AEffect* (*)(audioMasterCallback);

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == hostOpVersion ? kVstVersion : 0;
}

// Resident set size of this process in KiB.
long residentKiB() {
    long pages = 0, resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (!statm) return -1;
    if (fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
    fclose(statm);
    return resident * 4;
}

class HostReload : public ::testing::Test {
protected:
    void SetUp() override {
        library.addBundle(0, "ReWire.bundle");
        display = XOpenDisplay(nullptr);
        if (!display) GTEST_SKIP() << "no X display";
        hostWindow =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 304, 160, 0, 0, 0);
        XMapWindow(display, hostWindow);
        XSync(display, False);
    }
    void TearDown() override {
        if (!display) return;
        XDestroyWindow(display, hostWindow);
        XCloseDisplay(display);
    }

    unsigned childWindows() {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, hostWindow, &root, &parent, &children, &count);
        if (children) XFree(children);
        return count;
    }

    // Load the plug-in, open its editor in the host window, let it paint, close everything;
    // the plug-in itself, or the editor first.
    void loadEditUnload(bool closeEditorFirst) {
        void* handle = dlopen(RWB_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        AEffect* effect = entry(quietHost);
        ASSERT_NE(effect, nullptr);
        void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(hostWindow));
        effect->dispatcher(effect, effEditOpen, 0, 0, parent, 0);
        for (int n = 0; n < 3; n++)
            effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0);
        ASSERT_EQ(childWindows(), 1u);
        if (closeEditorFirst) effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
        dlclose(handle);
        ASSERT_EQ(childWindows(), 0u);
    }

    CTestInstall library;
    Display* display = nullptr;
    Window hostWindow = 0;
};
} // namespace

TEST_F(HostReload, EditorOpenedEachTimeKeepsMemoryFlat) {
    for (int n = 0; n < 5; n++)
        loadEditUnload(n % 2 == 0);
    long before = residentKiB();
    const int kCycles = 500;
    for (int n = 0; n < kCycles && !HasFatalFailure(); n++)
        loadEditUnload(n % 2 == 0);
    long after = residentKiB();
    printf("resident: %ld KiB before, %ld KiB after %d reloads\n", before, after, kCycles);
    // Leaking what the drawing libraries set up at each load costs about 900 KiB a reload.
    EXPECT_LT(after - before, 16 * 1024);
}
