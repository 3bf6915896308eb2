// Pieces the JACK device's tests share: a private JACK server, a test client that plays known
// signals and records MIDI and transport, and a host that drives our ReWire library in lockstep
// with the server's cycles at its own rate.
#pragma once

#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "rewire/mixer.h"
#include "testinstall.h"

/// `jackd --no-realtime -d dummy` under a name of its own, in sync mode (each cycle waits for
/// every client), for the life of the object; JACK_DEFAULT_SERVER names it for the clients.
class CPrivateJackServer {
public:
    /// The dummy backend runs in real time: a cycle of period frames every period.
    CPrivateJackServer(int rate, int period);
    ~CPrivateJackServer();
    CPrivateJackServer(const CPrivateJackServer&) = delete;
    CPrivateJackServer& operator=(const CPrivateJackServer&) = delete;

    /// Starts the server and waits until clients can connect.
    bool start();
    /// Ends it at once, as a crash would.
    void kill();
    void stop();

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
    long cycle; ///< server frame of the cycle
    jack_transport_state_t state;
    long frame;
    bool bbt;
    int bar, beat;
    double beatsPerMinute;
};

/// A JACK client that plays a sine on port "sine" and one-frame clicks on port "click",
/// records MIDI on "midi_in_1" … and the transport, and calls onCycle in each cycle.
/// Frames are counted on one time line for all test clients, advanced by the time keeper, which
/// must run first in each cycle (it feeds the others): JACK's own frame time is estimated from
/// the wall clock.
class CJackTestClient {
public:
    static constexpr double kSineHz = 997.0;
    static constexpr float kSineLevel = 0.5f;

    CJackTestClient(const char* name, int midiInputs, int clickInterval, bool timeKeeper);
    ~CJackTestClient();
    CJackTestClient(const CJackTestClient&) = delete;
    CJackTestClient& operator=(const CJackTestClient&) = delete;

    bool isOpen() const { return client != nullptr; }
    bool activate();
    bool connect(const std::string& from, const std::string& to);
    std::string portName(const char* shortName) const;
    /// Ends the client's cycles, so that the recordings can be read.
    void close();

    std::function<void(long cycle, int frames)> onCycle;
    std::vector<long> clicks; ///< server frames of the clicks played
    std::vector<CHeardMidi> midi;
    std::vector<CSeenTransport> transport;

private:
    static int process(jack_nframes_t frames, void* self);
    void play(long cycle, int frames);
    void listen(long cycle, int frames);

    static std::atomic<long> cycleStart;
    static long framesCounted;

    jack_client_t* client = nullptr;
    jack_port_t* sine = nullptr;
    jack_port_t* click = nullptr;
    std::vector<jack_port_t*> midiInputs;
    int clickInterval;
    bool keepsTime;
    double phase = 0;
    int rate = 48000;
};

/// A host running the mixer of the plug-in's ReWire side: block after block of blockFrames at
/// hostRate, on a clock off the server's by ppm, each block driven in the first server cycle
/// at or after its start. Records the eight outputs.
class CLockstepHost {
public:
    CLockstepHost(int hostRate, int blockFrames, double ppm, int serverRate);

    /// Installs our library with registry and opens the mixer and the device named device.
    bool open(CTestInstall& install, const std::string& registry, const std::string& device);
    /// Drives the blocks due by the cycle starting at server frame cycle, once started.
    void cycle(long cycle);
    /// Lets the next cycle drive the first block: call once the JACK graph is connected, so that
    /// the order of the clients in each cycle does not change under the run.
    void start() { go.store(true); }
    /// Drives one block off the server's clock, as after the server has gone.
    void driveBlock();
    void reserve(long frames);
    /// Host frames driven so far; readable from any thread.
    long framesDriven() const { return blocks.load() * blockFrames; }
    /// Waits (polling) until frames have been driven; false when the cycles stopped coming.
    bool waitFor(long frames) const;

    /// Server frame at which host frame plays, on the host's clock.
    double serverFrameOf(double hostFrame) const;
    double serverPerHost() const;

    std::unique_ptr<CReWireMixer> mixer;
    int deviceIndex = -1;
    std::vector<float> recording[CAudioOuts::kCount];
    /// Called before each block with its first host frame; may set transport and MIDI.
    std::function<void(long hostFrame)> beforeBlock;
    std::vector<CMIDIDATA> pending;

private:
    int hostRate;
    int blockFrames;
    double ppm;
    int serverRate;
    std::atomic<bool> go{false};
    bool started = false;
    long firstCycle = 0;
    std::atomic<long> blocks{0};
    std::vector<float> buffers[CAudioOuts::kCount];
};

/// Peaks above threshold at least gap frames apart, with sub-frame positions.
std::vector<double> findClicks(const std::vector<float>& samples, float threshold, int gap);
/// Silent stretches longer than frames, from frame from on: a dropout in a steady tone.
int silentStretches(const std::vector<float>& samples, long from, int frames);
/// Largest change between neighbouring samples from frame from on.
float largestStep(const std::vector<float>& samples, long from);
/// Root mean square over [from, to).
double rms(const std::vector<float>& samples, long from, long to);
