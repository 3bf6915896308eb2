// The engine's editor hosting and the plug-in's editor requests, without a display: the editor
// then exists without a view and everything else works as usual.
#include <cstdlib>

#include "editor/midipanel.h"
#include "editor_fixture.h"
#include "gui/dropdown.h"
#include "vst/plug.h"

namespace {
VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == hostOpVersion ? kVstVersion : 0;
}

class HostingTest : public EditorTest {
protected:
    void SetUp() override { unsetenv("DISPLAY"); }
};
} // namespace

TEST_F(HostingTest, OpenCloseOpenRebuildsFromTheEngine) {
    CSynth& s = engine();
    s.openEditor(0, nullptr);
    CSynthWin* first = s.getEditor();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->hasView());
    EXPECT_EQ(first->app->mainWin, first);
    s.openEditor(0, reinterpret_cast<void*>(0x1234)); // a second open changes nothing
    EXPECT_EQ(s.getEditor(), first);

    s.closeEditor();
    EXPECT_EQ(s.getEditor(), nullptr);
    s.closeEditor();

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
    EXPECT_EQ(s.getSync(), 0);
}

TEST_F(HostingTest, EngineIdleDrivesTheEditorAndRebuildsRowsOnRequest) {
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
    s.idle(); // without an editor the meters are left alone
    EXPECT_FLOAT_EQ(s.getMixer()->outs.peak[2].load(), 0.48f);
}

TEST_F(HostingTest, RepeatedOpenAndCloseAndClosingTheEngineWithTheEditorOpen) {
    CSynth& s = engine();
    for (int i = 0; i < 100; i++) {
        s.openEditor(0, nullptr);
        s.idle();
        s.closeEditor();
    }
    s.setDevice(0);
    s.openEditor(0, nullptr);
    s.idle();
    synth.reset(); // mixer first, then the editor; sanitizer builds report any leak
    SUCCEED();
}

TEST_F(HostingTest, PluginAnswersTheEditorRequests) {
    library.addBundle(0, "ReWire.bundle");
    AEffect* effect = (new CPlug(quietHost))->getAeffect();
    auto dispatch = [&](VstInt32 opcode, VstIntPtr value, void* ptr) {
        return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
    };
    EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
    CSynth* s = static_cast<CPlug*>(effect->object)->getSynth();

    for (bool open : {false, true}) {
        ERect* rect = nullptr;
        EXPECT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->bottom, 160);
        EXPECT_EQ(rect->right, 304);
        EXPECT_EQ(dispatch(effEditOpen, 0, nullptr), 0);
        EXPECT_NE(s->getEditor(), nullptr) << open;
    }
    EXPECT_EQ(dispatch(effEditGetRect, 0, nullptr), 0); // no place to answer in
    s->getMixer()->outs.peak[1].store(0.75f);
    float levels[8] = {};
    EXPECT_EQ(effect->dispatcher(effect, effVendorSpecific, kPeakLevelsRequest, 0, levels, 0.0f),
              1);
    EXPECT_FLOAT_EQ(levels[1], 0.75f);
    EXPECT_EQ(effect->dispatcher(effect, effVendorSpecific, 0, 0, levels, 0.0f), 0);
    EXPECT_EQ(dispatch(effEditIdle, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effEditClose, 0, nullptr), 0);
    EXPECT_EQ(s->getEditor(), nullptr);
    EXPECT_EQ(dispatch(effEditClose, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effEditOpen, 0, nullptr), 0);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); // with the editor open
}
