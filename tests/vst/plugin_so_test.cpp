// The test instrument as a host loads it: a shared object with exactly two entry points.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "vst/aeffect.h"

namespace {

VstIntPtr versionAnswer = 2400;
int versionRequests = 0;

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == hostOpVersion) {
        ++versionRequests;
        return versionAnswer;
    }
    return 0;
}

using EntryProc = AEffect* (*)(audioMasterCallback);

class PluginObject : public ::testing::Test {
protected:
    void SetUp() override {
        library = dlopen(RWB_TESTSYNTH_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        versionAnswer = 2400;
        versionRequests = 0;
    }
    void TearDown() override {
        if (library) dlclose(library);
    }
    EntryProc entry(const char* name) { return reinterpret_cast<EntryProc>(dlsym(library, name)); }

    void* library = nullptr;
};

VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

} // namespace

TEST_F(PluginObject, ExportsOnlyTheTwoEntryPoints) {
    EXPECT_NE(entry("VSTPluginMain"), nullptr);
    EXPECT_NE(entry("main"), nullptr);
    for (const char* hidden :
         {"createEffectInstance", "_Z20createEffectInstancePFlP7AEffectiilPvfE", "vstEntryMain",
          "_Z12vstEntryMainPFlP7AEffectiilPvfEPFP11AudioEffectS3_E"})
        EXPECT_EQ(dlsym(library, hidden), nullptr) << hidden;
}

TEST_F(PluginObject, EntryPointsCreateAWorkingInstrument) {
    versionAnswer = 0;
    EXPECT_EQ(entry("VSTPluginMain")(host), nullptr);
    EXPECT_EQ(versionRequests, 1);

    versionAnswer = 2400;
    AEffect* e = entry("VSTPluginMain")(host);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_TRUE(e->flags & effFlagsIsSynth);
    EXPECT_EQ(dispatch(e, effGetPlugCategory), kPlugCategSynth);

    // a note-on at frame 10 sounds from frame 10 on
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(e, effMainsChanged, 0, 1);
    VstMidiEvent note;
    std::memset(&note, 0, sizeof(note));
    note.type = kVstMidiType;
    note.deltaFrames = 10;
    note.midiData[0] = 0x90;
    note.midiData[1] = 69;
    note.midiData[2] = 127;
    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    EXPECT_EQ(dispatch(e, effProcessEvents, 0, 0, &events), 1);
    std::vector<float> left(64, 9.0f), right(64, 9.0f);
    float* outs[2] = {left.data(), right.data()};
    e->processReplacing(e, nullptr, outs, 64);
    for (int i = 0; i <= 10; ++i)
        EXPECT_EQ(left[i], 0.0f) << i;
    EXPECT_GT(std::fabs(left[11]), 0.0f);
    for (float v : right)
        EXPECT_EQ(v, 0.0f); // no transport: no clicks
    EXPECT_EQ(dispatch(e, effClose), 1);

    AEffect* legacy = entry("main")(host);
    ASSERT_NE(legacy, nullptr);
    EXPECT_EQ(legacy->uniqueID, 0x72777473);
    EXPECT_EQ(dispatch(legacy, effClose), 1);
}
