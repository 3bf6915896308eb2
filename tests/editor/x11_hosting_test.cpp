// The engine's editor inside a real host window: repeated opening and closing, and closing the
// engine with the editor open, release every X and toolkit resource (sanitizer builds check).
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "editor/synthwin.h"
#include "engine/synth.h"
#include "gui/app.h"
#include "testinstall.h"

class X11Hosting : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        host = XOpenDisplay(nullptr);
        ASSERT_NE(host, nullptr);
        hostWin = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 304, 160, 0, 0, 0);
        XMapWindow(host, hostWin);
        XSync(host, False);
        library.addBundle(0, "ReWire.bundle");
        synth = std::make_unique<CSynth>();
    }
    void TearDown() override {
        synth.reset();
        if (host) XCloseDisplay(host);
    }
    void* parent() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(hostWin)); }

    CTestInstall library;
    Display* host = nullptr;
    Window hostWin = 0;
    std::unique_ptr<CSynth> synth;
};

TEST_F(X11Hosting, EditorGetsAViewInsideTheHostWindow) {
    synth->openEditor(0, parent());
    ASSERT_NE(synth->getEditor(), nullptr);
    EXPECT_TRUE(synth->getEditor()->hasView());
    Window root, parentOf, *children = nullptr;
    unsigned count = 0;
    XQueryTree(host, hostWin, &root, &parentOf, &children, &count);
    EXPECT_EQ(count, 1u);
    if (children) XFree(children);
    synth->closeEditor();
    XQueryTree(host, hostWin, &root, &parentOf, &children, &count);
    EXPECT_EQ(count, 0u);
    if (children) XFree(children);
}

TEST_F(X11Hosting, BadParentLeavesTheEditorWithoutAView) {
    synth->openEditor(0, reinterpret_cast<void*>(uintptr_t(0x7FFFFFF)));
    ASSERT_NE(synth->getEditor(), nullptr);
    EXPECT_FALSE(synth->getEditor()->hasView());
    synth->idle();
    synth->closeEditor();
}

TEST_F(X11Hosting, HundredOpensAndClosesAndEngineClosedWithTheEditorOpen) {
    synth->setDevice(0);
    for (int i = 0; i < 100; i++) {
        synth->openEditor(0, parent());
        ASSERT_TRUE(synth->getEditor()->hasView());
        synth->idle();
        synth->closeEditor();
    }
    synth->openEditor(0, parent());
    synth->idle();
    synth.reset();
    Window root, parentOf, *children = nullptr;
    unsigned count = 0;
    XQueryTree(host, hostWin, &root, &parentOf, &children, &count);
    EXPECT_EQ(count, 0u);
    if (children) XFree(children);
}
