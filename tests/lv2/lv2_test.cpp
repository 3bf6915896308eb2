// The LV2 instrument driven through its descriptor as a host drives it: MIDI kept over a run
// that cannot render, time positions that the plug-in carries on between messages and takes in
// the fields other hosts send, the state as the VST chunk, and a state restored while audio
// runs. (MIDI at its frame through rwhost: the bridge tests, run for both formats.)
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "lv2host.h"
#include "measures.h"
#include "soundmeasure.h"
#include "testinstall.h"

using namespace lv2test;

namespace {
const int kPolySynth = 0, kDrums = 1, kTones = 2;
const int kRate = 48000;
const int kBlock = 512;
// The device sees positions in whole ticks: 3.1 frames at 60 quarters a minute.
const double kTickFrames = 4.0;
} // namespace

class Lv2Test : public ::testing::Test {
protected:
    void SetUp() override { library.addBundle(0, "ReWire.bundle"); }
    std::unique_ptr<Instance> open(int device) {
        auto instance = std::make_unique<Instance>(lib, uris, kRate, kBlock);
        EXPECT_TRUE(instance->valid());
        EXPECT_EQ(instance->restore(chunkWith(device, 1, {0})), LV2_STATE_SUCCESS);
        return instance;
    }
    /// The drum machine's hits over blocks of the given size, with the positions given at
    /// their frames (frame counted from the first block's start).
    std::vector<long> drumHits(const std::vector<std::pair<long, Position>>& positions, int blocks,
                               int block = kBlock) {
        auto drums = open(kDrums);
        for (int b = 0; b < blocks; b++) {
            long start = long(b) * block;
            for (const auto& [frame, p] : positions)
                if (frame >= start && frame < start + block) drums->position(frame - start, p);
            drums->run(block);
        }
        return onsets(drums->recorded[0], kRate / 20);
    }

    CTestInstall library;
    Library lib;
    UridMap uris;
};

TEST_F(Lv2Test, OneInstrumentThatNeedsAUridMap) {
    ASSERT_NE(lib.plugin, nullptr);
    const LV2_Feature* none[] = {nullptr};
    EXPECT_EQ(lib.plugin->instantiate(lib.plugin, kRate, RWB_LV2_BUNDLE, none), nullptr);
    Instance plain(lib, uris);
    ASSERT_TRUE(plain.valid());
    plain.run(64);
    EXPECT_EQ(plain.latency, 0.0f);
}

// A run that cannot render (here an output not connected) keeps its notes for the next run.
TEST_F(Lv2Test, MidiOfARunThatCannotRenderSoundsInTheNext) {
    auto synth = open(kPolySynth);
    synth->connectOutput(5, false);
    synth->midi(10, 0x90, 69, 100);
    synth->run(kBlock);
    synth->connectOutput(5, true);
    synth->run(kBlock);
    EXPECT_EQ(firstNonZero(synth->recorded[0]), kBlock + 1);
}

// A host sends a position only when something changes: the hits go on at the tempo from the
// one message; a later message moves them, including one in the middle of a block; the metre's
// beat unit counts.
TEST_F(Lv2Test, PositionsHoldBetweenMessagesAndApplyFromTheirFrame) {
    // stopped, then started at frame 300 of the first block at 60 bpm; at 2 s a jump back to
    // beat 0 at 120 bpm in eighths, which is 60 quarters a minute
    Position stopped{120, 4, 4, 0, 0, 0, 0};
    Position at60{60, 4, 4, -1, -1, 0, 1};
    Position eighths{120, 6, 8, -1, -1, 0, 1};
    std::vector<long> hits =
        drumHits({{0, stopped}, {300, at60}, {2 * kRate + 100, eighths}}, 4 * kRate / kBlock);
    ASSERT_GE(hits.size(), 6u);
    EXPECT_NEAR(double(hits[0]), 300.0, kTickFrames);
    EXPECT_NEAR(double(hits[1]), 300.0 + 24000.0, kTickFrames);
    EXPECT_NEAR(double(hits[2]), 300.0 + 48000.0, kTickFrames);
    EXPECT_NEAR(double(hits[3]), 300.0 + 72000.0, kTickFrames);
    EXPECT_NEAR(double(hits[4]), 2.0 * kRate + 100, kTickFrames);
    EXPECT_NEAR(double(hits[5]), 2.0 * kRate + 100 + 24000.0, kTickFrames);

    // bar and beat within the bar, without a beat count: half a bar of 4/4 in, the next hit is
    // an eighth on
    std::vector<long> fromBar = drumHits({{0, Position{120, 4, 4, 1, 2.25, -1, 1}}}, 50);
    ASSERT_GE(fromBar.size(), 1u);
    EXPECT_NEAR(double(fromBar[0]), 6000.0, kTickFrames);
}

// The latency port carries the open device's latency, here after restores that switch devices.
TEST(Lv2Latency, PortCarriesTheOpenDevicesLatency) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=2\n[Device0]\nName=Late\nKind=Flat\nLatency=300\n"
                      "[Device1]\nName=Prompt\nKind=Tone\n");
    Library lib;
    UridMap uris;
    Instance plugin(lib, uris);
    ASSERT_EQ(plugin.restore(chunkWith(0, 1, {0})), LV2_STATE_SUCCESS);
    plugin.run(64);
    EXPECT_EQ(plugin.latency, 300.0f);
    ASSERT_EQ(plugin.restore(chunkWith(1, 1, {0})), LV2_STATE_SUCCESS);
    plugin.run(64);
    EXPECT_EQ(plugin.latency, 0.0f);
}

// The state is the VST chunk: each instance saves its own, the second instance in the process
// keeps the device it could not open as its choice, and bad state changes nothing.
TEST_F(Lv2Test, EachInstanceSavesItsOwnChunk) {
    auto first = open(kTones);
    Instance second(lib, uris, kRate, kBlock);
    ASSERT_TRUE(second.valid());
    const Bytes firstChunk = chunkWith(kTones, 0, {0, 2});
    const Bytes secondChunk = chunkWith(kDrums, 1, {1});
    ASSERT_EQ(first->restore(firstChunk), LV2_STATE_SUCCESS);
    ASSERT_EQ(second.restore(secondChunk), LV2_STATE_SUCCESS);
    EXPECT_EQ(first->save(), firstChunk);
    EXPECT_EQ(second.save(), secondChunk);

    second.run(kBlock);
    EXPECT_EQ(firstNonZero(second.recorded[0]), -1);
    first->run(kBlock);
    EXPECT_GT(rms(first->recorded[2], 0), 0.01);

    Bytes huge((1 << 20) + 1, 0);
    EXPECT_NE(first->restore(huge), LV2_STATE_SUCCESS);
    EXPECT_EQ(first->save(), firstChunk);
}

// Restores and saves on this thread while another renders with notes: the audio goes on, every
// saved chunk is one of those restored, and the last restore holds.
TEST_F(Lv2Test, StateRestoredWhileAudioRuns) {
    auto synth = open(kPolySynth);
    const Bytes chunks[] = {chunkWith(kPolySynth, 1, {0}), chunkWith(kPolySynth, 0, {1, 0}),
                            chunkWith(kTones, 1, {2})};
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        while (!stop.load()) {
            int n = blocks.fetch_add(1);
            synth->midi(n % kBlock, n % 2 ? 0x80 : 0x90, 60, 100);
            synth->run(kBlock);
        }
    });
    int mismatches = 0;
    for (int i = 0; i < 300; i++) {
        ASSERT_EQ(synth->restore(chunks[i % 3]), LV2_STATE_SUCCESS);
        Bytes saved = synth->save();
        if (saved != chunks[i % 3]) mismatches++;
        std::this_thread::yield();
    }
    ASSERT_EQ(synth->restore(chunks[2]), LV2_STATE_SUCCESS);
    int before = blocks.load();
    while (blocks.load() < before + 20)
        std::this_thread::yield();
    stop.store(true);
    audio.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(synth->save(), chunks[2]);
    // the tone device plays on output 3 in the last blocks
    const std::vector<float>& tones = synth->recorded[2];
    EXPECT_GT(rms(tones, long(tones.size()) - 10 * kBlock), 0.01);
}
