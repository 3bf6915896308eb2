#include <climits>
#include <cmath>

#include "mixerfixture.h"
#include "rewire/rewireapi.h"

namespace {
std::string oneDevice(const std::string& entries) {
    return "[Library]\nDevices=1\n[Device0]\nName=Probe\n" + entries;
}

const ReWireMIDIEvent& sentEvent(CReWireDevice* device, int i) {
    return device->getInputParams().fInputEvents.fEvents[i].fMIDIEvent;
}

uint32_t sentCount(CReWireDevice* device) {
    return device->getInputParams().fInputEvents.fCount;
}

float expectedTone(int channel, int frame) {
    return 0.25f * float(std::sin(6.283185307179586 * (110.0 + 55.0 * channel) * frame / 44100));
}
} // namespace

TEST_F(MixerTest, TargetsAreNamedByBusAndChannelAndAtMost1024AreKept) {
    openMixer("[Library]\nDevices=2\n[Device0]\nKind=Tone\nBuses=3\nBus0=Main\n"
              "Bus0Channels=A,B\nBus1=\nBus1Channels=A\nBus2=Spare\nBusChannels=0\n"
              "[Device1]\nKind=Tone\nBuses=255\nBusChannels=16\n");
    CReWireDevice* device = openDevice(0);
    ASSERT_EQ(device->getBusses(), 3);
    EXPECT_EQ(device->getBusName(0), CStr("Main: A"));
    EXPECT_EQ(device->getBusName(1), CStr("Main: B"));
    EXPECT_EQ(device->getBusName(2), CStr("A"));
    EXPECT_EQ(device->getTarget(1)->target.fChannel, 1);
    EXPECT_EQ(device->getTarget(2)->bus, 1);
    EXPECT_EQ(device->getTarget(2)->target.fBus, 1);

    CReWireDevice* large = openDevice(1);
    ASSERT_EQ(large->getBusses(), CReWireDevice::kMaxTargets);
    EXPECT_EQ(large->getTarget(1023)->bus, 63);
    EXPECT_EQ(large->getTarget(1023)->channel, 15);
    EXPECT_EQ(large->getTarget(1024), nullptr);
}

TEST_F(MixerTest, MIDIIsConvertedByKindForItsTarget) {
    openMixer(oneDevice("Kind=Synth\nBuses=2\nBus0=Keys\nBus0Channels=A,B\nBus1=Pads\n"
                        "Bus1Channels=X,Y,Z\n"));
    CReWireDevice* device = openDevice(0);
    ASSERT_EQ(device->getBusses(), 5);
    COutputs outputs(kFrames);
    process(outputs, kFrames,
            {{0, asData(0x92, 60, 0), 2},      // note-on without velocity: a note-off
             {0, asData(0xF0, 1, 2), 0},       // system exclusive: dropped
             {3, asData(0x95, 64, 1), 4},      // softest note-on, channel comes from the target
             {0, asData(0xF8, 0, 0), 0},       // clock: dropped
             {0, asData(0x80, 61, 64), 0},     // note-off loses its velocity
             {0, asData(0xB0, 7, 99), 1},      // control change
             {0, asData(0xC0, 5, 77), 1},      // program change has no second byte
             {0, asData(0xE0, 0x12, 0x40), 1}, // pitch bend
             {0, asData(0xA0, 60, 33), 1},     // polyphonic pressure
             {0, asData(0xD0, 44, 55), 1},     // channel pressure
             {0, asData(0x90, 60, 100), -1},   // no target
             {0, asData(0x90, 60, 100), 5}});  // beyond the targets
    struct Expected {
        int status, data1, data2, bus, channel, frame;
    } expected[] = {{128, 60, 0, 1, 0, 0},  {144, 64, 1, 1, 2, 3}, {128, 61, 0, 0, 0, 0},
                    {176, 7, 99, 0, 1, 0},  {192, 5, 0, 0, 1, 0},  {224, 0x12, 0x40, 0, 1, 0},
                    {160, 60, 33, 0, 1, 0}, {208, 44, 0, 0, 1, 0}};
    ASSERT_EQ(sentCount(device), 8u);
    for (int i = 0; i < 8; i++) {
        const ReWireMIDIEvent& event = sentEvent(device, i);
        EXPECT_EQ(event.fEventType, kReWireMIDIEvent) << i;
        EXPECT_EQ(event.fStatus, expected[i].status) << i;
        EXPECT_EQ(event.fData1, expected[i].data1) << i;
        EXPECT_EQ(event.fData2, expected[i].data2) << i;
        EXPECT_EQ(event.fTarget.fBus, expected[i].bus) << i;
        EXPECT_EQ(event.fTarget.fChannel, expected[i].channel) << i;
        EXPECT_EQ(event.fFrameOffset, uint32_t(expected[i].frame)) << i;
    }
}

// A drive call takes at most 1000 events: the rest of a slice's events go with further calls,
// the slice's audio with the last one.
TEST_F(MixerTest, EventsBeyondOneDriveCallGoWithTheNextCall) {
    openMixer("");
    CReWireDevice* device = openDevice(0);
    std::vector<CMIDIDATA> events;
    for (int i = 0; i < 1200; i++)
        events.push_back({0, asData(0xB0, 1, i % 128), i % 2 ? 0 : 9});
    COutputs outputs(kFrames);
    process(outputs, kFrames, events);
    EXPECT_EQ(sentCount(device), 600u);
    for (int i = 0; i < 1200; i++)
        events[size_t(i)].target = 0;
    process(outputs, kFrames, events);
    ASSERT_EQ(sentCount(device), 200u);
    EXPECT_EQ(sentEvent(device, 0).fData2, 1000 % 128);
    EXPECT_EQ(device->getInputParams().fFrames, kFrames);
}

TEST_F(MixerTest, TransportIsConvertedToLibraryUnits) {
    openMixer("");
    CReWireDevice* device = openDevice(1);
    COutputs outputs(kFrames);
    mixer->setPos(1.5);
    mixer->setTempo(92.5);
    mixer->setMetre(6, 8);
    mixer->setLoop(1);
    mixer->setLocators(2.0, 4.25);
    process(outputs, 100);
    const ReWireDriveAudioInputParams& input = device->getInputParams();
    EXPECT_EQ(input.fPosition, 23040);
    EXPECT_EQ(input.fTempo, 92500u);
    EXPECT_EQ(input.fFrames, 100);
    EXPECT_EQ(input.fLoopActive, 1u);
    EXPECT_EQ(input.fLoopFrom, 30720);
    EXPECT_EQ(input.fLoopTo, 65280);
    EXPECT_EQ(input.fBeatsPerBar, 6u);
    EXPECT_EQ(input.fBeatUnit, 8u);
    EXPECT_EQ(input.fTransportMode, 0);

    mixer->setPlaying(true);
    mixer->setPlaying(true);
    process(outputs);
    EXPECT_EQ(input.fTransportMode, 2);
    process(outputs);
    EXPECT_EQ(input.fTransportMode, 1);
    mixer->setPlaying(false);
    process(outputs);
    EXPECT_EQ(input.fTransportMode, 0);
    // Positions beyond the 32-bit pulse range stay at its ends instead of wrapping.
    mixer->setPos(1e9);
    mixer->setLocators(-1e9, -0.00005);
    process(outputs);
    EXPECT_EQ(input.fPosition, INT32_MAX);
    EXPECT_EQ(input.fLoopFrom, INT32_MIN);
    EXPECT_EQ(input.fLoopTo, 0) << "truncated toward zero";
    // Starting and stopping before a block leaves nothing to announce.
    mixer->setPlaying(true);
    mixer->setPlaying(false);
    process(outputs);
    EXPECT_EQ(input.fTransportMode, 0);
}

// A device's latency and state come through the library's own entry points; a latency past
// any use is cut, and a library without those entry points has neither to report.
TEST_F(MixerTest, DeviceLatencyAndStateComeFromTheLibraryWhenItHasThem) {
    const std::string registry = "[Library]\nDevices=3\n[Device0]\nKind=Flat\nLatency=300\n"
                                 "Status=waiting for the server\n[Device1]\nKind=Tone\n"
                                 "[Device2]\nKind=Flat\nLatency=99999999\n";
    for (const char* library : {RWB_TEST_LIBRARY, RWB_TEST_LIBRARY_TWENTY_EXPORTS}) {
        SCOPED_TRACE(library);
        bool own = std::string(library) == RWB_TEST_LIBRARY;
        openMixer(registry, kFrames, library);
        CReWireDevice* device = mixer->getDevice(0);
        EXPECT_EQ(device->getLatency(), 0) << "closed";
        openDevice(0);
        EXPECT_EQ(device->getLatency(), own ? 300 : 0);
        EXPECT_EQ(device->getStatus(), CStr(own ? "waiting for the server" : ""));
        EXPECT_EQ(openDevice(1)->getLatency(), 0);
        EXPECT_EQ(openDevice(2)->getLatency(), own ? CReWireDevice::kMaxLatencyFrames : 0);
        mixer.reset();
    }
}

// The synthesizer serves outputs 1 and 2 only; the tone device's drive fails and adds nothing.
TEST_F(MixerTest, OutputsNoDeviceServesStayUntouched) {
    openMixer("[Library]\nDevices=2\n[Device0]\nKind=Synth\n[Device1]\nKind=Tone\nFailDrive=1\n");
    openDevice(0);
    openDevice(1);
    COutputs outputs(kFrames, 0.5f);
    process(outputs, kFrames, {{0, asData(0x90, 69, 127), 0}});
    process(outputs);
    EXPECT_NE(outputs.data[0][kFrames - 1], 0.5f);
    EXPECT_GT(mixer->outs.peak[1], 0.0f);
    for (int n = 2; n < CAudioOuts::kCount; n++) {
        EXPECT_EQ(outputs.data[n][kFrames - 1], 0.5f) << n;
        EXPECT_EQ(mixer->outs.peak[n], 0.0f) << n;
    }
    EXPECT_FALSE(
        ReWireIsBitInBitFieldSet(mixer->getDevice(0)->getOutputParams().fRenderedChannels, 2));
}

// Two tone devices add into what the outputs held; the meters show the loudest device.
TEST_F(MixerTest, OpenDevicesAddIntoTheOutputsAndRaisePeaks) {
    openMixer("[Library]\nDevices=2\n[Device0]\nKind=Tone\n[Device1]\nKind=Tone\n");
    openDevice(0);
    openDevice(1);
    COutputs outputs(kFrames, 0.125f);
    process(outputs);
    for (int n = 0; n < CAudioOuts::kCount; n++) {
        for (int f = 0; f < kFrames; f += 17)
            ASSERT_NEAR(outputs.data[n][size_t(f)], 0.125f + 2 * expectedTone(n, f), 1e-4) << n;
        EXPECT_GT(mixer->outs.peak[n], 0.2f) << n;
        EXPECT_LE(mixer->outs.peak[n], 0.25f) << n;
    }
    mixer->outs.peak[3] = 0.9f;
    process(outputs);
    EXPECT_EQ(mixer->outs.peak[3], 0.9f) << "a meter only rises while playing";
    mixer->closeDevice(1);
    outputs.fill(0);
    process(outputs);
    EXPECT_NEAR(outputs.data[1][100], expectedTone(1, 2 * kFrames + 100), 1e-4);
}

TEST_F(MixerTest, DeviceChannelsBeyondEightAreNeverRequested) {
    openMixer(oneDevice("Kind=Tone\nChannels=12\n"));
    CReWireDevice* device = openDevice(0);
    EXPECT_EQ(device->getChannels(), 12);
    COutputs outputs(kFrames);
    process(outputs);
    const ReWireDriveAudioOutputParams& out = device->getOutputParams();
    for (int n = 0; n < 12; n++) {
        EXPECT_EQ(ReWireIsBitInBitFieldSet(device->getInputParams().fWantedChannels, n), n < 8);
        EXPECT_EQ(ReWireIsBitInBitFieldSet(out.fRenderedChannels, n), n < 8);
    }
}

TEST_F(MixerTest, ChangedTargetsRaiseTheFlagWhenTheDeviceMayAnnounceIt) {
    openMixer("[Library]\nDevices=2\n"
              "[Device0]\nName=Changes\nKind=Synth\nTargetsChangeAfter=3\n"
              "[Device1]\nName=Mute\nKind=Synth\nTargetsChangeAfter=1\nEventLimit=0\n");
    CReWireDevice* device = openDevice(0);
    EXPECT_EQ(device->getBusses(), 3);
    COutputs outputs(kFrames);
    process(outputs);
    process(outputs);
    EXPECT_FALSE(mixer->getTargetsChanged());
    process(outputs);
    EXPECT_TRUE(mixer->getTargetsChanged());
    mixer->setTargetsChanged(false);
    process(outputs);
    EXPECT_FALSE(mixer->getTargetsChanged());

    mixer->closeDevice(0);
    openDevice(1);
    process(outputs);
    process(outputs);
    EXPECT_FALSE(mixer->getTargetsChanged());
}

// Devices refuse to open, to close a few times or for good; the library refuses to close a few
// times, and closing the mixer still releases it.
TEST_F(MixerTest, RefusedOpenAndRefusedCloseKeepTheState) {
    openMixer("[Library]\nRefuseClose=5\nDevices=3\n"
              "[Device0]\nKind=Tone\nRefuseOpen=1\n"
              "[Device1]\nKind=Tone\nRefuseClose=2\n"
              "[Device2]\nKind=Tone\nRefuseClose=-1\n");
    EXPECT_FALSE(mixer->openDevice(0));
    EXPECT_FALSE(mixer->getDevice(0)->isActive());
    EXPECT_TRUE(mixer->openDevice(1));
    mixer->closeDevice(1);
    EXPECT_TRUE(mixer->getDevice(1)->isActive());
    mixer->closeDevice(1);
    EXPECT_TRUE(mixer->getDevice(1)->isActive());
    mixer->closeDevice(1);
    EXPECT_FALSE(mixer->getDevice(1)->isActive());
    EXPECT_TRUE(mixer->openDevice(2));
    for (int i = 0; i < 5; i++)
        mixer->closeDevice(2);
    EXPECT_TRUE(mixer->getDevice(2)->isActive());
    mixer->close();
    EXPECT_FALSE(mixer->isActive());
    EXPECT_FALSE(IsReWireLoadedByThisInstance());
    EXPECT_EQ(mixer->deviceCount(), 3);
}

TEST_F(MixerTest, CloseGivesUpWhenTheLibraryRefusesForGood) {
    // The library stays open for the rest of the process, so this runs in a child process.
    EXPECT_EXIT(
        {
            openMixer("[Library]\nRefuseClose=-1\n");
            mixer->setCloseTimeout(30);
            mixer->close();
            bool stayed = mixer->isActive() && IsReWireLoadedByThisInstance();
            exit(stayed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(MixerTest, SetFormatReallocatesOnlyOnChangeTellsTheLibraryAndCutsLongerBlocks) {
    openMixer("", 512);
    float* buffer = mixer->getBuffer(0);
    mixer->setFormat(kRate, 512);
    EXPECT_EQ(mixer->getBuffer(0), buffer);

    // The tone device renders at the rate it was told: 110 Hz at 22050 frames per second.
    mixer->setFormat(22050, 512);
    openDevice(2);
    COutputs outputs(512);
    process(outputs, 512);
    float atQuarterCycle = outputs.data[0][size_t(22050 / 110 / 4)];
    EXPECT_NEAR(atQuarterCycle, 0.25f, 0.01f);
    // Blocks longer than the buffers are cut.
    COutputs longer(1024, 0.5f);
    process(longer, 1024);
    EXPECT_NE(longer.data[0][511], 0.5f);
    EXPECT_EQ(longer.data[0][512], 0.5f);
    EXPECT_EQ(longer.data[0][1023], 0.5f);

    CReWireMixer closed(kRate, 64);
    closed.setFormat(kRate, 4096);
    ASSERT_NE(closed.getBuffer(7), nullptr);
    closed.getBuffer(7)[4095] = 1.0f;
}
