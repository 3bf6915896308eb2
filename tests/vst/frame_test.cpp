// The VST frame as a host sees it: the descriptor, both dispatchers, the bridges, the host
// requests and the entry logic, driven through the descriptor's function pointers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "vst/audioeffectx.h"
#include "vst/vstentry.h"

namespace {

struct HostCall {
    VstInt32 opcode;
    VstIntPtr value;
};

std::vector<HostCall> hostCalls;
VstIntPtr hostVersionAnswer = 2400;

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr value, void*, float) {
    hostCalls.push_back({opcode, value});
    return opcode == hostOpVersion ? hostVersionAnswer : 0;
}

int liveProbes = 0;

// A plug-in with its own dispatcher, as the real one has: it counts every request that reaches
// it, then lets the frame answer.
class CProbe : public AudioEffectX {
public:
    explicit CProbe(audioMasterCallback master) : AudioEffectX(master, 4, 2) { ++liveProbes; }
    ~CProbe() override { --liveProbes; }

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override {
        ++reached;
        return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    }
    void close() override { ++closes; }
    void suspend() override { ++suspends; }
    void processReplacing(float**, float**, VstInt32 frames) override { lastFrames = frames; }
    VstInt32 canDo(char* text) override {
        return std::strcmp(text, "receiveVstMidiEvent") == 0 ? 1 : -1;
    }
    VstInt32 getChunk(void** data, bool isPreset) override {
        *data = chunkBytes;
        lastPreset = isPreset;
        return sizeof(chunkBytes);
    }
    VstInt32 setChunk(void*, VstInt32 size, bool isPreset) override {
        lastChunkSize = size;
        lastPreset = isPreset;
        return 0;
    }

    int reached = 0;
    int closes = 0;
    int suspends = 0;
    int lastFrames = -1;
    int lastChunkSize = -1;
    bool lastPreset = false;
    char chunkBytes[5] = {1, 2, 3, 4, 5};
};

VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls.clear();
        hostVersionAnswer = 2400;
        probe = new CProbe(recordingHost);
        effect = probe->getAeffect();
    }
    void TearDown() override {
        if (probe) dispatch(effect, effClose);
    }

    CProbe* probe = nullptr;
    AEffect* effect = nullptr;
};

} // namespace

// Values a plug-in cannot use are answered by the frame and never reach the plug-in's own
// dispatcher; 64-bit values are not cut to 32 bits before they are checked.
TEST_F(FrameTest, UnusableRequestsNeverReachThePlugIn) {
    char bytes[8] = {};
    struct Case {
        const char* what;
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        void* ptr;
        float opt;
    };
    const Case refused[] = {
        {"program 4 of 4", effSetProgram, 0, 4, nullptr, 0},
        {"program -1", effSetProgram, 0, -1, nullptr, 0},
        {"program 2^32", effSetProgram, 0, VstIntPtr(1) << 32, nullptr, 0},
        {"rate NaN", effSetSampleRate, 0, 0, nullptr, std::nanf("")},
        {"rate inf", effSetSampleRate, 0, 0, nullptr, INFINITY},
        {"rate 0", effSetSampleRate, 0, 0, nullptr, 0},
        {"block -64", effSetBlockSize, 0, -64, nullptr, 0},
        {"block 2^32", effSetBlockSize, 0, VstIntPtr(1) << 32, nullptr, 0},
        {"chunk -3", effSetChunk, 0, -3, bytes, 0},
        {"chunk 2^33", effSetChunk, 0, VstIntPtr(1) << 33, bytes, 0},
        {"chunk null", effSetChunk, 0, 8, nullptr, 0},
        {"output -1", effGetOutputProperties, -1, 0, bytes, 0},
        {"output 2 of 2", effGetOutputProperties, 2, 0, bytes, 0},
        {"output INT_MIN", effGetOutputProperties, INT_MIN, 0, bytes, 0},
        {"input 1 of 1", effGetInputProperties, 1, 0, bytes, 0},
    };
    for (const Case& c : refused)
        EXPECT_EQ(dispatch(effect, c.opcode, c.index, c.value, c.ptr, c.opt), 0) << c.what;
    EXPECT_EQ(probe->reached, 0);
    EXPECT_EQ(probe->lastChunkSize, -1);

    dispatch(effect, effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(effect, effGetProgram), 3);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(probe->getSampleRate(), 48000.0f);
    dispatch(effect, effSetBlockSize, 0, (VstIntPtr(1) << 32) + 256);
    EXPECT_EQ(probe->getBlockSize(), 256);
    char midi[] = "receiveVstMidiEvent";
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, midi), 1);
    EXPECT_EQ(probe->reached, 5);
}

TEST_F(FrameTest, ChunkRequestsPassAddressLengthAndKind) {
    void* data = nullptr;
    EXPECT_EQ(dispatch(effect, effGetChunk, 1, 0, &data), 5);
    EXPECT_EQ(data, probe->chunkBytes);
    EXPECT_TRUE(probe->lastPreset);
    char bytes[16] = {};
    dispatch(effect, effSetChunk, 0, 16, bytes);
    EXPECT_EQ(probe->lastChunkSize, 16);
    EXPECT_FALSE(probe->lastPreset);
}

TEST_F(FrameTest, CloseCallsCloseThenDestroysOnce) {
    // the object's own dispatcher only closes; the descriptor's entry also destroys
    EXPECT_EQ(probe->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(probe->closes, 1);
    const int before = liveProbes;
    EXPECT_EQ(dispatch(effect, effClose), 1);
    EXPECT_EQ(liveProbes, before - 1);
    probe = nullptr;
}

TEST_F(FrameTest, BridgesRefuseForeignDescriptorsAndMissingBuffers) {
    EXPECT_EQ(AudioEffect::dispatchEffectClass(nullptr, effIdentify, 0, 0, nullptr, 0), 0);
    AEffect foreign;
    std::memset(&foreign, 0, sizeof(foreign));
    EXPECT_EQ(AudioEffect::dispatchEffectClass(&foreign, effIdentify, 0, 0, nullptr, 0), 0);

    float left[8] = {}, right[8] = {};
    float* outs[2] = {left, right};
    float* ins[1] = {left};
    effect->processReplacing(effect, ins, nullptr, 8);
    effect->processReplacing(effect, nullptr, outs, 8); // the probe announces one input
    effect->processReplacing(effect, ins, outs, -1);
    EXPECT_EQ(probe->lastFrames, -1);
    effect->processReplacing(effect, ins, outs, 8);
    EXPECT_EQ(probe->lastFrames, 8);
    probe->setNumInputs(0);
    effect->processReplacing(effect, nullptr, outs, 0);
    EXPECT_EQ(probe->lastFrames, 0);
}

TEST_F(FrameTest, MainsOnAsksForMidiOnlyWhenThePlugInTakesIt) {
    class CQuiet : public AudioEffectX {
    public:
        using AudioEffectX::AudioEffectX;
        void processReplacing(float**, float**, VstInt32) override {}
    };
    AEffect* quiet = (new CQuiet(recordingHost, 1, 0))->getAeffect();
    dispatch(quiet, effMainsChanged, 0, 1);
    EXPECT_TRUE(hostCalls.empty());
    dispatch(quiet, effClose);

    dispatch(effect, effMainsChanged, 0, 1); // the probe accepts MIDI events
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, hostOpWantMidi);
    EXPECT_EQ(hostCalls[0].value, 1);
    dispatch(effect, effMainsChanged, 0, 0);
    EXPECT_EQ(probe->suspends, 1);
    EXPECT_EQ(hostCalls.size(), 1u);
}

// --- entry logic ----------------------------------------------------------------------------

namespace {

AudioEffect* makeProbe(audioMasterCallback master) {
    return new CProbe(master);
}
AudioEffect* makeNothing(audioMasterCallback) {
    return nullptr;
}
AudioEffect* makeThrowing(audioMasterCallback) {
    throw std::bad_alloc();
}

} // namespace

TEST(VstEntry, HostVersionGatesCreationAndFailuresGiveNull) {
    hostCalls.clear();
    const int before = liveProbes;
    hostVersionAnswer = 0;
    EXPECT_EQ(vstEntryMain(recordingHost, makeProbe), nullptr);
    EXPECT_EQ(liveProbes, before);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, hostOpVersion);
    // the legacy entry asks the host nothing
    hostCalls.clear();
    AEffect* legacy = vstEntryLegacy(recordingHost, makeProbe);
    ASSERT_NE(legacy, nullptr);
    EXPECT_TRUE(hostCalls.empty());
    dispatch(legacy, effClose);

    hostVersionAnswer = 2400;
    AEffect* e = vstEntryMain(recordingHost, makeProbe);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(liveProbes, before + 1);
    EXPECT_EQ(dispatch(e, effClose), 1);
    EXPECT_EQ(liveProbes, before);

    EXPECT_EQ(vstEntryMain(nullptr, makeProbe), nullptr);
    EXPECT_EQ(vstEntryMain(recordingHost, makeNothing), nullptr);
    EXPECT_EQ(vstEntryMain(recordingHost, makeThrowing), nullptr);
    EXPECT_EQ(vstEntryLegacy(recordingHost, makeThrowing), nullptr);
    EXPECT_EQ(vstEntryLegacy(recordingHost, nullptr), nullptr);
}
