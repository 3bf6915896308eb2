// The audio path under what real hosts do, beyond what a polite host like rwhost does: dense
// controllers against a transport-following device, MIDI at the block's end, MIDI panics,
// several event lists per block, a suspend between a list and its block, and the user editing
// while a note sounds.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "plughost.h"
#include "soundmeasure.h"

using namespace stress;

namespace {
enum HostDevice { kPolySynth, kDrumMachine, kWideSynth };
const char* const kRegistry = "[Library]\nDevices=3\n"
                              "[Device0]\nName=Synth\nKind=Synth\n"
                              "[Device1]\nName=Drums\nKind=Drums\n"
                              "[Device2]\nName=Wide synth\nKind=Synth\nBuses=1\nBus0=Wide\n"
                              "BusChannels=16\n";
const int kRate = 44100;
const int kBlock = 512;
const float kSilence = 1e-6f;

class HostAudio : public ::testing::Test {
protected:
    void SetUp() override { library.addBundle(0, "ReWire.bundle", "1.8.0", kRegistry); }

    // Opens the plug-in with a device; the host's transport stands still.
    std::unique_ptr<Plugin> open(HostDevice device) {
        hostTime().flags = kVstTempoValid | kVstPpqPosValid;
        auto plugin = std::make_unique<Plugin>();
        plugin->synth().setDevice(device);
        EXPECT_EQ(plugin->synth().getDeviceIndex(), int(device));
        return plugin;
    }

    // Renders blocks without new events; the loudest sample of the last one.
    float renderQuiet(const Plugin& plugin, int blocks) {
        float last = 0;
        for (int n = 0; n < blocks; n++) {
            plugin.process(out, kBlock, nullptr);
            last = out.peak(kBlock);
        }
        return last;
    }

    CTestInstall library;
    Outputs out;
};

// Hit onsets of the drum machine over 4 s at 120 bpm, the host's position advancing per block;
// with dense, a controller change every 7 frames splits every block into many slices.
std::vector<long> drumHits(bool dense) {
    auto plugin = std::make_unique<Plugin>();
    plugin->synth().setDevice(kDrumMachine);
    VstTimeInfo& time = hostTime();
    time.tempo = 120;
    time.flags = kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying | kVstTransportChanged;
    std::vector<Midi> sweep;
    for (int f = 0; f < kBlock; f += 7)
        sweep.push_back({f, 0xB0, 1, f % 128});
    EventList controllers(sweep);
    Outputs out;
    std::vector<float> recording;
    for (long done = 0; done + kBlock <= 4 * kRate; done += kBlock) {
        time.ppqPos = double(done) * 2.0 / kRate;
        plugin->process(out, kBlock, dense ? controllers.get() : nullptr);
        recording.insert(recording.end(), out.channel(0).begin(), out.channel(0).begin() + kBlock);
    }
    return onsets(recording, kRate / 8, kSilence);
}
} // namespace

// Each slice hears the song position of its own first frame, so controller data that splits
// the blocks moves no drum hit.
TEST_F(HostAudio, DenseControllersMoveNoDrumHit) {
    std::vector<long> alone = drumHits(false);
    std::vector<long> swept = drumHits(true);
    ASSERT_EQ(alone.size(), 16u);
    ASSERT_EQ(swept.size(), alone.size());
    for (size_t i = 0; i < alone.size(); i++)
        EXPECT_NEAR(double(swept[i]), double(alone[i]), 1.0) << "hit " << i;
}

// A note-off at the block's end, or clamped there from beyond it, still ends its note; a panic
// of 16 x 128 note-offs in one block, more than the queue and a drive call hold, ends all 16
// sounding notes.
TEST_F(HostAudio, NoteOffsAtTheBlockEndAndInAPanicAllArrive) {
    auto plugin = open(kPolySynth);
    EventList atEnd(
        {{0, 0x90, 60, 100}, {10, 0x90, 64, 100}, {kBlock, 0x80, 60, 0}, {100000, 0x80, 64, 0}});
    plugin->process(out, kBlock, atEnd.get());
    EXPECT_GT(out.peak(kBlock), 0.01f);
    EXPECT_LT(renderQuiet(*plugin, 20), kSilence) << "a note at the block's end hangs";

    plugin.reset(); // one instance at a time holds the library
    plugin = open(kWideSynth);
    CSynth& synth = plugin->synth();
    for (int row = 1; row < 16; row++)
        synth.addMapRow(row);
    std::vector<Midi> chord, panic;
    for (int channel = 0; channel < 16; channel++) {
        chord.push_back({0, 0x90 | channel, 60, 100});
        for (int note = 0; note < 128; note++)
            panic.push_back({100, 0x80 | channel, note, 0});
    }
    EventList chordList(chord), panicList(panic);
    plugin->process(out, kBlock, chordList.get());
    EXPECT_GT(renderQuiet(*plugin, 2), 0.01f);
    plugin->process(out, kBlock, panicList.get());
    EXPECT_LT(renderQuiet(*plugin, 40), kSilence) << "notes hang after the panic";
}

// Two process-events requests before one block both count, in order; a list handed over and
// then followed by a suspend is dropped, and the host may free it at once.
TEST_F(HostAudio, EventListsLiveUntilTheirBlockOrASuspend) {
    auto plugin = open(kPolySynth);
    EventList noteOn({{0, 0x90, 60, 100}}), noteOff({{256, 0x80, 60, 0}});
    plugin->dispatch(effProcessEvents, 0, 0, noteOn.get());
    plugin->dispatch(effProcessEvents, 0, 0, noteOff.get());
    plugin->process(out, kBlock, nullptr);
    EXPECT_GT(out.peak(kBlock), 0.01f) << "the first list was lost";
    EXPECT_LT(renderQuiet(*plugin, 20), kSilence) << "the second list was lost";

    // Once with the list kept alive, once freed by the host while the plug-in is suspended.
    for (bool freed : {false, true}) {
        auto stale = std::make_unique<EventList>(std::vector<Midi>{{0, 0x90, 72, 100}});
        plugin->dispatch(effProcessEvents, 0, 0, stale->get());
        plugin->dispatch(effMainsChanged, 0, 0);
        if (freed) stale.reset();
        plugin->dispatch(effMainsChanged, 0, 1);
        EXPECT_EQ(renderQuiet(*plugin, 4), 0.0f) << "events from before the suspend sounded";
    }
    plugin->process(out, kBlock, noteOn.get());
    EXPECT_GT(out.peak(kBlock), 0.01f);
}

// A second list for the block with an earlier event than the first: the note sounds at its own
// frame, not where the first list's event put the block.
TEST_F(HostAudio, ANoteInALaterListSoundsAtItsOwnFrame) {
    auto plugin = open(kPolySynth);
    EventList controller({{300, 0xB0, 1, 64}}), note({{100, 0x90, 60, 100}});
    plugin->dispatch(effProcessEvents, 0, 0, controller.get());
    plugin->dispatch(effProcessEvents, 0, 0, note.get());
    plugin->process(out, kBlock, nullptr);
    const std::vector<float>& left = out.channel(0);
    long onset = firstNonZero(std::vector<float>(left.begin(), left.begin() + kBlock));
    EXPECT_GE(onset, 100);
    EXPECT_LT(onset, 110);
}

// A held note sounds through every block while another thread edits the mapping, toggles the
// sync switch and re-reads the device's MIDI targets; short notes played meanwhile all end.
// Any build sees a block that an edit kept silent; a table freed under a running block is a
// use-after-free for the sanitizers (and a reader of its poisoned copy loses note-offs).
TEST_F(HostAudio, EditsNeverMuteASoundingNote) {
    auto plugin = open(kPolySynth);
    CSynth& synth = plugin->synth();
    std::atomic<bool> editing{true};
    std::atomic<long> blocks{0};
    long silentBlocks = 0;
    std::thread audio([&] {
        Outputs played;
        EventList held({{0, 0x90, 48, 100}});
        // Controllers all through every block: the mapping is read while edits retire it.
        std::vector<Midi> sweep, sweepAndNote = {{0, 0x90, 67, 100}};
        for (int f = 0; f < kBlock; f += 32) {
            sweep.push_back({f, 0xB0, 1, f / 32});
            sweepAndNote.push_back({f, 0xB0, 1, f / 32});
            if (f == 288) sweepAndNote.push_back({300, 0x80, 67, 0});
        }
        EventList controllers(sweep), shortNote(sweepAndNote);
        EventList release({{0, 0x80, 48, 0}});
        plugin->process(played, kBlock, held.get());
        while (editing.load()) {
            plugin->process(played, kBlock, blocks % 3 ? controllers.get() : shortNote.get());
            if (played.peak(kBlock) <= kSilence) silentBlocks++;
            blocks++;
        }
        plugin->process(played, kBlock, release.get());
    });
    // At least 1000 mapping edits that keep MIDI channel 1 on its target, and the project's
    // chunk (naming the open device) re-applied, going on until 100 blocks have run meanwhile.
    while (blocks.load() == 0)
        std::this_thread::yield();
    const std::vector<unsigned char> project = plugin->chunk();
    long first = blocks.load();
    for (int round = 0; round < 250 || blocks.load() < first + 100; round++) {
        synth.addMapRow(-1);
        synth.setMapTarget(1, round % 3);
        synth.removeMapRow();
        synth.setMapTarget(0, 0);
        synth.setSync(round % 2);
        synth.refreshBusInfo();
        plugin->setChunk(project);
    }
    editing = false;
    audio.join();
    EXPECT_EQ(silentBlocks, 0) << "of " << blocks.load() << " blocks";
    EXPECT_LT(renderQuiet(*plugin, 20), kSilence) << "a note-off was lost";
}
