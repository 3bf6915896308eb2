// The clock bridge on its own, on simulated clocks: the server's periods and the host's blocks
// each arrive on time by their own clock, as a host on its own sound card and a JACK server do,
// so a minute runs in a moment and the figures do not depend on the machine's load.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "jackclockbridge.h"
#include "jacktransport.h"
#include "measures.h"

namespace {
const int kServerRate = 48000;
const int kPeriod = 256;
const int kBlock = 256;
const int kClickInterval = 4800;

// Server periods and host blocks in time order; channel 0 carries a click every
// kClickInterval frames, or what makePeriod writes, channel 1 a steady sine of sineHz.
class CClockRun {
public:
    CClockRun(int hostRate, double ppm, int rate = kServerRate, double sineHz = 997.0)
        : bridge(*jackApi(), 2, rate), serverRate(rate), sineFrequency(sineHz),
          serverPerHost(double(rate) / (hostRate * (1 + ppm * 1e-6))) {
        bridge.setHost(hostRate, kBlock);
    }

    /// Runs until the server has played seconds; stall skips the periods in [from, to).
    void run(double seconds, long stallFrom = -1, long stallTo = -1) {
        std::vector<float> clicks(kPeriod), sine(kPeriod), out[2];
        out[0].resize(kBlock);
        out[1].resize(kBlock);
        while (periods * kPeriod < long(seconds * serverRate)) {
            double periodStart = double(periods) * kPeriod;
            double blockTime = double(blocks) * kBlock * serverPerHost;
            if (blockTime < periodStart) {
                bridge.beginBlock(kBlock, micros(blockTime));
                if (beforeBlock) beforeBlock();
                float* outputs[2] = {out[0].data(), out[1].data()};
                bridge.pull(outputs, 0, kBlock);
                for (int n = 0; n < 2; n++)
                    recording[n].insert(recording[n].end(), out[n].begin(), out[n].end());
                blocks++;
                continue;
            }
            bool stalled = periodStart >= stallFrom && periodStart < stallTo;
            for (int f = 0; f < kPeriod; f++) {
                long frame = periods * kPeriod + f;
                clicks[size_t(f)] = (frame - clickOffset) % kClickInterval == 0 ? 1.0f : 0.0f;
                sine[size_t(f)] =
                    0.5f * float(std::sin(2 * M_PI * sineFrequency * double(frame) / serverRate));
            }
            if (makePeriod) makePeriod(bridge.getFramesWritten(), clicks.data());
            const float* inputs[2] = {clicks.data(), sine.data()};
            if (!stalled) bridge.pushPeriod(inputs, kPeriod, micros(periodStart));
            periods++;
        }
    }

    /// Latencies in server frames of the clicks heard from host frame from on.
    std::vector<double> latencies(long from) const {
        std::vector<double> found;
        for (double peak : clickPeaks(recording[0], from, kClickInterval / 2))
            found.push_back(std::fmod(peak * serverPerHost, kClickInterval));
        return found;
    }

    uint64_t micros(double frames) const { return uint64_t(frames * 1e6 / serverRate); }

    CJackClockBridge bridge;
    /// Called after each host block has begun, before it is pulled.
    std::function<void()> beforeBlock;
    /// Writes each period of channel 0, given the stream frame it starts at.
    std::function<void(long streamStart, float* channel)> makePeriod;
    long clickOffset = 0;
    int serverRate;
    double sineFrequency;
    double serverPerHost;
    long periods = 0, blocks = 0;
    std::vector<float> recording[2];
};
} // namespace

TEST(ClockBridgeTest, HostAt44100OnAClock200ppmOffHoldsTheLatencyForAMinute) {
    const int hostRate = 44100;
    CClockRun run(hostRate, 200);
    run.run(60);

    EXPECT_EQ(run.bridge.getUnderrunFrames(), 0);
    EXPECT_EQ(run.bridge.getOverrunFrames(), 0);
    EXPECT_EQ(run.bridge.getResyncs(), 0);
    std::vector<double> whole = run.latencies(hostRate / 2);
    std::vector<double> locked = run.latencies(2L * hostRate);
    ASSERT_GE(whole.size(), 595u) << "a click every 0.1 s";
    double bound = 2.0 * kPeriod + kBlock * run.serverPerHost;
    EXPECT_LE(*std::max_element(whole.begin(), whole.end()), bound);
    EXPECT_LE(spread(locked), 2.0) << "within a frame either way once locked";
}

// The server stops delivering for a while: the host keeps getting blocks, silent and counted,
// and the sound returns at the same latency once the periods come again.
TEST(ClockBridgeTest, UnderrunGivesCountedSilenceAndTheLatencyComesBack) {
    CClockRun run(kServerRate, 0);
    run.run(2, kServerRate, kServerRate + 10 * kPeriod);
    EXPECT_GT(run.bridge.getUnderrunFrames(), 0);
    const std::vector<float>& sine = run.recording[1];
    long silent = 0;
    for (float sample : sine)
        silent += sample == 0.0f;
    EXPECT_GE(silent, 10L * kPeriod) << "the missing periods are silence";
    std::vector<double> before = run.latencies(kServerRate / 4);
    std::vector<double> after = run.latencies(kServerRate * 3 / 2);
    ASSERT_FALSE(before.empty() || after.empty());
    EXPECT_NEAR(after.back(), before.front(), 1.0);
}

// The resampler's passband reaches 15 kHz both ways between 44.1 and 48 kHz (a shorter filter
// rolls off there).
TEST(ClockBridgeTest, SinesUpTo15kHzKeepTheirLevelBothWaysBetween44100And48000) {
    for (auto [hostRate, serverRate] : {std::pair{44100, 48000}, std::pair{48000, 44100}}) {
        CClockRun run(hostRate, 0, serverRate, 15000);
        run.run(4);
        double level = rms(run.recording[1], 2L * hostRate) / (0.5 / std::sqrt(2));
        EXPECT_NEAR(20 * std::log10(level), 0.0, 0.1) << "host at " << hostRate;
    }
}

// Between the clicks every channel is silent, and the resampler is spared the filtering there;
// what comes out must not differ by a bit from the same clicks beside a sine, which is never
// spared: no click cut short, no shift. Every fourth click is a period's last frame, so the
// silence after it starts while the filter still rings.
TEST(ClockBridgeTest, ClicksInSilenceComeOutExactlyAsBesideASine) {
    CClockRun silent(44100, 200, kServerRate, 0.0), beside(44100, 200, kServerRate, 997.0);
    silent.clickOffset = beside.clickOffset = kPeriod / 4 - 1;
    silent.run(3);
    beside.run(3);
    ASSERT_EQ(silent.recording[0].size(), beside.recording[0].size());
    EXPECT_GE(silent.latencies(44100 / 2).size(), 25u);
    EXPECT_TRUE(silent.recording[0] == beside.recording[0]);
}

namespace {
// JACK's transport, simulated as jackd runs it: a relocation or start asked in one cycle is
// carried out at the start of the second cycle after, where the frame then stands for a cycle
// (the Starting state); rolling, the frame moves on by a period each cycle.
struct CSimulatedTransport {
    static inline jack_transport_state_t state = JackTransportStopped;
    static inline jack_nframes_t frame = 0;
    // Requests asked in this cycle, and in the one before.
    static inline bool locating[2] = {}, starting[2] = {};
    static inline jack_nframes_t target[2] = {};

    static jack_transport_state_t query(const jack_client_t*, jack_position_t* position) {
        position->frame = frame;
        return state;
    }
    static int locate(jack_client_t*, jack_nframes_t to) {
        locating[0] = true;
        target[0] = to;
        return 0;
    }
    static void start(jack_client_t*) { starting[0] = true; }
    static void stop(jack_client_t*) { state = JackTransportStopped; }

    static void beginCycle() {
        bool locates = locating[1];
        if (state == JackTransportRolling && !locates) frame += kPeriod;
        if (state == JackTransportStarting) state = JackTransportRolling;
        if (locates) frame = target[1];
        if (starting[1] || (locates && state == JackTransportRolling))
            state = JackTransportStarting;
        locating[1] = locating[0];
        starting[1] = starting[0];
        target[1] = target[0];
        locating[0] = starting[0] = false;
    }
};
} // namespace

// A minute of a song at 92.5 beats per minute in 3/4 on a host clock 208 ppm off the server's:
// an application that clicks on the beats of JACK's transport, whose bar, beat and tick the
// device gives from the host's position, is heard at one latency throughout, without a single
// relocation after the start.
TEST(ClockBridgeTest, TransportBeatsFollowAHostClock208ppmOffForAMinute) {
    CJackApi api = *jackApi();
    api.jack_transport_query = &CSimulatedTransport::query;
    api.jack_transport_locate = &CSimulatedTransport::locate;
    api.jack_transport_start = &CSimulatedTransport::start;
    api.jack_transport_stop = &CSimulatedTransport::stop;
    CJackTransport transport(api, kServerRate);
    CClockRun run(kServerRate, 208);
    const double tempo = 92.5, eventDelay = 700;
    CJackHostTime time;
    time.tempo = tempo;
    time.beatsPerBar = 3;
    std::vector<float> nextClicks(kPeriod), clicks(kPeriod);
    jack_position_t shown{};
    int relocations = -1;
    long lastFrame = -kPeriod - 1;
    run.beforeBlock = [&] {
        time.playing = run.blocks >= 100;
        transport.follow(time, double(run.bridge.getFramesRead()) + eventDelay,
                         run.bridge.getServerPerHost(), kBlock, kServerRate);
        if (time.playing) time.quarters += kBlock * tempo / 60 / kServerRate;
    };
    run.makePeriod = [&](long streamStart, float* out) {
        CSimulatedTransport::beginCycle();
        bool rolling = CSimulatedTransport::state == JackTransportRolling;
        relocations += rolling && CSimulatedTransport::frame != lastFrame + kPeriod;
        lastFrame = rolling ? long(CSimulatedTransport::frame) : -kPeriod - 1;
        // The application's clicks of the last cycle reach the device in this one.
        std::copy(nextClicks.begin(), nextClicks.end(), out);
        std::fill(nextClicks.begin(), nextClicks.end(), 0.0f);
        if (CSimulatedTransport::state == JackTransportRolling && shown.valid & JackPositionBBT) {
            double framesPerBeat = 60.0 * kServerRate / shown.beats_per_minute;
            double untilBeat = (1 - shown.tick_double / shown.ticks_per_beat) * framesPerBeat;
            for (double at = std::fmod(untilBeat, framesPerBeat); at < kPeriod; at += framesPerBeat)
                nextClicks[size_t(at)] = 1.0f;
        }
        shown.frame = CSimulatedTransport::frame;
        transport.apply(nullptr, streamStart, kPeriod);
        jack_position_t next{};
        next.frame = CSimulatedTransport::state == JackTransportRolling ? shown.frame + kPeriod
                                                                        : shown.frame;
        transport.fillPosition(&next);
        if (next.valid && CSimulatedTransport::state == JackTransportRolling) {
            EXPECT_EQ(next.beats_per_minute, tempo);
            EXPECT_EQ(next.beats_per_bar, 3.0f);
            // The frame counts the server's clock, bar, beat and tick the host's.
            double beats =
                (next.bar - 1) * 3 + next.beat - 1 + next.tick_double / next.ticks_per_beat;
            double beatFrames = 60.0 * kServerRate / tempo;
            EXPECT_NEAR(beats * beatFrames, next.frame / run.serverPerHost, 4.0) << next.frame;
        }
        shown = next;
    };
    run.run(60);

    const double beatFrames = 60.0 * kServerRate / tempo;
    std::vector<double> latencies;
    for (double peak : clickPeaks(run.recording[0], 3L * kServerRate, int(beatFrames / 2)))
        latencies.push_back(std::fmod(peak - 100.0 * kBlock, beatFrames));
    ASSERT_GE(latencies.size(), 85u);
    EXPECT_LE(spread(latencies), 2.0) << "to a frame either way";
    EXPECT_NEAR(latencies.front(), eventDelay + kPeriod, 2 * CJackClockBridge::kFilterHalfLength);
    EXPECT_EQ(relocations, 0);
}
