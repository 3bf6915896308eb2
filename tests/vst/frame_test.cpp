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

// A plug-in with its own dispatcher, as the real one has: it counts every request that reaches
// it, then lets the frame answer.
class CProbe : public AudioEffectX {
public:
    explicit CProbe(audioMasterCallback master) : AudioEffectX(master, 4, 2) {}

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override {
        ++reached;
        return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    }
    void processReplacing(float**, float**, VstInt32 frames) override { lastFrames = frames; }
    VstInt32 canDo(char* text) override {
        return std::strcmp(text, "receiveVstMidiEvent") == 0 ? 1 : -1;
    }

    int reached = 0;
    int lastFrames = -1;
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
TEST_F(FrameTest, OnlyUsableRequestsReachThePlugIn) {
    char bytes[8] = {};
    struct Case {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        void* ptr;
        float opt;
    };
    const Case refused[] = {
        {effSetProgram, 0, 4, nullptr, 0}, // programs 0 to 3
        {effSetProgram, 0, -1, nullptr, 0},
        {effSetProgram, 0, VstIntPtr(1) << 32, nullptr, 0},
        {effSetSampleRate, 0, 0, nullptr, std::nanf("")},
        {effSetSampleRate, 0, 0, nullptr, INFINITY},
        {effSetSampleRate, 0, 0, nullptr, 0},
        {effSetBlockSize, 0, -64, nullptr, 0},
        {effSetBlockSize, 0, VstIntPtr(1) << 32, nullptr, 0},
        {effSetChunk, 0, -3, bytes, 0},
        {effSetChunk, 0, VstIntPtr(1) << 33, bytes, 0},
        {effSetChunk, 0, 8, nullptr, 0},
        {effGetOutputProperties, -1, 0, bytes, 0},
        {effGetOutputProperties, 2, 0, bytes, 0}, // outputs 0 and 1
        {effGetOutputProperties, INT_MIN, 0, bytes, 0},
        {effGetInputProperties, 1, 0, bytes, 0},
    };
    for (const Case& c : refused) {
        dispatch(effect, c.opcode, c.index, c.value, c.ptr, c.opt);
        EXPECT_EQ(probe->reached, 0)
            << c.opcode << " " << c.index << " " << c.value << " " << c.opt;
    }

    dispatch(effect, effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(effect, effGetProgram), 3);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(probe->getSampleRate(), 48000.0f);
    dispatch(effect, effSetBlockSize, 0, (VstIntPtr(1) << 32) + 256);
    EXPECT_EQ(probe->getBlockSize(), 256);
    dispatch(effect, effSetChunk, 0, 8, bytes);
    EXPECT_EQ(probe->reached, 5);
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

TEST_F(FrameTest, MainsOnAsksTheHostForMidi) {
    dispatch(effect, effMainsChanged, 0, 1);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, hostOpWantMidi);
    EXPECT_EQ(hostCalls[0].value, 1);
}

TEST(VstEntry, HostVersionGatesCreationAndFailuresGiveNull) {
    EffectFactory makeProbe = [](audioMasterCallback master) -> AudioEffect* {
        return new CProbe(master);
    };
    EffectFactory makeNothing = [](audioMasterCallback) -> AudioEffect* { return nullptr; };
    EffectFactory makeThrowing = [](audioMasterCallback) -> AudioEffect* {
        throw std::bad_alloc();
    };
    hostVersionAnswer = 0;
    EXPECT_EQ(vstEntryMain(recordingHost, makeProbe), nullptr);
    hostVersionAnswer = 2400;
    AEffect* e = vstEntryMain(recordingHost, makeProbe);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(dispatch(e, effClose), 1);

    EXPECT_EQ(vstEntryMain(nullptr, makeProbe), nullptr);
    EXPECT_EQ(vstEntryMain(recordingHost, makeNothing), nullptr);
    EXPECT_EQ(vstEntryMain(recordingHost, makeThrowing), nullptr);
    EXPECT_EQ(vstEntryLegacy(recordingHost, makeThrowing), nullptr);
    EXPECT_EQ(vstEntryLegacy(recordingHost, nullptr), nullptr);
}
