#include "rewire/device.h"

#include <climits>
#include <cmath>
#include <new>

#include "rewire/midi.h"
#include "rewire/mixer.h"
#include "rewire/rewiremixerapi.h"

namespace {
// One input event array for every device: only one mixer per process can be open, and it
// drives its devices one after another.
ReWireEvent gInputEvents[CReWireDevice::kMaxInputEvents];

// The targets of a device whose targets were never read.
const CTargetTable kNoTargets{};

// Truncated toward zero; positions beyond the 32-bit range stay at its ends.
int32_t asPulses(double quarterNotes) {
    double pulses = quarterNotes * kReWirePPQ;
    if (pulses != pulses) return 0;
    if (pulses <= double(INT32_MIN)) return INT32_MIN;
    if (pulses >= double(INT32_MAX)) return INT32_MAX;
    return int32_t(pulses);
}

// Beats per minute times 1000, rounded to the nearest: 92.5 stays 92.5 for the device.
uint32_t asMilliBeats(double bpm) {
    double milli = std::round(bpm * 1000.0);
    if (!(milli > 0)) return 0;
    return milli >= double(UINT32_MAX) ? UINT32_MAX : uint32_t(milli);
}

// Fills status and data of a MIDI event from a packed message; false for messages that are
// not sent (system messages).
bool convertMessage(int message, ReWireMIDIEvent* event) {
    int d1 = asByte1(message) & 0x7F;
    int d2 = asByte2(message) & 0x7F;
    int status = 0;
    if (noteOn(message)) {
        status = kMIDINoteOn;
    } else if (noteOff(message)) {
        status = kMIDINoteOff;
        d2 = 0;
    } else {
        switch (statusByte(message)) {
        case kMIDIControlChange:
        case kMIDIPitchBend:
        case kMIDIPolyPressure:
            status = statusByte(message);
            break;
        case kMIDIProgramChange:
        case kMIDIChannelPressure:
            status = statusByte(message);
            d2 = 0;
            break;
        default:
            return false;
        }
    }
    event->fStatus = uint16_t(status);
    event->fData1 = uint16_t(d1);
    event->fData2 = uint16_t(d2);
    return true;
}
} // namespace

CReWireDevice::CReWireDevice(CReWireMixer* owner, int deviceIndex, CStr name)
    : mixer(owner), index(deviceIndex) {
    setId(name);
    ReWirePrepareDriveAudioInputParams(&inputParams, 0, nullptr);
    ReWirePrepareDriveAudioOutputParams(&outputParams, 0, nullptr);
}

CReWireDevice::~CReWireDevice() {
    close();
    // Released even when the library refused to close the device.
    freeOutputEvents();
    // No block runs any more: the mixer's gate is closed while devices are destroyed.
    delete published.exchange(nullptr);
}

void CReWireDevice::freeOutputEvents() {
    delete[] outputEvents;
    outputEvents = nullptr;
    outputCapacity = 0;
}

void CReWireDevice::open() {
    if (isActive()) return;
    TRWMDeviceHandle opened = nullptr;
    if (RWMOpenDevice(index, &opened) != kReWireError_NoError || !opened) return;

    ReWireDeviceInfo info;
    ReWirePrepareDeviceInfo(&info);
    // Without its info the device returns no events: it gets no room for them.
    uint32_t capacity = 0;
    if (RWMGetDeviceInfo(index, &info) == kReWireError_NoError) capacity = info.fOutputEventLimit;
    if (capacity > uint32_t(kMaxOutputEvents)) capacity = kMaxOutputEvents;
    freeOutputEvents();
    if (capacity > 0) outputEvents = new (std::nothrow) ReWireEvent[capacity];
    outputCapacity = outputEvents ? capacity : 0;

    ReWirePrepareDriveAudioInputParams(&inputParams, kMaxInputEvents, gInputEvents);
    ReWirePrepareDriveAudioOutputParams(&outputParams, outputCapacity, outputEvents);
    handedRenderMode = -1;
    handle = opened;
    // A panel that does not start leaves the device usable without it.
    panelLaunched = RWMLaunchPanelApp(handle) == kReWireError_NoError;
    getBusInfo();
}

void CReWireDevice::close() {
    if (!isActive()) return;
    // A panel that will not quit goes with the device when the library closes it.
    if (panelLaunched && RWMQuitPanelApp(handle) == kReWireError_NoError) panelLaunched = false;
    ReWireBool ok = 0;
    if (RWMIsCloseDeviceOK(handle, &ok) != kReWireError_NoError || !ok) return;
    if (RWMCloseDevice(handle) != kReWireError_NoError) return;
    handle = nullptr;
}

bool CReWireDevice::mayClose() const {
    ReWireBool ok = 0;
    return isActive() && RWMIsCloseDeviceOK(handle, &ok) == kReWireError_NoError && ok;
}

int CReWireDevice::getLatency() const {
    int32_t frames = 0;
    if (!isActive() || RWMGetDeviceLatency(handle, &frames) != kReWireError_NoError) return 0;
    return frames < 0 ? 0 : (frames > kMaxLatencyFrames ? kMaxLatencyFrames : int(frames));
}

CStr CReWireDevice::getStatus() const {
    char text[kStatusBytes] = {};
    if (!isActive() || RWMGetDeviceStatus(handle, text, kStatusBytes) != kReWireError_NoError)
        return CStr();
    text[kStatusBytes - 1] = 0;
    return CStr(text);
}

void CReWireDevice::setChannels(int count) {
    channelCount = count < 0 ? 0 : (count > kMaxChannels ? kMaxChannels : count);
}

void CReWireDevice::setChannelName(int n, const CStr& name) {
    if (n >= 0 && n < kMaxChannels) channelNames[n] = name;
}

CStr CReWireDevice::getChannelName(int n) const {
    return n >= 0 && n < channelCount ? channelNames[n] : CStr();
}

CStr CReWireDevice::getBusName(int n) const {
    const CMIDIBus* target = getTarget(n);
    return target ? target->name : CStr();
}

const CMIDIBus* CReWireDevice::getTarget(int n) const {
    return n >= 0 && n < getBusses() ? &targets[n] : nullptr;
}

void CReWireDevice::getBusInfo() {
    targetCount = 0;
    ReWireEventInfo info;
    ReWirePrepareEventInfo(&info);
    // A device that cannot describe its buses has no targets until the next re-read.
    if (isActive() && RWMGetEventInfo(handle, &info) == kReWireError_NoError) {
        int count = 0;
        for (uint16_t bus = 0; bus < kReWireReservedEventBusIndex; bus++)
            if (ReWireIsBitInBitFieldSet(info.fBusesInUse, bus)) readTargetsOfBus(bus, count);
        targetCount = count;
    }
    publishTargets();
}

void CReWireDevice::publishTargets() {
    CTargetTable* table = new CTargetTable;
    table->count = targetCount;
    for (int n = 0; n < targetCount; n++)
        table->targets[n] = targets[n].target;
    mixer->gate.retire(published.exchange(table));
}

void CReWireDevice::readTargetsOfBus(uint16_t bus, int& count) {
    ReWireEventBusInfo busInfo;
    ReWirePrepareEventBusInfo(&busInfo);
    if (RWMGetEventBusInfo(handle, bus, &busInfo) != kReWireError_NoError) return;
    busInfo.fBusName[kReWireNameSize - 1] = 0;
    CStr busName(busInfo.fBusName);
    for (uint16_t channel = 0; channel < kReWireEventChannelCount; channel++) {
        if (count >= kMaxTargets) return;
        if (!ReWireIsBitInBitFieldSet(busInfo.fChannelsInUse, channel)) continue;
        CMIDIBus& target = targets[count];
        ReWirePrepareEventTarget(&target.target, bus, channel);
        ReWireEventChannelInfo channelInfo;
        ReWirePrepareEventChannelInfo(&channelInfo);
        if (RWMGetEventChannelInfo(handle, &target.target, &channelInfo) != kReWireError_NoError)
            continue;
        channelInfo.fChannelName[kReWireNameSize - 1] = 0;
        CStr channelName(channelInfo.fChannelName);
        target.bus = bus;
        target.channel = channel;
        target.name = busName.length() > 0 ? busName + ": " + channelName : channelName;
        count++;
    }
}

void CReWireDevice::fillTransport(int frames, bool playChanged) {
    inputParams.fPosition = asPulses(mixer->getPos());
    inputParams.fFrames = frames;
    if (!mixer->getPlaying())
        inputParams.fTransportMode = kReWireTransportStopped;
    else if (playChanged)
        inputParams.fTransportMode = kReWireTransportPlayStarted;
    else
        inputParams.fTransportMode = kReWireTransportPlaying;
    inputParams.fTempo = asMilliBeats(mixer->getTempo());
    inputParams.fBeatsPerBar = uint32_t(mixer->getBeatsPerBar());
    inputParams.fBeatUnit = uint32_t(mixer->getBeatUnit());
    inputParams.fLoopActive = uint32_t(mixer->getLoop());
    inputParams.fLoopFrom = asPulses(mixer->getLoopStart());
    inputParams.fLoopTo = asPulses(mixer->getLoopEnd());
}

void CReWireDevice::requestOutputs() {
    ReWireClearBitField(outputParams.fRenderedChannels, kReWireAudioChannelCount);
    ReWireClearBitField(inputParams.fWantedChannels, kReWireAudioChannelCount);
    for (int n = 0; n < CAudioOuts::kCount; n++) {
        if (!mixer->outs.enabled[n] || !mixer->getBuffer(n)) continue;
        ReWireSetBitInBitField(inputParams.fWantedChannels, uint16_t(n));
        inputParams.fBufferPointers[n] = mixer->getBuffer(n);
    }
}

// Converts entries from first on until the drive call's event buffer is full; answers the
// first entry not looked at.
int CReWireDevice::fillMIDIEvents(const CTargetTable& known, int eventCount,
                                  const CMIDIDATA* events, int first) {
    ReWireEventBuffer& buffer = inputParams.fInputEvents;
    buffer.fCount = 0;
    int i = first;
    for (; i < eventCount && buffer.fCount < buffer.fCapacity; i++) {
        const CMIDIDATA& data = events[i];
        if (data.target < 0 || data.target >= known.count) continue;
        ReWireEvent* event = &buffer.fEvents[buffer.fCount];
        ReWireMIDIEvent* midi = ReWireConvertToMIDIEvent(event, &known.targets[data.target]);
        if (!convertMessage(data.message, midi)) continue;
        midi->fFrameOffset = uint32_t(data.frame < 0 ? 0 : data.frame);
        buffer.fCount++;
    }
    return i;
}

void CReWireDevice::mixRenderedChannels(float** outputs, int frames) {
    for (int n = 0; n < CAudioOuts::kCount; n++) {
        if (!ReWireIsBitInBitFieldSet(outputParams.fRenderedChannels, uint16_t(n))) continue;
        const float* rendered = inputParams.fBufferPointers[n];
        float* out = outputs[n];
        if (!rendered || !out) continue;
        float peak = 0;
        for (int f = 0; f < frames; f++) {
            out[f] += rendered[f];
            float level = std::fabs(rendered[f]);
            if (level > peak) peak = level;
        }
        std::atomic<float>& shown = mixer->outs.peak[n];
        if (peak > shown.load(std::memory_order_relaxed))
            shown.store(peak, std::memory_order_relaxed);
    }
}

void CReWireDevice::readOutputEvents() {
    const ReWireEventBuffer& buffer = outputParams.fOutputEvents;
    // A library that claims more events than fit is not believed beyond the buffer.
    uint32_t count = buffer.fCount < outputCapacity ? buffer.fCount : outputCapacity;
    for (uint32_t i = 0; i < count; i++)
        if (outputEvents[i].fEventType == kReWireEventTargetChangedEvent)
            mixer->setTargetsChanged(true);
}

void CReWireDevice::process(float** outputs, int frames, int eventCount, const CMIDIDATA* events,
                            bool playChanged) {
    if (!isActive() || !outputs || frames < 0) return;
    if (frames > mixer->getMaxFrames()) frames = mixer->getMaxFrames();
    if (!events || eventCount < 0) eventCount = 0;
    const CTargetTable* known = published.load();
    if (!known) known = &kNoTargets;
    int next = 0;
    for (;;) {
        int first = next;
        next = fillMIDIEvents(*known, eventCount, events, first);
        bool more = next < eventCount && next > first;
        // A failed call ends the slice for this device; the next slice tries again.
        if (!drive(outputs, more ? 0 : frames, playChanged)) return;
        playChanged = false;
        if (!more) return;
    }
}

// Only a change is handed on: the library is told before the first drive call after an open
// and whenever the host switches between realtime and offline.
void CReWireDevice::handRenderMode() {
    int mode = mixer->getRenderMode();
    if (mode == handedRenderMode) return;
    handedRenderMode = mode;
    RWMSetDeviceRenderMode(handle, mode);
}

bool CReWireDevice::drive(float** outputs, int frames, bool playChanged) {
    handRenderMode();
    fillTransport(frames, playChanged);
    requestOutputs();
    outputParams.fOutputEvents.fCount = 0;
    if (RWMDriveAudio(handle, &inputParams, &outputParams) != kReWireError_NoError) return false;
    mixRenderedChannels(outputs, frames);
    readOutputEvents();
    return true;
}
