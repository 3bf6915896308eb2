#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <unistd.h>

#include "engine/synth.h"
#include "foundation/processgate.h"
#include "foundation/stream.h"
#include "rewire/midi.h"
#include "testinstall.h"

namespace {
using Bytes = std::vector<unsigned char>;

Bytes chunkOf(const CSynth& synth) {
    CMemoryStream s;
    synth.saveToStream(&s);
    return Bytes(s.getData(), s.getData() + s.getSize());
}

void loadChunk(CSynth& synth, const Bytes& bytes) {
    CMemoryStream s;
    s.write(bytes.data(), int(bytes.size()));
    s.seek(0, 0);
    synth.loadFromStream(&s);
}

// A chunk written record by record: tag, size field and the values that follow it.
struct ChunkWriter {
    CMemoryStream s;
    ChunkWriter& record(const char* tag, int size, std::initializer_list<int> values = {}) {
        s.writeStr(tag);
        s.writeInt(size);
        for (int v : values)
            s.writeInt(v);
        return *this;
    }
    Bytes bytes() { return Bytes(s.getData(), s.getData() + s.getSize()); }
};

const int kNoteOnCh1 = 0x643C90;
} // namespace

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { install(); }
    void install(const std::string& registry = std::string()) {
        library.addBundle(0, "ReWire.bundle", "1.8.0", registry);
    }
    CSynth& engine() {
        if (!synth) {
            synth = std::make_unique<CSynth>();
            synth->getMixer()->setCloseTimeout(500);
        }
        return *synth;
    }
    void process(int frames = 64) {
        std::vector<float> buffer(size_t(8 * frames));
        float* outputs[8];
        for (int n = 0; n < 8; n++)
            outputs[n] = &buffer[size_t(n * frames)];
        engine().process(outputs, frames);
    }

    CTestInstall library;
    std::unique_ptr<CSynth> synth;
};

TEST_F(EngineTest, MidiIsRoutedByTheMappingAndTheQueueIsBounded) {
    CSynth& s = engine();
    s.midiInput(kNoteOnCh1);
    s.midiInput(0x643C91); // no row for channel 2
    EXPECT_EQ(s.getQueuedMidi(), 1);
    s.resetMapping();
    s.midiInput(kNoteOnCh1);
    EXPECT_EQ(s.getQueuedMidi(), 1);
    s.addMapRow(0);
    for (int i = 1; i < CSynth::kMaxQueuedMidi; i++)
        EXPECT_TRUE(s.midiInput(kNoteOnCh1));
    EXPECT_FALSE(s.midiInput(kNoteOnCh1)) << "a full queue refuses, the caller renders first";
    EXPECT_EQ(s.getQueuedMidi(), CSynth::kMaxQueuedMidi);
    process();
    EXPECT_EQ(s.getQueuedMidi(), 0);
}

TEST_F(EngineTest, SyncOffTellsTheDeviceItIsStoppedButKeepsPosition) {
    CSynth& s = engine();
    s.setDevice(1);
    s.setPlaying(true);
    s.setPos(1.5);
    process();
    EXPECT_NE(s.getDevice()->getInputParams().fTransportMode, 0);
    s.setSync(0);
    s.setPos(2.0);
    process();
    const ReWireDriveAudioInputParams& in = s.getDevice()->getInputParams();
    EXPECT_EQ(in.fTransportMode, 0);
    EXPECT_EQ(in.fPosition, 2 * 15360);
}

// Each slice of a block starts at the song position of its own first frame, wrapped into a
// running cycle; playback starting is announced with the block's first slice only.
TEST_F(EngineTest, SlicesCarryThePositionOfTheirFirstFrame) {
    CSynth& s = engine();
    s.setDevice(1);
    s.setTempo(120); // two quarter notes a second
    s.setPlaying(true);
    s.setLoop(1);
    s.setLocators(0.0, 0.54);
    s.setPos(0.5);
    const ReWireDriveAudioInputParams& in = s.getDevice()->getInputParams();
    ASSERT_TRUE(s.beginBlock());
    process(441);
    EXPECT_EQ(in.fPosition, 7680);
    EXPECT_EQ(in.fTransportMode, 2);
    process(661);
    EXPECT_EQ(in.fPosition, 7987); // 0.52 quarter notes
    EXPECT_EQ(in.fTransportMode, 1);
    process(100);
    EXPECT_EQ(in.fPosition, 153) << "past the right locator the cycle starts again";
    s.endBlock();
    ASSERT_TRUE(s.beginBlock());
    process(64);
    EXPECT_EQ(in.fPosition, 7680) << "a block without a new host position starts at the last";
    s.endBlock();
}

TEST_F(EngineTest, DeviceSwitchingKeepsAtMostOneDeviceOpen) {
    CSynth& s = engine();
    CReWireMixer* mixer = s.getMixer();
    s.setDevice(2);
    EXPECT_TRUE(mixer->getDevice(2)->isActive());
    s.setDevice(0);
    EXPECT_FALSE(mixer->getDevice(2)->isActive());
    EXPECT_TRUE(mixer->getDevice(0)->isActive());
    s.setDevice(-1);
    EXPECT_EQ(s.getDevice(), nullptr);
    EXPECT_FALSE(mixer->getDevice(0)->isActive());
    s.setDevice(5);
    EXPECT_EQ(s.getDeviceIndex(), -1);
}

TEST_F(EngineTest, ChangedTargetsAreReReadAtTheNextIdle) {
    install("[Library]\nDevices=1\n[Device0]\nName=Changes\nTargetsChangeAfter=2\n");
    CSynth& s = engine();
    s.setDevice(0);
    int before = s.getDevice()->getBusses();
    s.updateIdle(CSynth::kIdleRebuildMapping, true);
    process();
    process();
    s.idle();
    EXPECT_EQ(s.getDevice()->getBusses(), before + 1);
    EXPECT_TRUE(s.getIdleFlags() & CSynth::kIdleRebuildMapping);
    s.updateIdle(CSynth::kIdleRebuildMapping, true);
    s.idle();
    EXPECT_FALSE(s.getIdleFlags() & CSynth::kIdleRebuildMapping);
}

TEST_F(EngineTest, ChunkRoundTripRestoresDeviceSyncAndMapping) {
    CSynth& s = engine();
    s.setDevice(1);
    s.setSync(0);
    s.addMapRow(-1);
    s.addMapRow(-1);
    s.setMapTarget(2, 5);
    Bytes saved = chunkOf(s);
    synth.reset();
    CSynth& fresh = engine();
    loadChunk(fresh, saved);
    EXPECT_EQ(fresh.getDeviceIndex(), 1);
    EXPECT_EQ(fresh.getSync(), 0);
    EXPECT_EQ(fresh.getMapping().getCount(), 3);
    EXPECT_EQ(fresh.getMapping().getChannel(2), 5);
    EXPECT_EQ(chunkOf(fresh), saved);
    EXPECT_TRUE(fresh.getIdleFlags() & CSynth::kIdleRebuildMapping);
}

TEST_F(EngineTest, ChunkRecordsApplyAsTheyCome) {
    CSynth& s = engine();
    s.setDevice(2);
    // Only "sync": device reopened, no mapping rows left.
    loadChunk(s, ChunkWriter().record("sync", 4, {0}).bytes());
    EXPECT_EQ(s.getSync(), 0);
    EXPECT_EQ(s.getDeviceIndex(), 2);
    EXPECT_TRUE(s.getMixer()->getDevice(2)->isActive());
    EXPECT_EQ(s.getMapping().getCount(), 0);
    // An unknown record is skipped by its size; a "mapch" before any "map" is dropped.
    loadChunk(s, ChunkWriter()
                     .record("xyz", 8, {7, 8})
                     .record("mapch", 4, {9})
                     .record("sync", 4, {1})
                     .record("map", 0)
                     .record("mapch", 4, {3})
                     .record("app", 4, {0})
                     .bytes());
    EXPECT_EQ(s.getSync(), 1);
    EXPECT_EQ(s.getMapping().getCount(), 1);
    EXPECT_EQ(s.getMapping().getChannel(0), 3);
    EXPECT_EQ(s.getDeviceIndex(), 0);
    EXPECT_FALSE(s.getMixer()->getDevice(2)->isActive());
}

// Reading stops at the first damaged record: a size that runs past the end, one that steps back
// (-11 leads to the record's own start: 4 + 3 tag bytes, 4 size bytes) and a record cut short.
TEST_F(EngineTest, DamagedChunksApplyWhatCameBeforeTheDamage) {
    CSynth& s = engine();
    const Bytes good =
        ChunkWriter().record("sync", 4, {0}).record("map", 0).record("mapch", 4, {2}).bytes();
    std::vector<Bytes> tails;
    for (int badSize : {1000, -8, -11})
        tails.push_back(ChunkWriter().record("zzz", badSize, {1}).record("sync", 4, {1}).bytes());
    const Bytes app = ChunkWriter().record("app", 4, {0}).bytes();
    for (size_t cut = 1; cut < app.size(); cut++)
        tails.emplace_back(app.begin(), app.begin() + long(cut));
    for (const Bytes& tail : tails) {
        SCOPED_TRACE(testing::PrintToString(tail));
        s.setDevice(-1);
        s.setSync(1);
        Bytes chunk = good;
        chunk.insert(chunk.end(), tail.begin(), tail.end());
        // A size that steps back would re-read the same record for ever: fail in seconds.
        alarm(10);
        loadChunk(s, chunk);
        alarm(0);
        EXPECT_EQ(s.getSync(), 0);
        EXPECT_EQ(s.getMapping().getCount(), 1);
        EXPECT_EQ(s.getMapping().getChannel(0), 2);
        EXPECT_EQ(s.getDeviceIndex(), -1);
    }
}

// A table retired while a block runs stays whole until that block leaves the gate: the block may
// still be reading it. The table's poison() and destructor mark when it was freed.
TEST(ProcessGate, RetiredTableOutlivesTheRunningBlock) {
    struct Table {
        std::atomic<bool>* freed;
        void poison() { freed->store(true); }
        ~Table() { freed->store(true); }
    };
    CProcessGate gate;
    std::atomic<bool> freed{false};
    ASSERT_TRUE(gate.enter());
    std::thread ui([&] { gate.retire(new Table{&freed}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(freed.load()) << "retired under a running block";
    gate.leave();
    ui.join();
    EXPECT_TRUE(freed.load());
}
