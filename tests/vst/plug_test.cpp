#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/synth.h"
#include "plughost.h"
#include "vst/plug.h"
#include "vst/slicer.h"

namespace {
// The slices ("p" and their frames) and messages ("m" and the packed message) of a block with
// the event lists, handed over in order; a status of 0 stands for another event type.
std::string listSlices(const std::vector<std::vector<stress::Midi>>& lists, int frames) {
    auto inbox = std::make_unique<CEventInbox>();
    for (const auto& events : lists) {
        stress::EventList list(events);
        VstEvent** slots = list.get()->events; // a short array the list over-allocates
        for (size_t i = 0; i < events.size(); i++)
            if (!events[i].status) slots[i]->type = 6;
        inbox->add(events.empty() ? nullptr : list.get());
    }
    std::string calls;
    char text[16];
    sliceAtEvents(
        *inbox, frames, [&](int n) { calls += "p" + std::to_string(n) + " "; },
        [&](const CHostMidi& e) {
            std::snprintf(text, sizeof text, "m%x ", e.message);
            calls += text;
        });
    return calls;
}

std::string slices(const std::vector<stress::Midi>& events, int frames) {
    return listSlices({events}, frames);
}
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

// Several lists for one block sound in time order; at one frame, in the order they came.
TEST(Slicer, MergesTheListsOfOneBlockByFrame) {
    EXPECT_EQ(listSlices({{{20, 0x90, 1, 1}, {40, 0x91, 1, 1}},
                          {{10, 0x92, 1, 1}, {20, 0x93, 1, 1}, {20, 0x94, 1, 1}},
                          {{0, 0x95, 1, 1}, {40, 0x96, 1, 1}}},
                         64),
              "m10195 p10 m10192 p10 m10190 m10193 m10194 p20 m10191 m10196 p24 ");
    // within a list a late event still sounds at the list's current position
    EXPECT_EQ(listSlices({{{30, 0x90, 1, 1}, {5, 0x91, 1, 1}}, {{10, 0x92, 1, 1}}}, 64),
              "p10 m10192 p20 m10190 m10191 p34 ");
}

TEST(PlugTest, ProgramNamesStayTerminated) {
    CTestInstall library;
    stress::Plugin plugin;
    char longName[] = "a program name far longer than twenty-four bytes";
    plugin.dispatch(effSetProgramName, 0, 0, longName);
    char name[64];
    memset(name, 'x', sizeof name);
    plugin.dispatch(effGetProgramName, 0, 0, name);
    EXPECT_EQ(std::string(name), std::string(longName, 23));
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 1, 0, name), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
}

// A whole chunk padded past 1 MiB is refused unread.
TEST(PlugTest, ChunksPastOneMebibyteChangeNothing) {
    CTestInstall library;
    stress::Plugin plugin;
    std::vector<unsigned char> padded = plugin.chunk();
    padded.resize((1 << 20) + 1);
    plugin.synth().setSync(0);
    plugin.setChunk(padded);
    EXPECT_EQ(plugin.synth().getSync(), 0);
}

TEST(PlugTest, OutputsAreSilencedEvenWithoutADevice) {
    CTestInstall library;
    stress::Plugin plugin;
    stress::Outputs out;
    for (float* channel : out.pointers)
        std::fill_n(channel, 100, 0.75f);
    plugin.process(out, 100, nullptr);
    EXPECT_EQ(out.peak(100), 0.0f);
}

TEST(PlugTest, FormatReachesTheEngineAndLongerBlocksAreRenderedWhole) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    stress::Plugin plugin;
    CSynth& synth = plugin.synth();
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.7f);
    EXPECT_EQ(synth.getRate(), 48000);
    synth.setDevice(2); // test tones on every channel
    plugin.dispatch(effSetBlockSize, 0, 64);
    EXPECT_EQ(synth.getFrames(), 64);
    stress::Outputs out;
    plugin.process(out, 1000, nullptr);
    for (int n = 0; n < 8; n++) {
        float tail = 0;
        for (int i = 900; i < 1000; i++)
            tail = std::max(tail, std::abs(out.channel(n)[size_t(i)]));
        EXPECT_GT(tail, 0.01f) << n;
    }
}

// The host's tempo reaches the device with its fraction, its time signature as given; a host
// without one, or with one no score has, plays in 4/4.
TEST(PlugTest, HostTempoAndMetreReachTheDevice) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    stress::Plugin plugin;
    ASSERT_EQ(plugin.dispatch(effVendorSpecific, kChooseDeviceRequest, 1), 1);
    const ReWireDriveAudioInputParams& drive = plugin.synth().getDevice()->getInputParams();
    VstTimeInfo& time = stress::hostTime();
    stress::Outputs out;
    auto metreOf = [&](VstInt32 flags, int numerator, int denominator) {
        time.flags = kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying | flags;
        time.timeSigNumerator = numerator;
        time.timeSigDenominator = denominator;
        plugin.process(out, 64, nullptr);
        return std::to_string(drive.fBeatsPerBar) + "/" + std::to_string(drive.fBeatUnit);
    };
    time.tempo = 92.5;
    EXPECT_EQ(metreOf(kVstTimeSigValid, 7, 8), "7/8");
    EXPECT_EQ(drive.fTempo, 92500u);
    time.tempo = 119.99996;
    EXPECT_EQ(metreOf(kVstTimeSigValid, 3, 4), "3/4");
    EXPECT_EQ(drive.fTempo, 120000u) << "rounded, not truncated";
    EXPECT_EQ(metreOf(0, 3, 4), "4/4");
    for (auto [numerator, denominator] : {std::pair{0, 4}, {-3, 4}, {3, 0}, {3, 6}, {1000, 4}})
        EXPECT_EQ(metreOf(kVstTimeSigValid, numerator, denominator), "4/4")
            << numerator << "/" << denominator;
}

// The open device's latency is the descriptor's initial delay: a device switch or a change
// seen at the editor's idle sets it and asks the host to re-read it, only when it changed.
TEST(PlugTest, DeviceLatencyIsTheInitialDelayAndItsChangesAreAnnounced) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=2\n[Device0]\nName=Late\nKind=Flat\nLatency=300\n"
                      "Status=warming up\n[Device1]\nName=Prompt\nKind=Tone\n");
    stress::Plugin plugin;
    const AEffect* fx = plugin.effect();
    const int asked = stress::ioChangedRequests();
    char status[kDeviceStatusBytes] = "x";
    EXPECT_EQ(plugin.dispatch(effVendorSpecific, kDeviceStatusRequest, 0, status), 0);

    ASSERT_EQ(plugin.dispatch(effVendorSpecific, kChooseDeviceRequest, 0), 1);
    EXPECT_EQ(fx->initialDelay, 300);
    EXPECT_EQ(stress::ioChangedRequests(), asked + 1);
    EXPECT_EQ(plugin.dispatch(effVendorSpecific, kDeviceStatusRequest, 0, status), 1);
    EXPECT_STREQ(status, "warming up");
    plugin.dispatch(effEditIdle);
    EXPECT_EQ(stress::ioChangedRequests(), asked + 1) << "nothing changed";

    plugin.synth().setDevice(1); // as the editor's device list does it
    plugin.dispatch(effEditIdle);
    EXPECT_EQ(fx->initialDelay, 0);
    EXPECT_EQ(stress::ioChangedRequests(), asked + 2);
    EXPECT_EQ(plugin.dispatch(effVendorSpecific, kDeviceStatusRequest, 0, status), 1);
    EXPECT_STREQ(status, "");
}
