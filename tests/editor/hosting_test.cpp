// The engine's editor hosting and the plug-in's editor requests: inside a real host window,
// and without a display, where the editor exists without a view and everything else works.
// Repeated opening and closing releases every X and toolkit resource (sanitizer builds check).
// The fixture brings in GoogleTest, which must come before Xlib's macros.
#include "editor_fixture.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/midipanel.h"
#include "gui/dropdown.h"
#include "vst/plug.h"

namespace {
VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == hostOpVersion ? kVstVersion : 0;
}

/// Without a display: DISPLAY is unset for the test and restored afterwards.
class Headless : public EditorTest {
protected:
    void SetUp() override {
        if (const char* d = std::getenv("DISPLAY")) display = d;
        unsetenv("DISPLAY");
    }
    void TearDown() override {
        EditorTest::TearDown();
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    }
    std::string display;
};

/// A host window on the X server, as a VST host would make one.
class X11Hosting : public EditorTest {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        host = XOpenDisplay(nullptr);
        ASSERT_NE(host, nullptr);
        hostWin = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 304, 160, 0, 0, 0);
        XMapWindow(host, hostWin);
        XSync(host, False);
    }
    void TearDown() override {
        EditorTest::TearDown();
        if (host) XCloseDisplay(host);
    }
    void* parent() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(hostWin)); }
    unsigned childWindows() {
        Window root, parentOf, *children = nullptr;
        unsigned count = 0;
        XQueryTree(host, hostWin, &root, &parentOf, &children, &count);
        if (children) XFree(children);
        return count;
    }

    Display* host = nullptr;
    Window hostWin = 0;
};
} // namespace

TEST_F(X11Hosting, HundredOpensAndClosesThenTheEngineClosedWithTheEditorOpen) {
    CSynth& s = engine();
    s.setDevice(0);
    for (int i = 0; i < 100; i++) {
        s.openEditor(0, parent());
        ASSERT_TRUE(s.getEditor()->hasView());
        ASSERT_EQ(childWindows(), 1u);
        s.idle();
        s.closeEditor();
        ASSERT_EQ(childWindows(), 0u);
    }
    s.openEditor(0, parent());
    s.idle();
    synth.reset(); // mixer first, then the editor
    EXPECT_EQ(childWindows(), 0u);
}

TEST_F(Headless, ReopenedEditorRebuildsFromTheEngine) {
    CSynth& s = engine();
    s.openEditor(0, nullptr);
    CSynthWin* first = s.getEditor();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->hasView());
    s.openEditor(0, reinterpret_cast<void*>(0x1234)); // a second open changes nothing
    EXPECT_EQ(s.getEditor(), first);
    s.closeEditor();
    EXPECT_EQ(s.getEditor(), nullptr);

    s.setDevice(2);
    s.setSync(0);
    s.addMapRow(-1);
    s.addMapRow(-1);
    s.openEditor(0, nullptr);
    CSynthWin* again = s.getEditor();
    ASSERT_NE(again, nullptr);
    auto* list = static_cast<CDropdown*>(again->clientGroup->control(0));
    EXPECT_EQ(list->index, 3);
    EXPECT_EQ(list->defaultText(), CStr("Test Tones"));
    EXPECT_EQ(again->midiPanel->client->count(), 3);
}

TEST_F(Headless, EngineIdleDrivesTheEditorOnlyWhileItIsOpen) {
    CSynth& s = engine();
    s.openEditor(0, nullptr);
    s.getMixer()->outs.peak[2].store(0.5f);
    s.addMapRow(-1);
    s.updateIdle(CSynth::kIdleRebuildMapping, false);
    s.idle();
    EXPECT_EQ(s.getEditor()->midiPanel->client->count(), 2);
    EXPECT_EQ(s.getIdleFlags() & CSynth::kIdleRebuildMapping, 0);
    EXPECT_FLOAT_EQ(s.getMixer()->outs.peak[2].load(), 0.48f);
    s.closeEditor();
    s.idle();
    EXPECT_FLOAT_EQ(s.getMixer()->outs.peak[2].load(), 0.48f);
}

TEST_F(Headless, PluginAnswersTheEditorRequests) {
    library.addBundle(0, "ReWire.bundle");
    AEffect* effect = (new CPlug(quietHost))->getAeffect();
    auto dispatch = [&](VstInt32 opcode, VstInt32 index, void* ptr) {
        return effect->dispatcher(effect, opcode, index, 0, ptr, 0.0f);
    };
    EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
    CSynth* s = static_cast<CPlug*>(effect->object)->getSynth();

    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom - rect->top, 160);
    EXPECT_EQ(rect->right - rect->left, 304);
    EXPECT_EQ(dispatch(effEditGetRect, 0, nullptr), 0); // no place to answer in
    dispatch(effEditOpen, 0, nullptr);
    EXPECT_NE(s->getEditor(), nullptr);

    s->getMixer()->outs.peak[1].store(0.75f);
    float levels[8] = {};
    EXPECT_EQ(dispatch(effVendorSpecific, kPeakLevelsRequest, levels), 1);
    EXPECT_FLOAT_EQ(levels[1], 0.75f);
    EXPECT_EQ(dispatch(effVendorSpecific, 0, levels), 0);
    dispatch(effEditClose, 0, nullptr);
    EXPECT_EQ(s->getEditor(), nullptr);
    dispatch(effEditOpen, 0, nullptr);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); // with the editor open
}
