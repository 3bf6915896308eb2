#include <cstring>
#include <vector>

#include "editor/audiopanel.h"
#include "editor/midipanel.h"
#include "editor/palette.h"
#include "editor_fixture.h"
#include "graphics/bitmap.h"
#include "gui/button.h"
#include "gui/dropdown.h"
#include "gui/scrollbar.h"
#include "rewire/rewireapi.h"

namespace {
enum { devicesCtrl, syncCtrl, addCtrl, removeCtrl, midiCtrl, separatorCtrl, metersCtrl };

const int kNoteOnCh1 = 0x643C90;

std::vector<CStr> itemsOf(CDropdown* dd) {
    std::vector<CStr> texts;
    for (int i = 0; i < dd->count(); i++)
        texts.push_back(dd->getItemText(i));
    return texts;
}

CDropdown* row(CSynthWin& w, int i) {
    return static_cast<CDropdown*>(w.midiPanel->client->control(i));
}

/// Paints one control's local rectangle onto a fresh white bitmap of its size.
struct Snapshot {
    explicit Snapshot(CCtrl* c) : bitmap(0, c->width, c->height, 32) {
        bitmap.graphic->fillRect(clWhite, c->localRect());
        c->paint(bitmap.graphic, c->localRect());
    }
    int at(int x, int y) { return bitmap.graphic->getPixel(x, y); }
    /// Height of the run of colour col that ends at the bottom row above y, going up from y - 1.
    int runAbove(int x, int y, int col) {
        int n = 0;
        while (y - 1 - n >= 0 && at(x, y - 1 - n) == col)
            n++;
        return n;
    }
    CBitmap bitmap;
};
} // namespace

TEST_F(EditorTest, DeviceListWithoutReWireOffersOnlyTheNotice) {
    engine(false);
    auto* list = static_cast<CDropdown*>(control(devicesCtrl));
    EXPECT_EQ(itemsOf(list), std::vector<CStr>{"<ReWire not available>"});
    EXPECT_EQ(list->index, 0);
    EXPECT_EQ(list->defaultText(), CStr("<ReWire not available>"));
    // the other controls still act on the engine
    editor().deviceChanged(list);
    EXPECT_EQ(engine().getDeviceIndex(), -1);
    click(185, 17);
    EXPECT_EQ(engine().getSync(), 0);
}

TEST_F(EditorTest, DeviceListChoosesAndClosesDevices) {
    engine().setDevice(1);
    auto* list = static_cast<CDropdown*>(control(devicesCtrl));
    EXPECT_EQ(itemsOf(list),
              (std::vector<CStr>{"<none>", "Poly Synth", "Drum Machine", "Test Tones"}));
    EXPECT_EQ(list->index, 2);

    list->index = 1;
    editor().deviceChanged(list);
    EXPECT_EQ(engine().getDeviceIndex(), 0);
    ASSERT_NE(engine().getDevice(), nullptr);
    // the rows follow the new device at the next idle
    editor().idle();
    EXPECT_EQ(itemsOf(row(editor(), 0)),
              (std::vector<CStr>{"Synth: Lead", "Synth: Pad", "Bass: Mono"}));

    list->index = 0;
    editor().deviceChanged(list);
    EXPECT_EQ(engine().getDeviceIndex(), -1);
    EXPECT_EQ(engine().getDevice(), nullptr);
    editor().idle();
    EXPECT_EQ(row(editor(), 0)->count(), 0);
}

TEST_F(EditorTest, SyncSwitchTogglesAndAnythingButZeroCountsAsOn) {
    engine();
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

TEST_F(EditorTest, StepArrowsChangeTheTargetAndTheRoutingFollows) {
    engine().setDevice(0);
    engine().addMapRow(0);
    CSynthWin& w = editor();
    // row 2's right arrow: panel at (8, 36), row at (4, 24) in it, arrow in its last 18 pixels
    click(8 + 4 + 256 - 9, 36 + 24 + 9);
    EXPECT_EQ(engine().getMapping().getChannel(1), 1);
    click(8 + 4 + 256 - 9, 36 + 24 + 9);
    EXPECT_EQ(engine().getMapping().getChannel(1), 2);
    click(8 + 4 + 256 - 9, 36 + 24 + 9); // the last target: stays
    EXPECT_EQ(engine().getMapping().getChannel(1), 2);
    click(8 + 4 + 256 - 27, 36 + 24 + 9); // left arrow
    EXPECT_EQ(engine().getMapping().getChannel(1), 1);
    EXPECT_EQ(row(w, 1)->index, 1);

    // a note on MIDI channel 2 now reaches the device's second target
    engine().midiInput(kNoteOnCh1 + 1);
    std::vector<float> buffers[8];
    float* outs[8];
    for (int n = 0; n < 8; n++) {
        buffers[n].assign(64, 0.0f);
        outs[n] = buffers[n].data();
    }
    engine().process(outs, 64);
    const ReWireEventBuffer& sent = engine().getDevice()->getInputParams().fInputEvents;
    ASSERT_EQ(sent.fCount, 1u);
    const ReWireMIDIEvent* e = ReWireCastToMIDIEvent(&sent.fEvents[0]);
    const CMIDIBus* target = engine().getDevice()->getTarget(1);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(e->fTarget.fBus, target->target.fBus);
    EXPECT_EQ(e->fTarget.fChannel, target->target.fChannel);
}

TEST_F(EditorTest, MetersDrawBarsByLevelAndShareTheStereoBorder) {
    CAudioOuts& outs = engine().getMixer()->outs;
    const float levels[8] = {0.5f, 1.0f, 2.0f, -1.0f, 0.0f, 0.25f, 0.03f, 0.5f};
    for (int i = 0; i < 8; i++)
        outs.peak[i].store(levels[i]);
    outs.enabled[7] = 0;
    Snapshot s(editor().audioPanel);
    const int starts[8] = {0, 11, 27, 43, 59, 75, 91, 107};
    const int heights[8] = {8, 16, 16, 0, 0, 4, 0, 8};
    const int grey = asColor(64, 64, 64);
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        const int x = starts[i];
        EXPECT_EQ(s.at(x, 0), colDark);
        EXPECT_EQ(s.at(x + 11, 15), colDark);
        const int h = heights[i];
        // the frame covers the bar's bottom row and, when full, its top row
        EXPECT_EQ(s.runAbove(x + 5, 15, colLeds), h > 0 ? asMin(h, 15) - 1 : 0);
        const int above = h > 0 ? 15 - h : 14;
        if (above >= 1) {
            EXPECT_EQ(s.at(x + 5, above), outs.enabled[i] ? grey : colBk);
        }
    }
    // between pairs the background shows; below the meters too
    EXPECT_EQ(s.at(24, 8), colBk);
    EXPECT_EQ(s.at(5, 20), colBk);
}

TEST_F(EditorTest, MetersFallByTheDecayStepToExactlyZero) {
    CAudioOuts& outs = engine().getMixer()->outs;
    outs.peak[0].store(1.0f);
    outs.peak[3].store(0.03f);
    CSynthWin& w = editor();
    for (int i = 0; i < 50; i++)
        w.idle();
    EXPECT_GT(outs.peak[0].load(), 0.0f);
    EXPECT_LT(outs.peak[0].load(), 0.02f);
    EXPECT_EQ(outs.peak[3].load(), 0.0f);
    w.idle();
    EXPECT_EQ(outs.peak[0].load(), 0.0f);
    w.idle();
    EXPECT_EQ(outs.peak[0].load(), 0.0f);
    // a raised level starts again from the top
    outs.peak[5].store(0.5f);
    w.idle();
    EXPECT_FLOAT_EQ(outs.peak[5].load(), 0.48f);
    EXPECT_EQ(CAudioPanel::barHeight(0.48f), 8);
}
