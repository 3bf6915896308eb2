// JACK device: a JACK client whose audio inputs in_1 … in_N become the device's channels and
// whose MIDI outputs midi_1 … midi_M carry the MIDI sent to its buses, one port per bus; it
// follows the host's transport as JACK's timebase master. Any JACK application connected to it
// plays through the host. Between the host's audio thread and the JACK thread there are only
// lock-free ring buffers; a drive call never waits.
#pragma once

#include <atomic>
#include <memory>

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

    static int process(jack_nframes_t frames, void* self);
    static void shutdown(void* self);
    bool openClient();
    bool registerPorts();
    void connectPorts();
    void sendMidi(long streamStart, jack_nframes_t frames);
    void waitForDrive();
    void release();
    /// Server frames between a MIDI message's host frame read position and its departure.
    double midiDelay() const;

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

    // Host audio thread.
    bool streaming = false;
    long blockStart = 0;

    std::atomic<bool> live{false};
    std::atomic<bool> serverGone{false};
    std::atomic<int> driving{0};
    std::atomic<long> lostMidi{0};
    // Messages put into and taken from the MIDI ring; the count publishes each message.
    std::atomic<long> midiSent{0};
    long midiTaken = 0;
};
