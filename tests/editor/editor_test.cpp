// The editor on the headless backend: its controls, what they change and how they paint, and
// the plug-in's editor requests without a display.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "editor/audiopanel.h"
#include "editor/editorhost.h"
#include "editor/midipanel.h"
#include "editor/palette.h"
#include "editor/synthwin.h"
#include "engine/synth.h"
#include "graphics/bitmap.h"
#include "gui/app.h"
#include "gui/dropdown.h"
#include "testinstall.h"
#include "vst/plug.h"

namespace {
enum { devicesCtrl, syncCtrl, addCtrl, removeCtrl, midiCtrl, separatorCtrl, metersCtrl };

std::vector<CStr> itemsOf(CDropdown* dd) {
    std::vector<CStr> texts;
    for (int i = 0; i < dd->count(); i++)
        texts.push_back(dd->getItemText(i));
    return texts;
}

CDropdown* row(CSynthWin& w, int i) {
    return static_cast<CDropdown*>(w.midiPanel->client->control(i));
}

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == hostOpVersion ? kVstVersion : 0;
}
} // namespace

class EditorTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete win;
        app.reset();
        synth.reset();
    }
    /// The engine, with the demo ReWire library installed unless withLibrary is false.
    CSynth& engine(bool withLibrary = true) {
        if (!synth) {
            if (withLibrary) library.addBundle(0, "ReWire.bundle");
            synth = std::make_unique<CSynth>();
            synth->getMixer()->setCloseTimeout(500);
        }
        return *synth;
    }
    /// Builds the editor from the engine's current state.
    CSynthWin& editor() {
        if (!win) {
            app = std::make_unique<CApp>();
            win = new CSynthWin(app.get(), &engine());
        }
        return *win;
    }
    CDropdown* devices() {
        return static_cast<CDropdown*>(editor().clientGroup->control(devicesCtrl));
    }
    /// A click of the left button at a window position, as the view delivers it.
    void click(int x, int y) {
        editor().mouseDown(x, y, 1);
        editor().mouseUp(x, y, 1);
    }

    CTestInstall library;
    std::unique_ptr<CSynth> synth;
    std::unique_ptr<CApp> app;
    CSynthWin* win = nullptr;
};

TEST_F(EditorTest, DeviceListWithoutReWireOffersOnlyTheNotice) {
    engine(false);
    EXPECT_EQ(itemsOf(devices()), std::vector<CStr>{"<ReWire not available>"});
}

TEST_F(EditorTest, DeviceListChoosesAndClosesDevices) {
    engine().setDevice(1);
    CDropdown* list = devices();
    EXPECT_EQ(list->getItemText(0), CStr("<none>"));
    EXPECT_EQ(list->getItemText(2), CStr("Drum Machine"));
    EXPECT_EQ(list->index, 2);

    list->index = 1;
    editor().deviceChanged(list);
    EXPECT_EQ(engine().getDeviceIndex(), 0);
    // the rows follow the new device at the next idle
    editor().idle();
    EXPECT_EQ(itemsOf(row(editor(), 0)),
              (std::vector<CStr>{"Synth: Lead", "Synth: Pad", "Bass: Mono"}));

    list->index = 0;
    editor().deviceChanged(list);
    EXPECT_EQ(engine().getDevice(), nullptr);
    editor().idle();
    EXPECT_EQ(row(editor(), 0)->count(), 0);
}

// A device that refuses to close stays in the list; when it lets go at a later idle, the list
// and the rows follow the switch.
TEST_F(EditorTest, DeviceListShowsTheDeviceThatPlays) {
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=2\n[Device0]\nName=A\nKind=Synth\nRefuseClose=1\n"
                      "[Device1]\nName=B\nKind=Drums\n");
    engine(false).setDevice(0);
    CDropdown* list = devices();
    list->index = 2;
    editor().deviceChanged(list);
    EXPECT_EQ(list->index, 1);
    editor().idle();
    engine().idle();
    EXPECT_EQ(engine().getDeviceIndex(), 1);
    editor().idle();
    EXPECT_EQ(list->index, 2);
    EXPECT_EQ(itemsOf(row(editor(), 0)), std::vector<CStr>{"Drums: Pads"});
}

TEST_F(EditorTest, SyncSwitchTogglesAndAnythingButZeroCountsAsOn) {
    EXPECT_EQ(engine().getSync(), 1);
    click(185, 17);
    EXPECT_EQ(engine().getSync(), 0);
    click(185, 17);
    EXPECT_EQ(engine().getSync(), 1);
    engine().setSync(7);
    click(185, 17);
    EXPECT_EQ(engine().getSync(), 0);
}

TEST_F(EditorTest, AddAndRemoveRebuildTheRowsAtTheNextIdle) {
    CSynthWin& w = editor();
    ASSERT_EQ(w.midiPanel->client->count(), 1);
    click(265, 17);
    EXPECT_EQ(engine().getMapping().getCount(), 2);
    EXPECT_EQ(w.midiPanel->client->count(), 1);
    w.idle();
    EXPECT_EQ(w.midiPanel->client->count(), 2);
    EXPECT_EQ(engine().getIdleFlags() & CSynth::kIdleRebuildMapping, 0);
    for (int i = 0; i < 3; i++)
        click(287, 17);
    w.idle();
    EXPECT_EQ(engine().getMapping().getCount(), 1);
    EXPECT_EQ(w.midiPanel->client->count(), 1);
}

TEST_F(EditorTest, RowsShowTheirTargetsAndKeepATargetPastTheDevicesList) {
    engine().setDevice(0);
    engine().addMapRow(-1);
    engine().addMapRow(7);
    CSynthWin& w = editor();
    ASSERT_EQ(w.midiPanel->client->count(), 3);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(row(w, i)->index, engine().getMapping().getChannel(i));
        EXPECT_EQ(row(w, i)->count(), 3);
    }
    EXPECT_EQ(row(w, 1)->defaultText(), CStr("Synth: Pad"));
    EXPECT_EQ(row(w, 2)->defaultText(), CStr());
    EXPECT_EQ(engine().getMapping().getChannel(2), 7);
}

// How the step arrows clamp is the toolkit test's; here that a row's step reaches the mapping.
TEST_F(EditorTest, StepArrowsChangeTheRowsTarget) {
    engine().setDevice(0);
    engine().addMapRow(0);
    CSynthWin& w = editor();
    // row 2's right arrow: panel at (8, 36), row at (4, 24) in it, arrow in its last 18 pixels
    click(8 + 4 + 256 - 9, 36 + 24 + 9);
    click(8 + 4 + 256 - 9, 36 + 24 + 9);
    EXPECT_EQ(engine().getMapping().getChannel(1), 2);
    click(8 + 4 + 256 - 27, 36 + 24 + 9); // left arrow
    EXPECT_EQ(engine().getMapping().getChannel(1), 1);
    EXPECT_EQ(row(w, 1)->index, 1);
}

TEST_F(EditorTest, MeterBarsFollowTheLevelAndTreatNonsenseAsSilence) {
    const struct {
        float peak;
        int height;
    } rows[] = {{0.5f, 8},  {1.0f, 16}, {2.0f, 16}, {0.25f, 4},
                {0.03f, 0}, {0.0f, 0},  {-1.0f, 0}, {std::nanf(""), 0}};
    for (const auto& r : rows)
        EXPECT_EQ(CAudioPanel::barHeight(r.peak), r.height) << r.peak;

    // painted: a full meter lights its bottom row, a silent one does not
    engine().getMixer()->outs.peak[1].store(1.0f);
    CAudioPanel* meters = editor().audioPanel;
    CBitmap bitmap(0, meters->width, meters->height, 32);
    bitmap.graphic->fillRect(clWhite, meters->localRect());
    meters->paint(bitmap.graphic, meters->localRect());
    EXPECT_EQ(bitmap.graphic->getPixel(11 + 5, 14), colLeds);
    EXPECT_NE(bitmap.graphic->getPixel(0 + 5, 14), colLeds);
}

// Without a display the editor exists without a view; the plug-in opens one at a time, idles it
// while it is open, builds a reopened one afresh and closes with it open.
TEST_F(EditorTest, PluginHostsOneEditorAtATimeWithoutADisplay) {
    unsetenv("DISPLAY"); // nothing in this program needs one
    library.addBundle(0, "ReWire.bundle");
    AEffect* effect = (new CPlug(quietHost))->getAeffect();
    auto dispatch = [&](VstInt32 opcode, void* ptr) {
        return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
    };
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom - rect->top, CSynthWin::kHeight);
    EXPECT_EQ(rect->right - rect->left, CSynthWin::kWidth);

    CPlug* plug = static_cast<CPlug*>(effect->object);
    CSynth* s = plug->getSynth();
    CEditorHost* host = plug->getEditorHost();
    dispatch(effEditOpen, nullptr);
    CSynthWin* first = host->getWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->hasView());
    dispatch(effEditOpen, reinterpret_cast<void*>(0x1234)); // a second open changes nothing
    EXPECT_EQ(host->getWindow(), first);

    // the editor's idle lets the meters fall step by step to exactly zero
    CAudioOuts& outs = s->getMixer()->outs;
    outs.peak[0].store(1.0f);
    dispatch(effEditIdle, nullptr);
    EXPECT_GT(outs.peak[0].load(), 0.9f);
    EXPECT_LT(outs.peak[0].load(), 1.0f);
    for (int i = 0; i < 100; i++)
        dispatch(effEditIdle, nullptr);
    EXPECT_EQ(outs.peak[0].load(), 0.0f);
    dispatch(effEditClose, nullptr);
    EXPECT_EQ(host->getWindow(), nullptr);

    s->addMapRow(-1);
    dispatch(effEditOpen, nullptr);
    ASSERT_NE(host->getWindow(), nullptr);
    EXPECT_EQ(host->getWindow()->midiPanel->client->count(), 2);
    dispatch(effClose, nullptr);
}
