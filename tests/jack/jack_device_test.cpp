// The JACK device of our ReWire library against a private JACK server: a test client plays a
// sine and clicks into the device's inputs and listens to its MIDI and transport, while a host
// drives the plug-in's mixer in lockstep with the server's cycles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "jackharness.h"
#include "rewire/midi.h"

namespace {
const int kServerRate = 48000;
const int kPeriod = 256;
const int kBlock = 256;
const int kClickInterval = 4800;
// How far latencies may spread over a run against a real server, in frames. The device times
// the server's periods by their arrival, so the scheduling jitter of this busy test machine shows
// up here (10 to 31 frames seen with both cores loaded); the steadiness to a frame is proven on
// simulated clocks by the clock bridge test. A millisecond still tells a frame-exact device from
// one that moves events to period boundaries.
const double kSteadyFrames = 48.0;

// Latencies in server frames of the clicks heard on output from host frame from on; the clicks
// are played on the frames that are multiples of kClickInterval. A longer gap between two heard
// clicks adds the clicks lost in it to missing.
std::vector<double> clickLatencies(const CLockstepHost& host, const std::vector<float>& s,
                                   long from, int& missing) {
    std::vector<double> latencies;
    double last = -1;
    for (double peak : clickPeaks(s, from, kClickInterval / 2)) {
        double at = host.serverFrameOf(peak);
        latencies.push_back(std::fmod(at, kClickInterval));
        if (last >= 0) missing += int(std::lround((at - last) / kClickInterval)) - 1;
        last = at;
    }
    return latencies;
}
} // namespace

class JackDeviceTest : public ::testing::Test {
protected:
    void startServer() {
        server = std::make_unique<CPrivateJackServer>(kServerRate, kPeriod);
        ASSERT_TRUE(server->start()) << "jackd did not start";
    }

    /// Two test clients around the device: the player, which plays into its inputs, and the
    /// listener, which hears its MIDI ports and drives the host in each cycle. Started before
    /// the device opens, so that the device makes the connections its registry entry names;
    /// with its MIDI ports feeding the listener, each cycle runs the player, the device and the
    /// listener in that order, and the host's blocks read what the device has just written.
    void startClients(CLockstepHost& host, int midiPorts = 1) {
        player = std::make_unique<CJackTestClient>("player", 0, kClickInterval, true);
        listener = std::make_unique<CJackTestClient>("listener", midiPorts, kClickInterval, false);
        listener->onCycle = [&host](long cycle) { host.cycle(cycle); };
        ASSERT_TRUE(player->activate());
        ASSERT_TRUE(listener->activate());
    }

    /// The JACK device alone, its first MIDI port connected to the listener, plus entries.
    static std::string registry(const std::string& entries = "") {
        return "[Library]\nDevices=1\n[Device0]\nName=JACK\nKind=Jack\n"
               "Midi1=listener:midi_in_1\n" +
               entries;
    }

    /// Ends the clients' cycles, so that what they recorded can be read.
    void stopClients() {
        listener->close();
        player->close();
    }

    CTestInstall install;
    std::unique_ptr<CPrivateJackServer> server;
    std::unique_ptr<CJackTestClient> player, listener;
};

// A sine and clicks come out of their outputs at a constant latency within the bound; notes on
// several buses and channels leave port midi_b on channel c, each at its frame, about as late.
// The ports are connected as the registry asks.
TEST_F(JackDeviceTest, AudioAndMidiPassAtAConstantLatencyAndCloseUnregisters) {
    startServer();
    CLockstepHost host(kServerRate, kBlock, kServerRate);
    startClients(host, 2);
    ASSERT_TRUE(host.open(install,
                          registry("MidiPorts=2\nMidi2=listener:midi_in_2\n"
                                   "In3=player:sine\nIn5=player:click\n"),
                          "JACK"));
    CReWireDevice* device = host.mixer->getDevice(host.deviceIndex);
    ASSERT_EQ(device->getBusses(), 32);
    EXPECT_EQ(device->getBusName(17), CStr("midi_2: Channel 2"));
    struct Sent {
        int bus, channel;
        long hostFrame;
    };
    std::vector<Sent> sent;
    sent.reserve(40);
    const int targets[][2] = {{0, 0}, {0, 9}, {1, 3}, {1, 15}};
    host.beforeBlock = [&](long hostFrame) {
        if (hostFrame < kServerRate || hostFrame / kBlock % 8 != 0 || sent.size() >= 40) return;
        const int* target = targets[sent.size() % 4];
        int note = 40 + int(sent.size());
        host.pending.push_back({0, asData(0x90, note, 100), target[0] * 16 + target[1]});
        sent.push_back({target[0], target[1], hostFrame});
    };
    host.start();
    ASSERT_TRUE(host.waitFor(4 * kServerRate));
    stopClients();

    long settled = kServerRate / 2;
    const std::vector<float>& sine = host.recording[2];
    EXPECT_NEAR(rms(sine, settled), CJackTestClient::kSineLevel / std::sqrt(2.0), 0.01);
    EXPECT_EQ(silentStretches(sine, settled, 8), 0) << "a dropout leaves silence";
    // A sample slipped or repeated would be a step far above the sine's steepest.
    EXPECT_LT(largestStep(sine, settled), 0.07f);
    int missing = 0;
    std::vector<double> latencies = clickLatencies(host, host.recording[4], settled, missing);
    ASSERT_GE(latencies.size(), 30u);
    EXPECT_EQ(missing, 0);
    EXPECT_LE(spread(latencies), kSteadyFrames) << "constant latency";
    // The longest latency allowed: two JACK periods and one host block.
    double bound = 2.0 * kPeriod + kBlock * host.serverPerHost();
    auto [low, high] = std::minmax_element(latencies.begin(), latencies.end());
    EXPECT_LE(*high, bound);
    for (int n : {0, 1, 3, 5, 6, 7})
        EXPECT_EQ(rms(host.recording[n], 0), 0.0) << n;

    ASSERT_EQ(sent.size(), 40u);
    ASSERT_EQ(listener->midi.size(), sent.size());
    std::vector<double> midi;
    for (size_t i = 0; i < sent.size(); i++) {
        const CHeardMidi& heard = listener->midi[i];
        EXPECT_EQ(heard.port, sent[i].bus) << i;
        EXPECT_EQ(heard.bytes[0], 0x90 | sent[i].channel) << i;
        EXPECT_EQ(heard.bytes[1], 40 + int(i)) << i;
        EXPECT_EQ(heard.bytes[2], 100) << i;
        midi.push_back(double(heard.frame) - host.serverFrameOf(double(sent[i].hostFrame)));
    }
    EXPECT_LE(spread(midi), kSteadyFrames) << "each message at its own frame";

    EXPECT_TRUE(portExists("rwbridge:in_1"));
    host.mixer->closeDevice(host.deviceIndex);
    EXPECT_FALSE(portExists("rwbridge:in_1"));
}

// A 44.1 kHz host plays at 240 beats per minute from the start, loops bar 2 once, jumps to bar 5
// and stops; the JACK transport follows at the server's rate with tempo and bar and beat.
TEST_F(JackDeviceTest, TransportStartsLocatesAndStopsWithTempoAndBarBeat) {
    const int hostRate = 44100;
    startServer();
    CLockstepHost host(hostRate, kBlock, kServerRate);
    startClients(host);
    ASSERT_TRUE(host.open(install, registry(), "JACK"));
    const int tempo = 240;
    const long framesPerQuarter = kServerRate * 60L / tempo;
    const double quartersPerBlock = double(kBlock) * tempo / 60 / hostRate;
    double position = 0;
    bool looped = false;
    host.mixer->setTempo(tempo);
    host.beforeBlock = [&](long hostFrame) {
        if (hostFrame < hostRate / 2) return;
        if (!host.mixer->getPlaying() && position == 0) host.mixer->setPlaying(true);
        if (position >= 8 && !looped) {
            position = 4; // loop end reached: back to the loop start
            looped = true;
        } else if (position >= 6 && looped && position < 16) {
            position = 16;
        } else if (position >= 18) {
            host.mixer->setPlaying(false);
        }
        host.mixer->setPos(position);
        if (host.mixer->getPlaying()) position += quartersPerBlock;
    };
    host.start();
    ASSERT_TRUE(host.waitFor(5 * hostRate));
    stopClients();

    bool rolled = false, barTwo = false, barFive = false;
    const std::vector<CSeenTransport>& seen = listener->transport;
    long lastRolling = 0;
    for (size_t i = 1; i + 1 < seen.size(); i++) {
        if (seen[i].state != JackTransportRolling) continue;
        rolled = true;
        EXPECT_TRUE(seen[i].bbt);
        EXPECT_DOUBLE_EQ(seen[i].beatsPerMinute, tempo);
        double counted =
            (seen[i].bar - 1) * 4 + seen[i].beat - 1 + seen[i].tick / seen[i].ticksPerBeat;
        long frame = seen[i].frame, last = seen[i - 1].frame;
        // Relocations land on the loop start (bar 2) and on bar 5, a cycle or two on.
        if (frame < lastRolling) barTwo = barTwo || std::fabs(counted - 4) < 0.1;
        if (frame > lastRolling + kServerRate) barFive = barFive || std::fabs(counted - 16) < 0.1;
        lastRolling = frame;
        // Bar, beat and tick follow the host's clock as the audio does, through the drift
        // loop, whose pull-in after a start moves it against the server's by up to a few
        // hundred frames; the frame is the server's. In the cycle before a relocation, a
        // client that runs after the device sees the new bar and beat with the old frame.
        bool steady = frame == last + kPeriod && seen[i + 1].frame == frame + kPeriod;
        if (steady) {
            EXPECT_NEAR(counted * framesPerQuarter, double(frame), kServerRate / 100.0) << frame;
        }
    }
    ASSERT_TRUE(rolled);
    EXPECT_TRUE(barTwo) << "relocated to the loop start";
    EXPECT_TRUE(barFive) << "relocated to the jump's target";
    EXPECT_EQ(listener->transport.back().state, JackTransportStopped) << "stopped at the end";
}

// Another client is JACK's timebase master already: the device leaves it the role and only
// starts the transport.
TEST_F(JackDeviceTest, AnotherTimebaseMasterKeepsItsRole) {
    startServer();
    jack_status_t status;
    jack_client_t* master = jack_client_open("master", JackNoStartServer, &status);
    ASSERT_NE(master, nullptr);
    auto ninety = [](jack_transport_state_t, jack_nframes_t, jack_position_t* position, int,
                     void*) {
        position->valid = JackPositionBBT;
        position->beats_per_minute = 90;
    };
    ASSERT_EQ(jack_set_timebase_callback(master, 0, ninety, nullptr), 0);
    ASSERT_EQ(jack_activate(master), 0);
    CLockstepHost host(kServerRate, kBlock, kServerRate);
    startClients(host);
    ASSERT_TRUE(host.open(install, registry(), "JACK"));
    host.mixer->setTempo(240);
    host.beforeBlock = [&](long hostFrame) {
        if (hostFrame >= kServerRate / 2) host.mixer->setPlaying(true);
    };
    host.start();
    ASSERT_TRUE(host.waitFor(2 * kServerRate));
    stopClients();
    jack_client_close(master);

    bool rolled = false;
    for (const CSeenTransport& seen : listener->transport) {
        if (seen.state != JackTransportRolling) continue;
        rolled = true;
        EXPECT_DOUBLE_EQ(seen.beatsPerMinute, 90.0);
    }
    EXPECT_TRUE(rolled);
}

// Without a server the device is listed but does not open. The server dies while the host
// plays: the device falls silent without a crash or a hang, closes, and opens again once a
// server is back.
TEST_F(JackDeviceTest, OpenNeedsAServerAndAKilledServerLeavesSilence) {
    server = std::make_unique<CPrivateJackServer>(kServerRate, kPeriod);
    CLockstepHost host(kServerRate, kBlock, kServerRate);
    EXPECT_FALSE(host.open(install, registry("In1=player:sine\n"), "JACK"));
    ASSERT_GE(host.deviceIndex, 0) << "listed where libjack is installed";
    ASSERT_TRUE(server->start());
    startClients(host);
    ASSERT_TRUE(host.mixer->openDevice(host.deviceIndex));
    host.start();
    ASSERT_TRUE(host.waitFor(kServerRate));
    host.stop();
    EXPECT_GT(rms(host.recording[0], kServerRate / 2, kServerRate), 0.3);

    server->kill();
    stopClients();
    long killedAt = host.framesDriven();
    // Blocks keep coming from the host; what was still buffered plays out, then silence.
    for (int i = 0; i < 100; i++)
        host.driveBlock();
    const std::vector<float>& out = host.recording[0];
    EXPECT_EQ(rms(out, killedAt + 50 * kBlock), 0.0);

    host.mixer->closeDevice(host.deviceIndex);
    ASSERT_TRUE(server->start());
    startClients(host);
    ASSERT_TRUE(host.mixer->openDevice(host.deviceIndex));
    long reopenedAt = host.framesDriven();
    host.start();
    ASSERT_TRUE(host.waitFor(reopenedAt + kServerRate));
    stopClients();
    EXPECT_GT(rms(out, reopenedAt + kServerRate / 2), 0.3);
}
