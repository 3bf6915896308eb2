// A device of our ReWire library: its audio channels, its MIDI buses, the test behaviours a
// registry entry can give it, and the drive call that every kind of device shares.
#pragma once

#include <atomic>
#include <vector>

#include "foundation/str.h"
#include "rewire/rewire.h"

/// The MIDI side of a device: buses with their used channels and names.
struct CBusLayout {
    struct Bus {
        CStr name;
        uint32_t channelsInUse = 0;
        CStr channelNames[kReWireEventChannelCount];
    };
    std::vector<Bus> buses;

    void addBus(const CStr& name, const std::vector<CStr>& channelNames);
    const Bus* getBus(int bus) const;
    bool hasTarget(const ReWireEventTarget& target) const;
};

/// What a registry entry can ask of a device besides its sound.
struct CDeviceBehaviour {
    bool refuseOpen = false;
    /// Close requests answered "not now" before one is allowed; -1 refuses for good.
    int refuseClose = 0;
    bool failDrive = false;
    /// Blocks after which the MIDI targets change and the device announces it; 0 never.
    int targetsChangeAfter = 0;
    /// After the change, announces it again on every block.
    bool targetsChangeRepeat = false;
    uint32_t outputEventLimit = 16;
    /// Reports more output events than the buffer holds, as a faulty library would.
    bool overstateEvents = false;
    /// Host frames reported as the device's latency, the sound itself undelayed.
    int latency = 0;
    /// The state line reported for the device.
    CStr status;
};

class CBundleDevice {
public:
    static constexpr int kMaxChannels = kReWireAudioChannelCount;

    CBundleDevice(const CStr& deviceName, int channels);
    virtual ~CBundleDevice() = default;
    CBundleDevice(const CBundleDevice&) = delete;
    CBundleDevice& operator=(const CBundleDevice&) = delete;

    CStr getName() const { return name; }
    int getChannelCount() const { return channelCount; }
    CStr getChannelName(int n) const;
    void setChannelName(int n, const CStr& text);
    void fillDeviceInfo(ReWireDeviceInfo* info) const;

    /// Replaces the MIDI buses; the second layout takes over once the targets change.
    void setLayouts(const CBusLayout& first, const CBusLayout& changed);
    /// The buses in use now; safe to call while the audio thread drives the device.
    const CBusLayout& getLayout() const;
    CDeviceBehaviour behaviour;

    bool open();
    /// True once the device may close; counts refusals.
    bool askClose();
    void close();
    bool isOpen() const { return opened.load(); }
    void setPanelLaunched(bool launched) { panelLaunched.store(launched); }
    bool isPanelLaunched() const { return panelLaunched.load(); }

    /// One audio block: MIDI in, audio into the wanted channels' buffers, events out.
    virtual ReWireError drive(const ReWireDriveAudioInputParams& input,
                              ReWireDriveAudioOutputParams& output, int sampleRate);
    /// The host's sample rate and largest block, whenever they change; no drive call runs.
    virtual void setHostFormat(int, int) {}
    /// Host frames by which the device's sound lags the host's timeline (what a host's delay
    /// compensation must make up); 0 for devices that render inside the drive call, unless
    /// the registry gives a test latency.
    virtual int getLatency() const { return behaviour.latency; }
    /// One line on what the device is doing or cannot do, for a user; empty when all is well.
    virtual CStr getStatus() const { return behaviour.status; }
    /// How the host renders (an RWBRenderMode), on the audio thread before a drive call and
    /// only when it changes; devices that render inside the drive call need not know.
    virtual void setRenderMode(int) {}
    /// The library's idle service reaches every device here; never on the audio thread.
    virtual void idle() {}

protected:
    /// Sample rate of the block being driven.
    int rate = 44100;

    /// Clears the sound state before the device is opened again.
    virtual void reset() = 0;
    /// Reaches what the device plays from at open; false refuses the open.
    virtual bool connect() { return true; }
    /// Lets go of it at close; drive calls may still come and must then give silence.
    virtual void disconnect() {}
    virtual void midiEvent(const ReWireMIDIEvent& event) = 0;
    /// Writes frames [first, first + count) of the block into every channel whose buffer is
    /// non-null (buffers point at the block's first frame).
    virtual void render(const ReWireDriveAudioInputParams& input, float* const* buffers, int first,
                        int count) = 0;

private:
    void prepareBuffers(const ReWireDriveAudioInputParams& input);
    void renderWithMIDI(const ReWireDriveAudioInputParams& input, int frames);
    void announceTargetsChanged(ReWireDriveAudioOutputParams& output);

    CStr name;
    int channelCount;
    std::vector<CStr> channelNames;
    CBusLayout layouts[2];
    std::atomic<int> currentLayout{0};
    std::atomic<bool> opened{false};
    std::atomic<bool> panelLaunched{false};
    int closeRefusals = 0;
    int blocksDriven = 0;
    float* channelBuffers[kMaxChannels];
};
