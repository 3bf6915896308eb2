#include "bundledevice.h"

#include <cstring>

#include "libraryerrors.h"

namespace {
void copyName(char* to, const CStr& from) {
    strncpy(to, from.asChar(), kReWireNameSize - 1);
    to[kReWireNameSize - 1] = 0;
}
} // namespace

void CBusLayout::addBus(const CStr& busName, const std::vector<CStr>& names) {
    Bus bus;
    bus.name = busName;
    for (size_t channel = 0; channel < names.size() && channel < kReWireEventChannelCount;
         channel++) {
        bus.channelsInUse |= 1u << channel;
        bus.channelNames[channel] = names[channel];
    }
    buses.push_back(bus);
}

const CBusLayout::Bus* CBusLayout::getBus(int bus) const {
    if (bus < 0 || bus >= int(buses.size()) || bus >= kReWireReservedEventBusIndex) return nullptr;
    return &buses[size_t(bus)];
}

bool CBusLayout::hasTarget(const ReWireEventTarget& target) const {
    const Bus* bus = getBus(target.fBus);
    return bus && target.fChannel < kReWireEventChannelCount &&
           (bus->channelsInUse >> target.fChannel & 1u);
}

CBundleDevice::CBundleDevice(const CStr& deviceName, int channels)
    : name(deviceName),
      channelCount(channels < 0 ? 0 : (channels > kMaxChannels ? kMaxChannels : channels)),
      channelNames(size_t(channelCount)) {
    for (int n = 0; n < channelCount; n++)
        channelNames[size_t(n)] = "Channel " + asStr(n + 1);
    for (float*& buffer : channelBuffers)
        buffer = nullptr;
}

CStr CBundleDevice::getChannelName(int n) const {
    return n >= 0 && n < channelCount ? channelNames[size_t(n)] : CStr();
}

void CBundleDevice::setChannelName(int n, const CStr& text) {
    if (n >= 0 && n < channelCount) channelNames[size_t(n)] = text;
}

void CBundleDevice::fillDeviceInfo(ReWireDeviceInfo* info) const {
    copyName(info->fName, name);
    info->fChannelCount = channelCount;
    for (int n = 0; n < channelCount; n++)
        copyName(info->fChannelNames[n], channelNames[size_t(n)]);
    info->fOutputEventLimit = behaviour.outputEventLimit;
}

void CBundleDevice::setLayouts(const CBusLayout& first, const CBusLayout& changed) {
    layouts[0] = first;
    layouts[1] = changed;
    currentLayout.store(0);
}

const CBusLayout& CBundleDevice::getLayout() const {
    return layouts[currentLayout.load()];
}

bool CBundleDevice::open() {
    if (behaviour.refuseOpen) return false;
    if (opened.load()) return true;
    if (!connect()) return false;
    reset();
    blocksDriven = 0;
    closeRefusals = 0;
    currentLayout.store(0);
    opened.store(true);
    return true;
}

bool CBundleDevice::askClose() {
    if (behaviour.refuseClose < 0) return false;
    if (closeRefusals < behaviour.refuseClose) {
        closeRefusals++;
        return false;
    }
    return true;
}

void CBundleDevice::close() {
    if (opened.load()) disconnect();
    opened.store(false);
    panelLaunched.store(false);
}

void CBundleDevice::prepareBuffers(const ReWireDriveAudioInputParams& input) {
    for (int n = 0; n < kMaxChannels; n++) {
        bool wanted = n < channelCount && ReWireIsBitInBitFieldSet(input.fWantedChannels, n);
        channelBuffers[n] = wanted ? input.fBufferPointers[n] : nullptr;
    }
}

// Splits the block at the MIDI events' frame offsets, so each event sounds at its own frame.
// A block of 0 frames is accepted: its events reach the device, no audio is written.
void CBundleDevice::renderWithMIDI(const ReWireDriveAudioInputParams& input, int frames) {
    const ReWireEventBuffer& events = input.fInputEvents;
    uint32_t count = events.fEvents ? events.fCount : 0;
    if (count > events.fCapacity) count = events.fCapacity;
    const CBusLayout& layout = getLayout();
    int done = 0;
    for (uint32_t i = 0; i < count; i++) {
        const ReWireEvent& event = events.fEvents[i];
        if (event.fEventType != kReWireMIDIEvent) continue;
        if (!layout.hasTarget(event.fMIDIEvent.fTarget)) continue;
        int at =
            int(event.fMIDIEvent.fFrameOffset < uint32_t(frames) ? event.fMIDIEvent.fFrameOffset
                                                                 : uint32_t(frames));
        if (at > done) {
            render(input, channelBuffers, done, at - done);
            done = at;
        }
        midiEvent(event.fMIDIEvent);
    }
    // A drive call of 0 frames delivers MIDI only; the device still sees its transport.
    if (done < frames || frames == 0) render(input, channelBuffers, done, frames - done);
}

void CBundleDevice::announceTargetsChanged(ReWireDriveAudioOutputParams& output) {
    ReWireEventBuffer& events = output.fOutputEvents;
    uint32_t capacity = events.fCapacity < behaviour.outputEventLimit ? events.fCapacity
                                                                      : behaviour.outputEventLimit;
    if (!events.fEvents || events.fCount >= capacity) return;
    ReWireConvertToEventTargetChangedEvent(&events.fEvents[events.fCount]);
    events.fCount++;
}

ReWireError CBundleDevice::drive(const ReWireDriveAudioInputParams& input,
                                 ReWireDriveAudioOutputParams& output, int sampleRate) {
    if (behaviour.failDrive) return kLibraryError_DriveFailed;
    int frames = input.fFrames > 0 ? input.fFrames : 0;
    output.fOutputEvents.fCount = 0;
    ReWireClearBitField(output.fRenderedChannels, kReWireAudioChannelCount);
    prepareBuffers(input);
    if (sampleRate > 0) rate = sampleRate;
    renderWithMIDI(input, frames);
    for (int n = 0; n < channelCount; n++)
        if (channelBuffers[n]) ReWireSetBitInBitField(output.fRenderedChannels, uint16_t(n));

    blocksDriven++;
    bool changeDue =
        behaviour.targetsChangeAfter > 0 &&
        (blocksDriven == behaviour.targetsChangeAfter ||
         (behaviour.targetsChangeRepeat && blocksDriven > behaviour.targetsChangeAfter));
    if (changeDue) {
        currentLayout.store(1);
        announceTargetsChanged(output);
    }
    if (behaviour.overstateEvents)
        output.fOutputEvents.fCount = output.fOutputEvents.fCapacity + 1000;
    return kReWireError_NoError;
}
