// The JACK device driven directly, as the library's drive call does, against a private JACK
// server: an application that clicks on each note it hears and on each beat of JACK's transport
// is heard back on the host's time line at one latency, the one the device reports; and the
// device outlives its server.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "jackdevice.h"
#include "jackharness.h"

namespace {
const int kRate = 48000;
const int kPeriod = 256;
const int kBlock = 256;
const double kOneMillisecond = 48;

/// A host's side of the drive call: the transport, the metre and the MIDI of each block.
class CDeviceHost {
public:
    explicit CDeviceHost(const CJackSettings& settings) : device("JACK", settings) {
        CBusLayout layout = CJackDevice::layoutFor(settings.midiPorts);
        device.setLayouts(layout, layout);
        device.setHostFormat(kRate, kBlock);
    }

    void drive(float* const* outputs, int frames) {
        ReWireDriveAudioInputParams input{};
        ReWireDriveAudioOutputParams output{};
        input.fFrames = frames;
        input.fInputEvents.fEvents = events.data();
        input.fInputEvents.fCount = uint32_t(events.size());
        input.fInputEvents.fCapacity = uint32_t(events.size());
        for (int n = 0; n < device.getChannelCount(); n++) {
            ReWireSetBitInBitField(input.fWantedChannels, uint16_t(n));
            input.fBufferPointers[n] = outputs[n];
        }
        input.fTransportMode = playing ? 1 : 0;
        input.fPosition = int32_t(std::lround(quarters * 15360));
        input.fTempo = uint32_t(std::lround(tempo * 1000));
        input.fBeatsPerBar = uint32_t(beatsPerBar);
        input.fBeatUnit = uint32_t(beatUnit);
        device.drive(input, output, kRate);
        events.clear();
        if (playing) quarters += frames * tempo / 60.0 / kRate;
    }

    void noteOn(int offset) {
        ReWireEvent event{};
        event.fMIDIEvent.fEventType = kReWireMIDIEvent;
        event.fMIDIEvent.fFrameOffset = uint32_t(offset);
        event.fMIDIEvent.fStatus = 0x90;
        event.fMIDIEvent.fData1 = 60;
        event.fMIDIEvent.fData2 = 100;
        events.push_back(event);
    }

    CJackDevice device;
    bool playing = false;
    double quarters = 0;
    double tempo = 120;
    int beatsPerBar = 4, beatUnit = 4;
    std::vector<ReWireEvent> events;
};

CJackSettings clickerSettings() {
    CJackSettings settings;
    settings.channels = 2;
    settings.inputConnections[0] = "clicker:note";
    settings.inputConnections[1] = "clicker:beat";
    settings.midiConnections[0] = "clicker:midi_in_1";
    return settings;
}

/// Latencies of the clicks in s from frame from on against a grid of beats every beatFrames
/// from frame start, each between half a beat early and half a beat late.
std::vector<double> gridLatencies(const std::vector<float>& s, long from, double start,
                                  double beatFrames) {
    std::vector<double> latencies;
    for (double peak : clickPeaks(s, from, int(beatFrames / 2))) {
        double late = std::fmod(peak - start + beatFrames / 2, beatFrames) - beatFrames / 2;
        latencies.push_back(late);
    }
    return latencies;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

/// Largest distance of values from m.
double farthestFrom(const std::vector<double>& values, double m) {
    double far = 0;
    for (double value : values)
        far = std::max(far, std::fabs(value - m));
    return far;
}
} // namespace

// A song at 92.5 beats per minute in 3/4 with a note on every beat, on a host clock 208 ppm
// fast against the server's: the application's clicks for the notes and for the transport's
// beats come back at one steady latency, at most 1024 frames, which is the latency the device
// reports; JACK's transport has the exact tempo, the metre, and a bar, beat and tick that agree
// with its frame on the host's clock.
TEST(JackTimelineTest, NotesAndTransportBeatsComeBackAtTheReportedLatency) {
    CPrivateJackServer server(kRate, kPeriod);
    ASSERT_TRUE(server.start());
    CJackTestClient clicker("clicker", 1, kRate, true);
    const int seconds = 20;
    CLockstepHost host(kRate, kBlock, kRate - 10, seconds);
    clicker.onCycle = [&host](long cycle) { host.cycle(cycle); };
    ASSERT_TRUE(clicker.activate());
    CDeviceHost song(clickerSettings());
    song.tempo = 92.5;
    song.beatsPerBar = 3;
    ASSERT_TRUE(song.device.open());
    EXPECT_EQ(song.device.getStatus(), CStr());
    const long start = 100 * kBlock;
    const double beatFrames = 60.0 * kRate / song.tempo;
    long nextBeat = 0;
    host.render = [&](float* const* outputs, int frames) {
        long first = host.framesDriven();
        song.playing = first >= start;
        // A faulty host's offset far past the block holds back no later note.
        if (first == start) song.noteOn(-1);
        for (; song.playing && start + std::lround(nextBeat * beatFrames) < first + frames;
             nextBeat++)
            song.noteOn(int(start + std::lround(nextBeat * beatFrames) - first));
        song.drive(outputs, frames);
    };
    host.start();
    ASSERT_TRUE(host.waitFor(seconds * kRate));
    int reported = song.device.getLatency();
    clicker.close();

    long settled = start + 2 * kRate;
    std::vector<double> notes = gridLatencies(host.recording[0], settled, start, beatFrames);
    std::vector<double> beats = gridLatencies(host.recording[1], settled, start, beatFrames);
    ASSERT_GE(notes.size(), 25u);
    ASSERT_GE(beats.size(), 25u);
    double noteLatency = median(notes), beatLatency = median(beats);
    EXPECT_LE(farthestFrom(notes, noteLatency), kOneMillisecond);
    EXPECT_LE(farthestFrom(beats, beatLatency), kOneMillisecond);
    EXPECT_LE(std::fabs(noteLatency - beatLatency), kOneMillisecond) << "one time line";
    EXPECT_LE(noteLatency, 1024.0);
    EXPECT_NEAR(reported, noteLatency, kOneMillisecond) << "compensation lands on the grid";

    bool rolled = false;
    for (const CSeenTransport& seen : clicker.transport) {
        if (seen.state != JackTransportRolling || seen.frame < kRate) continue;
        rolled = true;
        ASSERT_EQ(seen.beatsPerMinute, 92.5);
        ASSERT_EQ(seen.beatsPerBar, 3.0f);
        ASSERT_EQ(seen.beatType, 4.0f);
        double counted = (seen.bar - 1) * 3 + seen.beat - 1 + seen.tick / seen.ticksPerBeat;
        // The frame counts the server's clock; bar, beat and tick the host's as its blocks reach
        // the device, within a block of where the host's clock has them: the blocks of a host
        // woken by the server's cycles shift against its clock by up to a block.
        double onHostClock = double(seen.frame) / host.serverPerHost();
        EXPECT_NEAR(counted * beatFrames, onHostClock, kBlock + 2 * kOneMillisecond) << seen.frame;
    }
    EXPECT_TRUE(rolled);
}

namespace {
/// A host on a clock of its own, as on its own sound card: a block every block's duration,
/// whatever the server does, recorded; and the idle side, called every 50 ms.
class CFreeRunningHost {
public:
    CFreeRunningHost(CDeviceHost& song, double seconds)
        : host(song), recording(size_t(seconds * kRate) + kBlock, 0.0f) {
        audio = std::thread([this] { run(); });
        idler = std::thread([this] {
            while (!done.load()) {
                host.device.idle();
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }

    ~CFreeRunningHost() { join(); }

    void join() {
        if (audio.joinable()) audio.join();
        done.store(true);
        if (idler.joinable()) idler.join();
    }

    /// Seconds played so far.
    double played() const { return double(framesDone.load()) / kRate; }

    void waitUntil(double seconds) const {
        while (played() < seconds)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    CDeviceHost& host;
    std::vector<float> recording;

private:
    void run() {
        auto next = std::chrono::steady_clock::now();
        const auto blockTime = std::chrono::microseconds(1000000L * kBlock / kRate);
        for (long first = 0; first + kBlock <= long(recording.size()); first += kBlock) {
            std::this_thread::sleep_until(next);
            next += blockTime;
            // The first channel is recorded.
            float* outputs[2] = {recording.data() + first, scratch.data()};
            host.drive(outputs, kBlock);
            framesDone.store(first + kBlock);
        }
    }

    std::vector<float> scratch = std::vector<float>(kBlock);
    std::thread audio, idler;
    std::atomic<long> framesDone{0};
    std::atomic<bool> done{false};
};
} // namespace

// The server dies 4 s into a 16 s song with its application and is back 2 s later with a
// longer period, the application a little later still: the device is silent meanwhile, says
// why, opens again by itself, makes the connections its registry entry names once the ports are
// there, and the application is heard again, at the latency of the new period. A port that
// never appears is named in the status.
TEST(JackTimelineTest, AServerKilledAndStartedAgainIsHeardAgainWithoutTheUser) {
    auto server = std::make_unique<CPrivateJackServer>(kRate, kPeriod);
    ASSERT_TRUE(server->start());
    auto player = std::make_unique<CJackTestClient>("player", 0, kRate, true);
    ASSERT_TRUE(player->activate());
    CJackSettings settings;
    settings.channels = 2;
    settings.inputConnections[0] = "player:sine";
    settings.inputConnections[1] = "nowhere:left";
    CDeviceHost song(settings);
    ASSERT_TRUE(song.device.open());
    EXPECT_EQ(song.device.getStatus(), CStr("port nowhere:left not found"));
    CFreeRunningHost host(song, 16);

    host.waitUntil(4);
    int latency = song.device.getLatency();
    server->kill();
    player.reset();
    host.waitUntil(5);
    EXPECT_EQ(song.device.getLatency(), 0) << "nothing to compensate while silent";
    EXPECT_GE(song.device.getStatus().pos("JACK server"), 0) << song.device.getStatus().asChar();
    host.waitUntil(6);
    server = std::make_unique<CPrivateJackServer>(kRate, 2 * kPeriod);
    ASSERT_TRUE(server->start());
    host.waitUntil(8);
    player = std::make_unique<CJackTestClient>("player", 0, kRate, true);
    ASSERT_TRUE(player->activate());
    host.join();
    player.reset();

    const std::vector<float>& out = host.recording;
    // Heard, not necessarily without a dropout: this host keeps its own pace on a busy machine.
    EXPECT_GT(rms(out, 2 * kRate, 4 * kRate), 0.1) << "heard before";
    EXPECT_EQ(rms(out, long(4.5 * kRate), 6 * kRate), 0.0) << "silent while the server is away";
    EXPECT_GT(rms(out, 11 * kRate, 16 * kRate), 0.1) << "heard again";
    EXPECT_EQ(song.device.getStatus(), CStr("port nowhere:left not found"));
    // A period longer by 256 frames makes the ring's fill, the events' delay and the return
    // through JACK each longer by it or more.
    EXPECT_GE(song.device.getLatency(), latency + 2 * kPeriod);
}
