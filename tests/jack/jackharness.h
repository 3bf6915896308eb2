// Pieces the JACK device's tests share: a private JACK server, a test client that plays known
// signals and records MIDI and transport, and a host that drives our ReWire library in lockstep
// with the server's cycles at its own rate.
#pragma once

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/transport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "measures.h"
#include "rewire/mixer.h"
#include "testinstall.h"

extern char** environ;

/// Starts command (words split at spaces) with its output discarded. The process id, or -1.
inline pid_t spawnQuiet(const std::string& command) {
    std::istringstream split(command);
    std::vector<std::string> words;
    for (std::string word; split >> word;)
        words.push_back(word);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

/// Whether the server answers and, unless name is null, has a port of that full name now.
inline bool portExists(const char* name) {
    jack_status_t status;
    jack_client_t* probe = jack_client_open("rwb-probe", JackNoStartServer, &status);
    if (!probe) return false;
    bool found = name == nullptr || jack_port_by_name(probe, name) != nullptr;
    jack_client_close(probe);
    return found;
}

/// Polls condition up to ten seconds.
inline bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; i++) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

/// `jackd --no-realtime -d dummy` under a name of its own, in sync mode (each cycle waits for
/// every client), for the life of the object; JACK_DEFAULT_SERVER names it for the clients.
/// The dummy backend runs in real time: a cycle of period frames every period.
class CPrivateJackServer {
public:
    // The name is the same on every run of a test from one source tree: libjack keeps a few
    // server slots per machine and frees a dead server's slot only for a server of the same
    // name, so the test that kills its server would otherwise use them up. Another tree's runs
    // (a mutation check beside this one) get servers of their own.
    CPrivateJackServer(int sampleRate, int periodFrames) : rate(sampleRate), period(periodFrames) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        name = "rwbtest-" +
               std::to_string(std::hash<std::string>{}(std::string(test->name()) + __FILE__) %
                              1000000);
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        // libjack reports every refused connection on stderr; the tests check results instead.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    }

    ~CPrivateJackServer() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        if (!eventually([this] { return waitpid(pid, nullptr, WNOHANG) == pid; })) kill();
    }

    CPrivateJackServer(const CPrivateJackServer&) = delete;
    CPrivateJackServer& operator=(const CPrivateJackServer&) = delete;

    /// Starts the server and waits until clients can connect. Few ports keep the shared memory
    /// small.
    bool start() {
        pid = spawnQuiet("jackd -n " + name + " --no-realtime -S -t 2000 --port-max 64 -d dummy " +
                         "-r " + std::to_string(rate) + " -p " + std::to_string(period));
        return pid > 0 && eventually([] { return portExists(nullptr); });
    }

    /// Ends it at once, as a crash would.
    void kill() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

private:
    std::string name;
    int rate;
    int period;
    pid_t pid = -1;
};

/// One MIDI message as the test client saw it.
struct CHeardMidi {
    int port;
    unsigned char bytes[3];
    long frame; ///< server frame
};

/// The transport as the test client saw it at a cycle's start.
struct CSeenTransport {
    jack_transport_state_t state;
    long frame;
    bool bbt;
    int bar, beat;
    double tick; ///< within the beat, with its fraction where JACK gives one
    double beatsPerMinute;
    float beatsPerBar, beatType;
    double ticksPerBeat;
};

/// A JACK client that plays a sine on port "sine" and one-frame clicks on port "click" on the
/// frames that are multiples of clickInterval, records MIDI on "midi_in_1" … and the transport,
/// and calls onCycle in each cycle. As an application following the host would, it clicks on
/// port "note" at each note-on it hears and on port "beat" at each beat of JACK's transport. As
/// a synthesizer would, it plays the sine on port "voice" while any note it heard is held.
/// Frames are counted on one time line for all test clients, advanced by the time keeper, which
/// must run first in each cycle (it feeds the others): JACK's own frame time is estimated from
/// the wall clock.
class CJackTestClient {
public:
    static constexpr double kSineHz = 997.0;
    static constexpr float kSineLevel = 0.5f;

    CJackTestClient(const char* name, int inputs, int interval, bool timeKeeper)
        : clickInterval(interval), keepsTime(timeKeeper) {
        jack_status_t status;
        client = jack_client_open(name, JackNoStartServer, &status);
        if (!client) return;
        rate = int(jack_get_sample_rate(client));
        sine = jack_port_register(client, "sine", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        click = jack_port_register(client, "click", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        note = jack_port_register(client, "note", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        beat = jack_port_register(client, "beat", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        voice = jack_port_register(client, "voice", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        for (int n = 1; n <= inputs; n++)
            midiInputs.push_back(jack_port_register(client,
                                                    ("midi_in_" + std::to_string(n)).c_str(),
                                                    JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
        // Room for minutes of recording, so that the JACK thread does not allocate.
        midi.reserve(1 << 16);
        transport.reserve(1 << 20);
        jack_set_process_callback(client, &CJackTestClient::process, this);
    }

    ~CJackTestClient() { close(); }
    CJackTestClient(const CJackTestClient&) = delete;
    CJackTestClient& operator=(const CJackTestClient&) = delete;

    bool activate() { return client && jack_activate(client) == 0; }

    /// Ends the client's cycles, so that the recordings can be read.
    void close() {
        if (client) jack_client_close(client);
        client = nullptr;
    }

    std::function<void(long cycle)> onCycle;
    std::vector<CHeardMidi> midi;
    std::vector<CSeenTransport> transport;

private:
    static int process(jack_nframes_t frames, void* self) {
        CJackTestClient* test = static_cast<CJackTestClient*>(self);
        if (test->keepsTime) {
            cycleStart.store(framesCounted);
            framesCounted += long(frames);
        }
        long cycle = cycleStart.load();
        test->play(cycle, int(frames));
        test->listen(cycle, int(frames));
        test->clickOnBeats(int(frames));
        if (test->onCycle) test->onCycle(cycle);
        return 0;
    }

    void play(long cycle, int frames) {
        float* tone = static_cast<float*>(jack_port_get_buffer(sine, jack_nframes_t(frames)));
        float* clicks = static_cast<float*>(jack_port_get_buffer(click, jack_nframes_t(frames)));
        float* voiced = static_cast<float*>(jack_port_get_buffer(voice, jack_nframes_t(frames)));
        double step = 2 * M_PI * kSineHz / rate;
        for (int f = 0; f < frames; f++) {
            tone[f] = kSineLevel * float(std::sin(phase));
            voiced[f] = notesHeld > 0 ? tone[f] : 0.0f;
            phase = std::fmod(phase + step, 2 * M_PI);
            clicks[f] = (cycle + f) % clickInterval == 0 ? 1.0f : 0.0f;
        }
    }

    void listen(long cycle, int frames) {
        noteClicks = static_cast<float*>(jack_port_get_buffer(note, jack_nframes_t(frames)));
        std::fill(noteClicks, noteClicks + frames, 0.0f);
        for (size_t port = 0; port < midiInputs.size(); port++) {
            void* buffer = jack_port_get_buffer(midiInputs[port], jack_nframes_t(frames));
            for (jack_nframes_t i = 0; i < jack_midi_get_event_count(buffer); i++) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, i) != 0 || event.size > 3) continue;
                CHeardMidi heard{int(port), {0, 0, 0}, cycle + long(event.time)};
                std::copy(event.buffer, event.buffer + event.size, heard.bytes);
                bool on = event.size == 3 && (heard.bytes[0] & 0xF0) == 0x90 && heard.bytes[2] > 0;
                bool off = event.size == 3 && ((heard.bytes[0] & 0xF0) == 0x80 ||
                                               ((heard.bytes[0] & 0xF0) == 0x90 && !on));
                if (on) noteClicks[event.time] = 1.0f;
                notesHeld = std::max(0, notesHeld + (on ? 1 : 0) - (off ? 1 : 0));
                if (midi.size() < midi.capacity()) midi.push_back(heard);
            }
        }
        jack_position_t at;
        jack_transport_state_t state = jack_transport_query(client, &at);
        if (transport.size() < transport.capacity())
            transport.push_back({state, long(at.frame), (at.valid & JackPositionBBT) != 0, at.bar,
                                 at.beat, at.valid & JackTickDouble ? at.tick_double : at.tick,
                                 at.beats_per_minute, at.beats_per_bar, at.beat_type,
                                 at.ticks_per_beat});
    }

    // The beats falling in this cycle, from the bar, beat and tick at its start.
    void clickOnBeats(int frames) {
        float* clicks = static_cast<float*>(jack_port_get_buffer(beat, jack_nframes_t(frames)));
        std::fill(clicks, clicks + frames, 0.0f);
        const CSeenTransport& now = transport.back();
        // Only a whole position: another timebase master may give a tempo alone.
        if (now.state != JackTransportRolling || !now.bbt || now.beatsPerMinute <= 0 ||
            !(now.tick >= 0 && now.tick < now.ticksPerBeat))
            return;
        double framesPerBeat = 60.0 * rate / now.beatsPerMinute;
        double untilBeat = now.tick > 0 ? (1 - now.tick / now.ticksPerBeat) * framesPerBeat : 0;
        for (double at = untilBeat; at < frames; at += framesPerBeat)
            clicks[int(at)] = 1.0f;
    }

    static inline std::atomic<long> cycleStart{0};
    static inline long framesCounted = 0;

    jack_client_t* client = nullptr;
    jack_port_t* sine = nullptr;
    jack_port_t* click = nullptr;
    jack_port_t* note = nullptr;
    jack_port_t* beat = nullptr;
    jack_port_t* voice = nullptr;
    int notesHeld = 0;
    float* noteClicks = nullptr;
    std::vector<jack_port_t*> midiInputs;
    int clickInterval;
    bool keepsTime;
    double phase = 0;
    int rate = 48000;
};

/// A host running the mixer of the plug-in's ReWire side: block after block of blockFrames at
/// hostRate, each block driven in the first server cycle at or after its start, on a clock that
/// runs at hostRate where the server's runs at serverRate. Records the eight outputs (with room
/// for seconds, so that the JACK thread does not allocate).
class CLockstepHost {
public:
    CLockstepHost(int rate, int frames, int server, int seconds = 10)
        : hostRate(rate), blockFrames(frames), serverRate(server) {
        for (auto& channel : recording)
            channel.reserve(size_t(seconds * rate));
    }

    /// Installs our library with registry and opens the mixer and the device named device.
    bool open(CTestInstall& install, const std::string& registry, const std::string& device) {
        install.addBundle(0, "ReWire.bundle", "1.8.0", registry);
        mixer = std::make_unique<CReWireMixer>(hostRate, blockFrames);
        mixer->setCloseTimeout(500);
        mixer->open(hostRate, blockFrames);
        for (int i = 0; i < mixer->deviceCount(); i++)
            if (mixer->deviceName(i) == CStr(device.c_str())) deviceIndex = i;
        return deviceIndex >= 0 && mixer->openDevice(deviceIndex);
    }

    /// Lets the next cycle drive the first block: call once the JACK graph is connected, so that
    /// the order of the clients in each cycle does not change under the run.
    void start() { go.store(true); }

    /// Ends the driving by the cycles and waits for a cycle still driving, so that the caller
    /// may drive blocks itself. start() resumes.
    void stop() {
        go.store(false);
        while (driving.load())
            std::this_thread::yield();
    }

    /// Drives the blocks due by the cycle starting at server frame cycleFrame, once started.
    void cycle(long cycleFrame) {
        // Marked before go is read: stop() then either sees the mark or this cycle sees stop.
        driving.store(true);
        if (go.load()) {
            if (!started) {
                started = true;
                firstCycle = cycleFrame;
            }
            while (serverFrameOf(double(framesDriven())) <= double(cycleFrame))
                driveBlock();
        }
        driving.store(false);
    }

    /// Drives one block, also off the server's clock, as after the server has gone.
    void driveBlock() {
        long first = framesDriven();
        if (beforeBlock) beforeBlock(first);
        float* outputs[CAudioOuts::kCount];
        for (int n = 0; n < CAudioOuts::kCount; n++) {
            recording[n].resize(size_t(first + blockFrames), 0.0f);
            outputs[n] = recording[n].data() + first;
        }
        if (render)
            render(outputs, blockFrames);
        else
            mixer->process(outputs, blockFrames, int(pending.size()), pending.data());
        pending.clear();
        blocks++;
    }

    /// Host frames driven so far; readable from any thread.
    long framesDriven() const { return blocks.load() * blockFrames; }

    /// Waits until frames have been driven; false when no block has come for seconds (the
    /// server or the client is stuck).
    bool waitFor(long frames) const {
        for (long seen = -1; framesDriven() < frames;) {
            seen = framesDriven();
            if (!eventually([&] { return framesDriven() != seen; })) return false;
        }
        return true;
    }

    double serverPerHost() const { return double(serverRate) / hostRate; }

    /// Server frame at which host frame plays.
    double serverFrameOf(double hostFrame) const {
        return double(firstCycle) + hostFrame * serverPerHost();
    }

    std::unique_ptr<CReWireMixer> mixer;
    int deviceIndex = -1;
    std::vector<float> recording[CAudioOuts::kCount];
    /// Called before each block with its first host frame; may set transport and MIDI.
    std::function<void(long hostFrame)> beforeBlock;
    std::vector<CMIDIDATA> pending;
    /// Renders a block in place of the mixer, when set.
    std::function<void(float* const* outputs, int frames)> render;

private:
    int hostRate;
    int blockFrames;
    int serverRate;
    std::atomic<bool> go{false};
    std::atomic<bool> driving{false};
    bool started = false;
    long firstCycle = 0;
    std::atomic<long> blocks{0};
};
