// One ReWire device as the mixer sees it: names and channels from the library's device list,
// its MIDI targets, and while open the handle through which each audio block is driven.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/object.h"
#include "rewire/rewire.h"

class CReWireMixer;

/// A device's MIDI targets as the audio thread reads them: written once by the UI side, then
/// only read until it is retired (see CProcessGate).
struct CTargetTable {
    static constexpr int kMaxTargets = 1024;
    int count = 0;
    ReWireEventTarget targets[kMaxTargets] = {};
    void poison() { count = 0; }
};

/// One queued MIDI message: frame offset in the block, packed short message, target index.
struct CMIDIDATA {
    int32_t frame;
    int32_t message;
    int32_t target;
};
static_assert(sizeof(CMIDIDATA) == 12, "CMIDIDATA is three 32-bit values");

/// One MIDI event target of a device: a bus and a channel on it, with a name to show.
class CMIDIBus : public CObject {
public:
    CStr name;
    int bus = 0;
    int channel = 0;
    ReWireEventTarget target{0, 0};
};

class CReWireDevice : public CObject {
public:
    static constexpr int kMaxChannels = kReWireAudioChannelCount;
    static constexpr int kMaxTargets = CTargetTable::kMaxTargets;
    /// MIDI events handed to the library per drive call.
    static constexpr int kMaxInputEvents = 1000;
    /// Largest output event buffer we keep, whatever the library asks for.
    static constexpr int kMaxOutputEvents = 4096;
    /// Latencies the library reports beyond this are cut to it (over a second at 192 kHz).
    static constexpr int kMaxLatencyFrames = 1 << 18;
    /// Room for the device's state line, terminator included.
    static constexpr int kStatusBytes = 256;

    CReWireDevice(CReWireMixer* owner, int deviceIndex, CStr name);
    ~CReWireDevice() override;
    CReWireDevice(const CReWireDevice&) = delete;
    CReWireDevice& operator=(const CReWireDevice&) = delete;

    bool isActive() const { return handle != nullptr; }
    int getIndex() const { return index; }
    void open();
    /// Closes the device when the library allows it; otherwise it stays open.
    void close();
    /// Whether the library would let the device close now; it stays open either way.
    bool mayClose() const;
    /// Forgets the handle without asking the library, once the library has closed the device
    /// itself (it does so when the mixer interface closes).
    void detach() { handle = nullptr; }

    /// Host frames by which the device's sound lags the host's timeline, as its library
    /// reports it now: 0 while closed or when the library cannot say (UI side).
    int getLatency() const;
    /// What the device is doing or cannot do, in one line; empty while closed (UI side).
    CStr getStatus() const;

    void setChannels(int count);
    int getChannels() const { return channelCount; }
    void setChannelName(int n, const CStr& name);
    CStr getChannelName(int n) const;

    /// Re-reads the device's MIDI targets from the library, in order of bus, then channel, and
    /// publishes them to the audio thread without keeping it out (UI side).
    void getBusInfo();
    int getBusses() const { return targetCount; }
    /// Name of target n; empty outside the target list.
    CStr getBusName(int n) const;
    /// Target n; null outside the target list.
    const CMIDIBus* getTarget(int n) const;
    void setBus(int bus) { selectedBus = bus; }
    int getBus() const { return selectedBus; }
    void setChs(int chs) { channelsToUse = chs; }
    int getChs() const { return channelsToUse; }

    /// Renders one slice into the outputs (adding to them) with the mixer's transport and the
    /// given MIDI; allocates nothing and makes no call but the library's drive calls. MIDI
    /// beyond one drive call's events goes first, with drive calls of 0 frames, so every event
    /// sounds at the slice's first frame. A 0-frame slice only delivers its MIDI.
    void process(float** outputs, int frames, int eventCount, const CMIDIDATA* events,
                 bool playChanged);

    /// The records of the last drive call, for inspection.
    const ReWireDriveAudioInputParams& getInputParams() const { return inputParams; }
    const ReWireDriveAudioOutputParams& getOutputParams() const { return outputParams; }

private:
    bool drive(float** outputs, int frames, bool playChanged);
    void handRenderMode();
    void fillTransport(int frames, bool playChanged);
    void requestOutputs();
    int fillMIDIEvents(const CTargetTable& known, int eventCount, const CMIDIDATA* events,
                       int first);
    void mixRenderedChannels(float** outputs, int frames);
    void readOutputEvents();
    void readTargetsOfBus(uint16_t bus, int& count);
    void publishTargets();
    void freeOutputEvents();

    CReWireMixer* mixer;
    int index;
    TRWMDeviceHandle handle = nullptr;
    CStr channelNames[kMaxChannels];
    int channelCount = 0;
    ReWireDriveAudioInputParams inputParams;
    ReWireDriveAudioOutputParams outputParams;
    // the UI side's view of the targets, with their names
    CMIDIBus targets[kMaxTargets];
    int selectedBus = 0;
    int targetCount = 0;
    int channelsToUse = 2;
    ReWireEvent* outputEvents = nullptr;
    uint32_t outputCapacity = 0;
    bool panelLaunched = false;
    /// The render mode the library was last told; none yet after an open (audio thread).
    int handedRenderMode = -1;
    // the audio thread's view of the targets
    std::atomic<CTargetTable*> published{nullptr};
};
