#include <cmath>
#include <cstring>
#include <vector>

#include "editor/audiopanel.h"
#include "editor/midipanel.h"
#include "editor/palette.h"
#include "editor_fixture.h"
#include "graphics/bitmap.h"
#include "gui/dropdown.h"

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

/// Paints one control's local rectangle onto a fresh white bitmap of its size.
struct Snapshot {
    explicit Snapshot(CCtrl* c) : bitmap(0, c->width, c->height, 32) {
        bitmap.graphic->fillRect(clWhite, c->localRect());
        c->paint(bitmap.graphic, c->localRect());
    }
    int at(int x, int y) { return bitmap.graphic->getPixel(x, y); }
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
              (std::vector<CStr>{"<none>", "Poly Synth", "Drum Machine", "Test Tones", "JACK"}));
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

TEST_F(EditorTest, StepArrowsChangeTheTargetAndStopAtTheLast) {
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
    CAudioOuts& outs = engine().getMixer()->outs;
    outs.peak[1].store(1.0f);
    Snapshot s(editor().audioPanel);
    EXPECT_EQ(s.at(11 + 5, 14), colLeds);
    EXPECT_NE(s.at(0 + 5, 14), colLeds);
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
