#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/synth.h"
#include "testinstall.h"
#include "vst/plug.h"
#include "vst/slicer.h"

namespace {
// What the fake host answers to the time request; null for no answer.
VstTimeInfo* hostTime = nullptr;

VstIntPtr fakeHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == hostOpVersion) return kVstVersion;
    if (opcode == hostOpGetTime) return reinterpret_cast<VstIntPtr>(hostTime);
    return 0;
}

// The slices ("p" and their frames) and messages ("m" and the packed message) of a block with
// MIDI events {offset, status, data 1, data 2}; a status of 0 stands for another event type.
std::string slices(const std::vector<std::array<int, 4>>& events, int frames) {
    std::vector<VstMidiEvent> storage(events.size());
    // VstEvents ends in a short array that the host over-allocates.
    std::vector<unsigned char> raw(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(raw.data());
    list->numEvents = static_cast<VstInt32>(events.size());
    VstEvent** slots = list->events;
    for (size_t i = 0; i < events.size(); i++) {
        storage[i].type = events[i][1] ? kVstMidiType : 6;
        storage[i].deltaFrames = events[i][0];
        for (int b = 0; b < 3; b++)
            storage[i].midiData[b] = static_cast<unsigned char>(events[i][size_t(b) + 1]);
        slots[i] = reinterpret_cast<VstEvent*>(&storage[i]);
    }
    auto inbox = std::make_unique<CEventInbox>();
    inbox->add(events.empty() ? nullptr : list);
    std::string calls;
    char text[16];
    sliceAtEvents(
        *inbox, frames, [&](int n) { calls += "p" + std::to_string(n) + " "; },
        [&](int m) {
            std::snprintf(text, sizeof text, "m%x ", m);
            calls += text;
        });
    return calls;
}

struct Outputs {
    explicit Outputs(int frames, float fill = 1.0f) {
        for (int n = 0; n < 8; n++) {
            data[n].assign(size_t(frames), fill);
            pointers[n] = data[n].data();
        }
    }
    std::vector<float> data[8];
    float* pointers[8];
};
} // namespace

// Late events sound at the current position; those past the block at its end; other event
// types are skipped.
TEST(Slicer, SplitsAtEventOffsets) {
    EXPECT_EQ(slices({}, 64), "p64 ");
    EXPECT_EQ(slices({{0, 0x90, 60, 100}, {0, 0x91, 60, 100}, {10, 0x92, 60, 100}}, 64),
              "m643c90 m643c91 p10 m643c92 p54 ");
    EXPECT_EQ(slices({{64, 0x90, 60, 100}}, 64), "p64 m643c90 p0 ");
    EXPECT_EQ(slices({{20, 0x90, 1, 1}, {5, 0x91, 1, 1}, {-7, 0x92, 1, 1}, {999, 0x93, 1, 1}}, 64),
              "p20 m10190 m10191 m10192 p44 m10193 p0 ");
    EXPECT_EQ(slices({{3, 0, 0, 0}, {8, 0x90, 1, 1}}, 16), "p8 m10190 p8 ");
}

class PlugTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
    }
    void create(bool withLibrary = true) {
        if (withLibrary) library.addBundle(0, "ReWire.bundle");
        effect = (new CPlug(fakeHost))->getAeffect();
    }
    CSynth* synth() { return static_cast<CPlug*>(effect->object)->getSynth(); }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    std::vector<unsigned char> chunk() {
        void* data = nullptr;
        auto size = dispatch(effGetChunk, 0, 0, &data);
        auto* bytes = static_cast<unsigned char*>(data);
        return std::vector<unsigned char>(bytes, bytes + size);
    }
    void process(Outputs& out, int frames) {
        effect->processReplacing(effect, nullptr, out.pointers, frames);
    }

    CTestInstall library;
    AEffect* effect = nullptr;
};

TEST_F(PlugTest, ProgramNamesStayTerminated) {
    create(false);
    char longName[] = "a program name far longer than twenty-four bytes";
    dispatch(effSetProgramName, 0, 0, longName);
    char name[64];
    memset(name, 'x', sizeof name);
    dispatch(effGetProgramName, 0, 0, name);
    EXPECT_EQ(std::string(name), std::string(longName, 23));
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 1, 0, name), 0);
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
}

TEST_F(PlugTest, ChunksComeFromTheEngineAndOnesPastOneMebibyteChangeNothing) {
    create(false);
    std::vector<unsigned char> fresh = chunk();
    EXPECT_EQ(fresh.size(), 59u);
    std::vector<unsigned char> edited = fresh;
    edited[27] = 0;    // sync off
    edited.resize(31); // and no mapping rows
    EXPECT_EQ(dispatch(effSetChunk, 0, VstIntPtr(edited.size()), edited.data()), 0);
    EXPECT_EQ(chunk(), edited);
    EXPECT_EQ(synth()->getSync(), 0);
    // A whole chunk padded past 1 MiB is refused unread.
    std::vector<unsigned char> huge = fresh;
    huge.resize((1 << 20) + 1);
    dispatch(effSetChunk, 0, VstIntPtr(huge.size()), huge.data());
    EXPECT_EQ(chunk(), edited);
}

TEST_F(PlugTest, OutputsAreSilencedEvenWithoutADevice) {
    create(false);
    Outputs out(100, 0.75f);
    process(out, 100);
    for (auto& channel : out.data)
        for (float v : channel)
            ASSERT_EQ(v, 0.0f);
}

// rwhost lists and chooses devices through these requests: what it shows is its own test.
TEST_F(PlugTest, VendorRequestsRefuseDevicesThatDoNotExist) {
    create();
    BridgeState state{};
    ASSERT_EQ(dispatch(effVendorSpecific, kBridgeStateRequest, 0, &state), 1);
    EXPECT_EQ(state.sync, 1);
    EXPECT_EQ(state.mapRows, 1);
    char name[kDeviceNameBytes] = {};
    EXPECT_EQ(dispatch(effVendorSpecific, kDeviceNameRequest, state.deviceCount, name), 0);
    EXPECT_EQ(dispatch(effVendorSpecific, kDeviceNameRequest, -1, name), 0);
    EXPECT_EQ(dispatch(effVendorSpecific, kChooseDeviceRequest, 1), 1);
    // a device that does not exist leaves the choice as it was
    EXPECT_EQ(dispatch(effVendorSpecific, kChooseDeviceRequest, state.deviceCount), 0);
    EXPECT_EQ(synth()->getDeviceIndex(), 1);
    EXPECT_EQ(dispatch(effVendorSpecific, kChooseDeviceRequest, -1), 1);
    EXPECT_EQ(synth()->getDeviceIndex(), -1);
    EXPECT_EQ(dispatch(effVendorSpecific, 0x12345678, 0, &state), 0);
}

TEST_F(PlugTest, HostTransportReachesTheEngine) {
    create();
    VstTimeInfo time{};
    time.tempo = 97.9;
    time.ppqPos = 6.5;
    time.cycleStartPos = 4;
    time.cycleEndPos = 8;
    time.flags = kVstTempoValid | kVstPpqPosValid | kVstTransportChanged |
                 kVstTransportCycleActive | kVstCyclePosValid | kVstTransportPlaying;
    hostTime = &time;
    Outputs out(64);
    process(out, 64);
    CReWireMixer* mixer = synth()->getMixer();
    EXPECT_EQ(mixer->getTempo(), 97);
    EXPECT_EQ(mixer->getPos(), 6.5);
    EXPECT_EQ(mixer->getLoop(), 1);
    EXPECT_EQ(mixer->getLoopEnd(), 8);
    EXPECT_TRUE(mixer->getPlaying());
    // Without the transport-changed bit, loop and play state keep their values.
    time.flags = kVstPpqPosValid;
    time.ppqPos = 7;
    process(out, 64);
    EXPECT_EQ(mixer->getPos(), 7);
    EXPECT_TRUE(mixer->getPlaying());
    EXPECT_EQ(mixer->getLoop(), 1);
    hostTime = nullptr;
    process(out, 64);
    EXPECT_EQ(mixer->getPos(), 7);
}

TEST_F(PlugTest, FormatReachesTheEngineAndLongerBlocksAreRenderedWhole) {
    create();
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.7f);
    EXPECT_EQ(synth()->getRate(), 48000);
    synth()->setDevice(2); // test tones on every channel
    dispatch(effSetBlockSize, 0, 64);
    EXPECT_EQ(synth()->getFrames(), 64);
    Outputs out(1000, 0.0f);
    process(out, 1000);
    for (auto& channel : out.data) {
        float tail = 0;
        for (int i = 900; i < 1000; i++)
            tail = std::max(tail, std::abs(channel[size_t(i)]));
        EXPECT_GT(tail, 0.01f);
    }
}
