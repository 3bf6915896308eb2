// Offline renders through the JACK device against a private JACK server: a test client plays
// a sine while it hears a note held, as a synthesizer would. An offline host is paced by the
// server so that its file holds what the client played; a realtime one never waits.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "jackharness.h"
#include "rewire/midi.h"
#include "rewire/rewiremixerapi.h"
#include "rtcheck.h"
#include "rwhost_runner.h"

namespace {
const int kServerRate = 48000;
const int kPeriod = 256;
const int kBlock = 256;

double peak(const std::vector<float>& s) {
    float most = 0;
    for (float v : s)
        most = std::max(most, std::fabs(v));
    return most;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

class JackOfflineTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<CPrivateJackServer>(kServerRate, kPeriod);
        ASSERT_TRUE(server->start()) << "jackd did not start";
        synth = std::make_unique<CJackTestClient>("synth", 1, kServerRate, true);
        ASSERT_TRUE(synth->activate());
    }

    /// The JACK device with the test synthesizer on its first two inputs and its MIDI.
    static std::string registry() {
        return "[Library]\nDevices=1\n[Device0]\nName=JACK\nKind=Jack\nChannels=2\n"
               "In1=synth:voice\nIn2=synth:voice\nMidi1=synth:midi_in_1\n";
    }

    CTestInstall install;
    std::unique_ptr<CPrivateJackServer> server;
    std::unique_ptr<CJackTestClient> synth;
};

// rwhost render without --realtime tells the plug-in it renders offline: the JACK device paces
// the render by the server, the file holds the synthesizer's playing of the demo song, and
// rwhost says why the render took its time.
TEST_F(JackOfflineTest, RwhostRenderHoldsWhatTheApplicationPlayed) {
    install.addBundle(0, "ReWire.bundle", "1.8.0", registry());
    const std::string out = install.root() + "/offline.wav";
    Outcome run = rwhost(std::string("render ") + RWB_PLUGIN_PATH + " --device 0 --rate 48000 " +
                         "--midi " + RWB_DEMO_SONG + " --out " + out);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("real-time pace: a device follows its own clock"), std::string::npos)
        << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(out, wav));
    ASSERT_GE(wav.channel[0].size(), size_t(7 * wav.rate));
    EXPECT_GT(peak(wav.channel[0]), 0.05);
    EXPECT_GT(rms(wav.channel[0], wav.rate, 7 * wav.rate), 0.01);
}

// Told from the first block that it renders offline, the device paces the render from its
// start: a note from the song's first frame sounds within its first fifth of a second (a host
// judged by its pace would have run ahead by then).
TEST_F(JackOfflineTest, RwhostRenderIsPacedFromItsFirstBlock) {
    install.addBundle(0, "ReWire.bundle", "1.8.0", registry());
    const std::string song = install.root() + "/note.mid";
    const std::string out = install.root() + "/note.wav";
    writeBytes(song, songFile(0, 4));
    Outcome run = rwhost(std::string("render ") + RWB_PLUGIN_PATH + " --device 0 --rate 48000 " +
                         "--midi " + song + " --out " + out);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(out, wav));
    long first = firstNonZero(wav.channel[0]);
    EXPECT_GE(first, 0);
    EXPECT_LT(first, wav.rate / 5);
}

// A host that does not say how it renders and drives blocks as fast as it can is taken for an
// offline one by its pace and paced by the server: a held note sounds from the first second
// on. Told that it renders in real time, the device waits no more: the next seconds go by at
// once (and are mostly silence, the server being far behind).
TEST_F(JackOfflineTest, AFastHostThatDoesNotSayIsPacedAndARealtimeOneNeverWaits) {
    CLockstepHost host(kServerRate, kBlock, kServerRate, 9);
    ASSERT_TRUE(host.open(install, registry(), "JACK"));
    const int seconds = 6;
    auto start = std::chrono::steady_clock::now();
    for (long frames = 0; frames < seconds * kServerRate; frames += kBlock) {
        if (frames == 0) host.pending.push_back({0, asData(0x90, 69, 100), 0});
        host.driveBlock();
    }
    double paced = secondsSince(start);
    const std::vector<float>& heard = host.recording[0];
    EXPECT_GT(paced, 0.8 * (seconds - 1));
    EXPECT_GT(peak(heard), 0.05);
    EXPECT_GT(rms(heard, kServerRate, seconds * kServerRate), 0.1);

    host.mixer->setRenderMode(kRWBRenderRealtime);
    start = std::chrono::steady_clock::now();
    for (long frames = 0; frames < 2 * kServerRate; frames += kBlock)
        host.driveBlock();
    EXPECT_LT(secondsSince(start), 1.0);
}

// Offline with the server gone, each block that should have held its sound counts, and the
// device's state says how many came short.
TEST_F(JackOfflineTest, AnOfflineRenderWithoutItsServerCountsTheBlocksThatCameShort) {
    CLockstepHost host(kServerRate, kBlock, kServerRate, 2);
    ASSERT_TRUE(host.open(install, registry(), "JACK"));
    host.mixer->setRenderMode(kRWBRenderOffline);
    for (int block = 0; block < 20; block++)
        host.driveBlock();
    synth->close();
    server->kill();
    for (int block = 0; block < 40; block++)
        host.driveBlock();
    CStr status = host.mixer->getDevice(host.deviceIndex)->getStatus();
    EXPECT_NE(std::string(status.asChar()).find("of an offline render came short"),
              std::string::npos)
        << status.asChar();
}

// A realtime host, driven by the server's cycles: whether it says so or says nothing, the drive
// calls neither wait nor allocate (in builds without a sanitizer runtime, which owns the heap
// and takes locks of its own), and the held note sounds.
TEST_F(JackOfflineTest, ARealtimeHostNeverWaitsNorAllocatesInTheDevice) {
    CLockstepHost host(kServerRate, kBlock, kServerRate, 5);
    ASSERT_TRUE(host.open(install, registry(), "JACK"));
    std::atomic<long> waits{0}, heapCalls{0}, blocks{0};
    host.render = [&](float* const* outputs, int frames) {
        if (blocks++ == 0) host.pending.push_back({0, asData(0x90, 69, 100), 0});
        if (blocks == 2 * kServerRate / kBlock) host.mixer->setRenderMode(kRWBRenderRealtime);
        long switches = voluntarySwitches();
        heapCalls += heapCallsOf([&] {
            host.mixer->process(const_cast<float**>(outputs), frames, int(host.pending.size()),
                                host.pending.data());
        });
        waits += voluntarySwitches() - switches;
    };
    synth->onCycle = [&host](long cycle) { host.cycle(cycle); };
    host.start();
    bool ran = host.waitFor(4 * kServerRate);
    // The synthesizer's cycles drive the host: they end before the host goes.
    synth->close();
    ASSERT_TRUE(ran);
    EXPECT_GT(rms(host.recording[0], 3 * kServerRate, 4 * kServerRate), 0.1);
    if (!RWB_SANITIZER_RUNTIME) {
        EXPECT_EQ(waits.load(), 0);
        EXPECT_EQ(heapCalls.load(), 0);
        EXPECT_EQ(heapCallsOf([] { operator delete(operator new(24)); }), 2);
    }
}
