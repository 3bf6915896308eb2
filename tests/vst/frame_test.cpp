// The VST frame as a host sees it: the descriptor, both dispatchers, the bridges, the host
// requests and the entry logic, driven through the descriptor's function pointers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "vst/audioeffectx.h"
#include "vst/vstentry.h"

namespace {

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
};

std::vector<HostCall> hostCalls;
VstIntPtr hostVersionAnswer = 2400;
VstTimeInfo hostTime;

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float) {
    hostCalls.push_back({opcode, index, value});
    if (opcode == hostOpVersion) return hostVersionAnswer;
    if (opcode == hostOpGetTime) return reinterpret_cast<VstIntPtr>(&hostTime);
    return 0;
}

int liveProbes = 0;

class CProbe : public AudioEffectX {
public:
    explicit CProbe(audioMasterCallback master, VstInt32 programs = 4)
        : AudioEffectX(master, programs, 2) {
        ++liveProbes;
    }
    ~CProbe() override { --liveProbes; }

    void close() override { ++closes; }
    void suspend() override { ++suspends; }
    void processReplacing(float**, float**, VstInt32 frames) override {
        ++processCalls;
        lastFrames = frames;
    }
    void setProgram(VstInt32 program) override {
        ++setProgramCalls;
        AudioEffectX::setProgram(program);
    }
    VstInt32 canDo(char* text) override {
        return std::strcmp(text, "receiveVstMidiEvent") == 0 ? 1 : -1;
    }
    bool getOutputProperties(VstInt32 index, VstPinProperties* p) override {
        p->label[0] = static_cast<char>('1' + index);
        p->label[1] = 0;
        p->flags = kVstPinIsActive;
        return true;
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

    using AudioEffectX::callHost;

    int closes = 0;
    int suspends = 0;
    int processCalls = 0;
    int lastFrames = -1;
    int setProgramCalls = 0;
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
        std::memset(&hostTime, 0, sizeof(hostTime));
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

TEST_F(FrameTest, SetProgramOnlyForExistingPrograms) {
    dispatch(effect, effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(effect, effGetProgram), 3);
    for (VstIntPtr bad : {VstIntPtr(4), VstIntPtr(-1), VstIntPtr(1) << 32, VstIntPtr(1) << 40,
                          std::numeric_limits<VstIntPtr>::min()})
        dispatch(effect, effSetProgram, 0, bad);
    EXPECT_EQ(probe->setProgramCalls, 1);
    EXPECT_EQ(dispatch(effect, effGetProgram), 3);
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

TEST_F(FrameTest, CanDoAndPinPropertiesCheckTheirArguments) {
    char yes[] = "receiveVstMidiEvent";
    char no[] = "receiveVstTimeInfo";
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, yes), 1);
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, no), -1);
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, nullptr), 0);

    VstPinProperties pin;
    std::memset(&pin, 0x55, sizeof(pin));
    EXPECT_EQ(dispatch(effect, effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "2");
    EXPECT_EQ(pin.flags, kVstPinIsActive);
    std::memset(&pin, 0x55, sizeof(pin));
    for (VstInt32 bad : {-1, INT_MIN, 2, INT_MAX})
        EXPECT_EQ(dispatch(effect, effGetOutputProperties, bad, 0, &pin), 0) << bad;
    EXPECT_EQ(pin.label[0], 0x55);
    EXPECT_EQ(dispatch(effect, effGetOutputProperties, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effect, effGetInputProperties, -1, 0, &pin), 0);
}

TEST_F(FrameTest, ChunkRequestsPassAddressLengthAndKind) {
    void* data = nullptr;
    EXPECT_EQ(dispatch(effect, effGetChunk, 1, 0, &data), 5);
    EXPECT_EQ(data, probe->chunkBytes);
    EXPECT_TRUE(probe->lastPreset);
    EXPECT_EQ(dispatch(effect, effGetChunk, 0, 0, nullptr), 0);

    char bytes[16] = {};
    dispatch(effect, effSetChunk, 0, 16, bytes);
    EXPECT_EQ(probe->lastChunkSize, 16);
    EXPECT_FALSE(probe->lastPreset);
    probe->lastChunkSize = -1;
    dispatch(effect, effSetChunk, 0, 16, nullptr);
    dispatch(effect, effSetChunk, 0, -3, bytes);
    dispatch(effect, effSetChunk, 0, VstIntPtr(1) << 33, bytes);
    EXPECT_EQ(probe->lastChunkSize, -1);
}

TEST(FrameBridge, BadRequestsNeverReachAnOverridingDispatcher) {
    // a plug-in class that answers chunk, event and rate requests in its own dispatcher
    class COwnDispatcher : public CProbe {
    public:
        using CProbe::CProbe;
        VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) override {
            switch (opcode) {
            case effSetSampleRate:
            case effGetChunk:
            case effSetChunk:
            case effProcessEvents:
            case effGetOutputProperties:
                ++ownCalls;
                return 1;
            default:
                return CProbe::dispatcher(opcode, index, value, ptr, opt);
            }
        }
        int ownCalls = 0;
    };
    auto* own = new COwnDispatcher(recordingHost);
    AEffect* e = own->getAeffect();
    char bytes[8] = {};
    dispatch(e, effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 0.0f);
    dispatch(e, effGetChunk, 0, 0, nullptr);
    dispatch(e, effSetChunk, 0, 8, nullptr);
    dispatch(e, effSetChunk, 0, -8, bytes);
    dispatch(e, effProcessEvents, 0, 0, nullptr);
    dispatch(e, effGetOutputProperties, -1, 0, bytes);
    EXPECT_EQ(own->ownCalls, 0);
    EXPECT_EQ(dispatch(e, effSetChunk, 0, 8, bytes), 1);
    EXPECT_EQ(dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f), 1);
    EXPECT_EQ(own->ownCalls, 2);
    dispatch(e, effClose);
}

TEST_F(FrameTest, SampleRateAndBlockSizeTakeOnlyUsableValues) {
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, -1.0f);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::infinity());
    EXPECT_EQ(probe->getSampleRate(), 48000.0f);
    dispatch(effect, effSetBlockSize, 0, (VstIntPtr(1) << 32) + 256);
    EXPECT_EQ(probe->getBlockSize(), 256);
    dispatch(effect, effSetBlockSize, 0, -64);
    dispatch(effect, effSetBlockSize, 0, 0);
    EXPECT_EQ(probe->getBlockSize(), 256);
}

TEST_F(FrameTest, BridgesRefuseForeignDescriptorsAndMissingBuffers) {
    EXPECT_EQ(AudioEffect::dispatchEffectClass(nullptr, effIdentify, 0, 0, nullptr, 0), 0);
    AEffect foreign;
    std::memset(&foreign, 0, sizeof(foreign));
    EXPECT_EQ(AudioEffect::dispatchEffectClass(&foreign, effIdentify, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(AudioEffect::getParameterClass(nullptr, 0), 0.0f);
    AudioEffect::setParameterClass(nullptr, 0, 1.0f);

    float left[8] = {}, right[8] = {};
    float* outs[2] = {left, right};
    float* ins[1] = {left};
    effect->processReplacing(effect, ins, nullptr, 8);
    effect->processReplacing(effect, nullptr, outs, 8); // the probe announces one input
    effect->processReplacing(effect, ins, outs, -1);
    AudioEffect::processClassReplacing(nullptr, ins, outs, 8);
    EXPECT_EQ(probe->processCalls, 0);
    effect->processReplacing(effect, ins, outs, 8);
    EXPECT_EQ(probe->processCalls, 1);
    EXPECT_EQ(probe->lastFrames, 8);
    probe->setNumInputs(0);
    effect->processReplacing(effect, nullptr, outs, 0);
    EXPECT_EQ(probe->processCalls, 2);
}

TEST_F(FrameTest, MainsOnAsksForMidiOnlyWhenThePlugInTakesIt) {
    class CQuiet : public AudioEffectX {
    public:
        using AudioEffectX::AudioEffectX;
        void processReplacing(float**, float**, VstInt32) override {}
    };
    AEffect* quiet = (new CQuiet(recordingHost, 1, 0))->getAeffect();
    hostCalls.clear();
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

int factoryCalls = 0;

AudioEffect* makeProbe(audioMasterCallback master) {
    ++factoryCalls;
    return new CProbe(master);
}
AudioEffect* makeNothing(audioMasterCallback) {
    return nullptr;
}
AudioEffect* makeThrowing(audioMasterCallback) {
    throw std::bad_alloc();
}

} // namespace

TEST(VstEntry, HostVersionGatesCreation) {
    hostCalls.clear();
    factoryCalls = 0;
    const int before = liveProbes;
    hostVersionAnswer = 0;
    EXPECT_EQ(vstEntryMain(recordingHost, makeProbe), nullptr);
    EXPECT_EQ(factoryCalls, 0);
    EXPECT_EQ(liveProbes, before);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, hostOpVersion);

    hostVersionAnswer = 2400;
    AEffect* e = vstEntryMain(recordingHost, makeProbe);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(liveProbes, before + 1);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(liveProbes, before);
}

TEST(VstEntry, FailedCreationGivesNull) {
    hostVersionAnswer = 2400;
    EXPECT_EQ(vstEntryMain(nullptr, makeProbe), nullptr);
    EXPECT_EQ(vstEntryMain(recordingHost, makeNothing), nullptr);
    EXPECT_EQ(vstEntryMain(recordingHost, makeThrowing), nullptr);
    EXPECT_EQ(vstEntryLegacy(recordingHost, makeThrowing), nullptr);
    EXPECT_EQ(vstEntryLegacy(recordingHost, nullptr), nullptr);
}

TEST(VstEntry, LegacyEntryAsksTheHostNothing) {
    hostCalls.clear();
    hostVersionAnswer = 0;
    AEffect* e = vstEntryLegacy(recordingHost, makeProbe);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(hostCalls.empty());
    e->dispatcher(e, effClose, 0, 0, nullptr, 0);
}
