// JACK device: a JACK client whose audio inputs in_1 … in_N become the device's channels and
// whose MIDI outputs midi_1 … midi_M carry the MIDI sent to its buses, one port per bus; it
// follows the host's transport as JACK's timebase master. Any JACK application connected to it
// plays through the host. The host's time is placed on the server's stream once: MIDI and
// transport leave through the same mapping, so an application's sound comes back at one
// latency whichever of them it follows, and the device reports that latency to the host.
// Between the host's audio thread and the JACK thread there are only lock-free ring buffers; a
// drive call never waits. When the server goes away the device is silent, and the idle side
// opens the client again once a server is back; what goes wrong is said once on stderr, from
// the idle side, never from the audio or JACK threads.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "bundledevice.h"
#include "jackapi.h"
#include "jackclockbridge.h"
#include "jacktransport.h"

struct CJackSettings {
    static constexpr int kMaxChannels = 8;
    static constexpr int kMaxMidiPorts = 16;
    int channels = kMaxChannels;
    int midiPorts = 1;
    CStr clientName = "rwbridge";
    /// JACK ports connected at open to in_1 … (outputs of other clients); empty for none.
    CStr inputConnections[kMaxChannels];
    /// JACK ports connected at open from midi_1 … (MIDI inputs of other clients).
    CStr midiConnections[kMaxMidiPorts];
};

class CJackDevice : public CBundleDevice {
public:
    CJackDevice(const CStr& deviceName, const CJackSettings& jackSettings);
    ~CJackDevice() override;

    /// One bus per MIDI port, named after it, with 16 channels.
    static CBusLayout layoutFor(int midiPorts);
    /// True where libjack can be loaded.
    static bool isAvailable();

    ReWireError drive(const ReWireDriveAudioInputParams& input,
                      ReWireDriveAudioOutputParams& output, int sampleRate) override;
    void setHostFormat(int sampleRate, int maxFrames) override;
    /// The round trip in host frames: from the host's MIDI or transport to an application's
    /// answer coming back in the host's output. 0 while the device does not stream.
    int getLatency() const override;
    CStr getStatus() const override;
    /// Opens the client again about once a second while the server is away, and makes the
    /// connections whose ports have appeared since.
    void idle() override;

protected:
    bool connect() override;
    void disconnect() override;
    void reset() override {}
    void midiEvent(const ReWireMIDIEvent& event) override;
    void render(const ReWireDriveAudioInputParams& input, float* const* buffers, int first,
                int count) override;

private:
    /// One MIDI message on its way to the JACK thread, stamped with the server stream frame at
    /// which it leaves.
    struct MidiMessage {
        int64_t frame;
        uint8_t port;
        uint8_t size;
        uint8_t bytes[3];
    };

    /// A connection the registry asks for; made once both ports are there.
    struct Connection {
        CStr source, destination;
        /// Index of our own port: an input for a source, a MIDI output for a destination.
        int ownPort;
        bool input;
        bool made;
    };

    static int process(jack_nframes_t frames, void* self);
    static void shutdown(void* self);
    static void portRegistered(jack_port_id_t port, int registered, void* self);
    bool openClient();
    bool registerPorts();
    void listConnections();
    void makeConnections();
    void makeConnection(Connection& connection);
    void sendMidi(long streamStart, jack_nframes_t frames);
    void waitForDrive();
    void release();
    void reopen();
    /// Server frames between a block's read position on the stream and the departure of its
    /// events: the most the stream can be ahead of the reading, so that each event leaves in
    /// time, and no more.
    double eventDelay() const;
    /// getLatency() for a server period of period frames.
    int roundTrip(int period) const;
    /// Starts a cause of trouble: said once on stderr while it lasts, and shown by getStatus.
    void raise(const CStr& cause);
    void settle(const CStr& cause);
    void settleAll(const CStr& prefix);

    const CJackApi* jack;
    CJackSettings settings;
    jack_client_t* client = nullptr;
    jack_port_t* inputPorts[CJackSettings::kMaxChannels] = {};
    jack_port_t* midiPorts[CJackSettings::kMaxMidiPorts] = {};
    const float* inputBuffers[CJackSettings::kMaxChannels] = {};
    std::unique_ptr<CJackClockBridge> bridge;
    std::unique_ptr<CJackTransport> transport;
    jack_ringbuffer_t* midi = nullptr;
    int hostRate = 44100;
    int hostMaxFrames = 1024;

    // Idle side: the connections, the last attempt to reach the server, the causes of trouble.
    std::mutex control;
    std::vector<Connection> connections;
    std::chrono::steady_clock::time_point lastAttempt;
    mutable std::mutex causesLock;
    std::vector<CStr> causes;
    std::atomic<bool> portsAppeared{false};

    // Host audio thread.
    bool streaming = false;
    /// Stream frame at which the current block's first frame's events leave.
    double blockAnchor = 0;
    int blockFrames = 0;

    std::atomic<int> latency{0};
    std::atomic<bool> wanted{false};
    std::atomic<bool> live{false};
    std::atomic<bool> serverGone{false};
    std::atomic<int> driving{0};
    std::atomic<long> lostMidi{0};
    // Messages put into and taken from the MIDI ring; the count publishes each message.
    std::atomic<long> midiSent{0};
    long midiTaken = 0;
};
