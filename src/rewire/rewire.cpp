#include "rewire/rewire.h"

#include <cstring>

// Sizes and offsets that both sides of the connection read or write.
static_assert(sizeof(ReWireAudioInfo) == 12, "audio info size");
static_assert(offsetof(ReWireAudioInfo, fSampleRate) == 4, "audio info layout");
static_assert(offsetof(ReWireAudioInfo, fBlockFramesMax) == 8, "audio info layout");
static_assert(sizeof(ReWireOpenInfo) == 16, "open info size");
static_assert(offsetof(ReWireOpenInfo, fAudioInfo) == 4, "open info layout");
static_assert(sizeof(ReWireDeviceInfo) == 8288, "device info size");
static_assert(offsetof(ReWireDeviceInfo, fName) == 4, "device info layout");
static_assert(offsetof(ReWireDeviceInfo, fChannelCount) == 36, "device info layout");
static_assert(offsetof(ReWireDeviceInfo, fChannelNames) == 40, "device info layout");
static_assert(offsetof(ReWireDeviceInfo, fLibraryFields) == 8232, "device info layout");
static_assert(offsetof(ReWireDeviceInfo, fOutputEventLimit) == 8280, "device info layout");
static_assert(sizeof(ReWireEventTarget) == 4, "event target size");
static_assert(offsetof(ReWireEventTarget, fChannel) == 2, "event target layout");
static_assert(sizeof(ReWireEventInfo) == 36, "event info size");
static_assert(offsetof(ReWireEventInfo, fBusesInUse) == 4, "event info layout");
static_assert(sizeof(ReWireEventBusInfo) == 40, "event bus info size");
static_assert(offsetof(ReWireEventBusInfo, fChannelsInUse) == 4, "event bus info layout");
static_assert(offsetof(ReWireEventBusInfo, fBusName) == 8, "event bus info layout");
static_assert(sizeof(ReWireEventChannelInfo) == 68, "event channel info size");
static_assert(offsetof(ReWireEventChannelInfo, fChannelName) == 36, "channel info layout");
static_assert(sizeof(ReWireEventControllerInfo) == 44, "controller info size");
static_assert(sizeof(ReWireEventNoteInfo) == 44, "note info size");
static_assert(sizeof(ReWireEvent) == 24, "event size");
static_assert(sizeof(ReWireMIDIEvent) == 24, "MIDI event size");
static_assert(offsetof(ReWireMIDIEvent, fFrameOffset) == 4, "MIDI event layout");
static_assert(offsetof(ReWireMIDIEvent, fTarget) == 12, "MIDI event layout");
static_assert(offsetof(ReWireMIDIEvent, fStatus) == 16, "MIDI event layout");
static_assert(offsetof(ReWireMIDIEvent, fData1) == 18, "MIDI event layout");
static_assert(offsetof(ReWireMIDIEvent, fData2) == 20, "MIDI event layout");
static_assert(sizeof(ReWireRequestRepositionEvent) == 24, "event size");
static_assert(sizeof(ReWireRequestSignatureEvent) == 24, "event size");
static_assert(sizeof(ReWireRequestTempoEvent) == 24, "event size");
static_assert(sizeof(ReWireRequestLoopEvent) == 24, "event size");
static_assert(sizeof(ReWireRequestPlayEvent) == 24, "event size");
static_assert(sizeof(ReWireRequestStopEvent) == 24, "event size");
static_assert(sizeof(ReWireRevealEventTargetEvent) == 24, "event size");
static_assert(sizeof(ReWireEventTargetChangedEvent) == 24, "event size");
static_assert(sizeof(ReWireEventBuffer) == 24, "event buffer size");
static_assert(offsetof(ReWireEventBuffer, fEventSize) == 4, "event buffer layout");
static_assert(offsetof(ReWireEventBuffer, fCount) == 8, "event buffer layout");
static_assert(offsetof(ReWireEventBuffer, fCapacity) == 12, "event buffer layout");
static_assert(offsetof(ReWireEventBuffer, fEvents) == 16, "event buffer layout");
static_assert(sizeof(ReWireDriveAudioInputParams) == 2144, "drive input size");
static_assert(offsetof(ReWireDriveAudioInputParams, fInputEvents) == 4, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fWantedChannels) == 28, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fBufferPointers) == 60, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fPosition) == 2108, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fFrames) == 2112, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fTransportMode) == 2116, "drive input");
static_assert(offsetof(ReWireDriveAudioInputParams, fTempo) == 2120, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fBeatsPerBar) == 2124, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fBeatUnit) == 2128, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fLoopFrom) == 2132, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fLoopTo) == 2136, "drive input layout");
static_assert(offsetof(ReWireDriveAudioInputParams, fLoopActive) == 2140, "drive input layout");
static_assert(sizeof(ReWireDriveAudioOutputParams) == 60, "drive output size");
static_assert(offsetof(ReWireDriveAudioOutputParams, fOutputEvents) == 4, "drive output layout");
static_assert(offsetof(ReWireDriveAudioOutputParams, fRenderedChannels) == 28, "drive output");
static_assert(sizeof(ReWirePipeInfo) == 12, "pipe info size");

void ReWireZeroMemory(void* data, size_t size) {
    if (data && size > 0) memset(data, 0, size);
}

void ReWirePrepareAudioInfo(ReWireAudioInfo* info, int32_t sampleRate, int32_t blockFramesMax) {
    ReWireZeroMemory(info, sizeof(*info));
    info->fRecordSize = sizeof(*info);
    info->fSampleRate = sampleRate;
    info->fBlockFramesMax = blockFramesMax;
}

void ReWirePrepareOpenInfo(ReWireOpenInfo* info, int32_t sampleRate, int32_t blockFramesMax) {
    ReWireZeroMemory(info, sizeof(*info));
    info->fRecordSize = sizeof(*info);
    ReWirePrepareAudioInfo(&info->fAudioInfo, sampleRate, blockFramesMax);
}

namespace {
template <typename Record> void prepareSized(Record* record) {
    ReWireZeroMemory(record, sizeof(*record));
    record->fRecordSize = sizeof(*record);
}

template <typename Event> Event* convertTo(ReWireEvent* event, uint16_t type) {
    ReWireZeroMemory(event, sizeof(*event));
    event->fEventType = type;
    return reinterpret_cast<Event*>(event);
}

template <typename Event> Event* castTo(ReWireEvent* event, uint16_t type) {
    if (!event || event->fEventType != type) return nullptr;
    return reinterpret_cast<Event*>(event);
}
} // namespace

void ReWirePrepareDeviceInfo(ReWireDeviceInfo* info) {
    prepareSized(info);
}
void ReWirePrepareEventInfo(ReWireEventInfo* info) {
    prepareSized(info);
}
void ReWirePrepareEventBusInfo(ReWireEventBusInfo* info) {
    prepareSized(info);
}
void ReWirePrepareEventChannelInfo(ReWireEventChannelInfo* info) {
    prepareSized(info);
}
void ReWirePrepareEventControllerInfo(ReWireEventControllerInfo* info) {
    prepareSized(info);
}
void ReWirePrepareEventNoteInfo(ReWireEventNoteInfo* info) {
    prepareSized(info);
}

bool ReWireIsValidEventTarget(const ReWireEventTarget& target) {
    return target.fBus < kReWireReservedEventBusIndex && target.fChannel < kReWireEventChannelCount;
}

bool ReWirePrepareEventTarget(ReWireEventTarget* target, uint16_t bus, uint16_t channel) {
    ReWireEventTarget wanted{bus, channel};
    if (!ReWireIsValidEventTarget(wanted)) return false;
    *target = wanted;
    return true;
}

void ReWirePrepareEventBuffer(ReWireEventBuffer* buffer, uint32_t capacity, ReWireEvent* events) {
    ReWireZeroMemory(buffer, sizeof(*buffer));
    buffer->fRecordSize = sizeof(*buffer);
    buffer->fEventSize = sizeof(ReWireEvent);
    buffer->fCount = 0;
    buffer->fCapacity = events ? capacity : 0;
    buffer->fEvents = events;
    if (events) ReWireZeroMemory(events, size_t(capacity) * sizeof(ReWireEvent));
}

void ReWirePrepareDriveAudioInputParams(ReWireDriveAudioInputParams* params, uint32_t capacity,
                                        ReWireEvent* events) {
    ReWireZeroMemory(params, sizeof(*params));
    params->fRecordSize = sizeof(*params);
    ReWirePrepareEventBuffer(&params->fInputEvents, capacity, events);
}

void ReWirePrepareDriveAudioOutputParams(ReWireDriveAudioOutputParams* params, uint32_t capacity,
                                         ReWireEvent* events) {
    ReWireZeroMemory(params, sizeof(*params));
    params->fRecordSize = sizeof(*params);
    ReWirePrepareEventBuffer(&params->fOutputEvents, capacity, events);
}

void ReWirePreparePipeInfo(ReWirePipeInfo* info, uint32_t value1, uint32_t value2) {
    prepareSized(info);
    info->fValue1 = value1;
    info->fValue2 = value2;
}

ReWireMIDIEvent* ReWireConvertToMIDIEvent(ReWireEvent* event, const ReWireEventTarget* target) {
    ReWireMIDIEvent* midi = convertTo<ReWireMIDIEvent>(event, kReWireMIDIEvent);
    if (target) midi->fTarget = *target;
    return midi;
}

ReWireRequestRepositionEvent* ReWireConvertToRequestRepositionEvent(ReWireEvent* event) {
    return convertTo<ReWireRequestRepositionEvent>(event, kReWireRequestRepositionEvent);
}
ReWireRequestSignatureEvent* ReWireConvertToRequestSignatureEvent(ReWireEvent* event) {
    return convertTo<ReWireRequestSignatureEvent>(event, kReWireRequestSignatureEvent);
}
ReWireRequestTempoEvent* ReWireConvertToRequestTempoEvent(ReWireEvent* event) {
    return convertTo<ReWireRequestTempoEvent>(event, kReWireRequestTempoEvent);
}
ReWireRequestLoopEvent* ReWireConvertToRequestLoopEvent(ReWireEvent* event) {
    return convertTo<ReWireRequestLoopEvent>(event, kReWireRequestLoopEvent);
}
ReWireRequestPlayEvent* ReWireConvertToRequestPlayEvent(ReWireEvent* event) {
    return convertTo<ReWireRequestPlayEvent>(event, kReWireRequestPlayEvent);
}
ReWireRequestStopEvent* ReWireConvertToRequestStopEvent(ReWireEvent* event) {
    return convertTo<ReWireRequestStopEvent>(event, kReWireRequestStopEvent);
}
ReWireRevealEventTargetEvent* ReWireConvertToRevealEventTargetEvent(ReWireEvent* event) {
    return convertTo<ReWireRevealEventTargetEvent>(event, kReWireRevealEventTargetEvent);
}
ReWireEventTargetChangedEvent* ReWireConvertToEventTargetChangedEvent(ReWireEvent* event) {
    return convertTo<ReWireEventTargetChangedEvent>(event, kReWireEventTargetChangedEvent);
}

ReWireMIDIEvent* ReWireCastToMIDIEvent(ReWireEvent* event) {
    return castTo<ReWireMIDIEvent>(event, kReWireMIDIEvent);
}
ReWireRequestRepositionEvent* ReWireCastToRequestRepositionEvent(ReWireEvent* event) {
    return castTo<ReWireRequestRepositionEvent>(event, kReWireRequestRepositionEvent);
}
ReWireRequestSignatureEvent* ReWireCastToRequestSignatureEvent(ReWireEvent* event) {
    return castTo<ReWireRequestSignatureEvent>(event, kReWireRequestSignatureEvent);
}
ReWireRequestTempoEvent* ReWireCastToRequestTempoEvent(ReWireEvent* event) {
    return castTo<ReWireRequestTempoEvent>(event, kReWireRequestTempoEvent);
}
ReWireRequestLoopEvent* ReWireCastToRequestLoopEvent(ReWireEvent* event) {
    return castTo<ReWireRequestLoopEvent>(event, kReWireRequestLoopEvent);
}
ReWireRequestPlayEvent* ReWireCastToRequestPlayEvent(ReWireEvent* event) {
    return castTo<ReWireRequestPlayEvent>(event, kReWireRequestPlayEvent);
}
ReWireRequestStopEvent* ReWireCastToRequestStopEvent(ReWireEvent* event) {
    return castTo<ReWireRequestStopEvent>(event, kReWireRequestStopEvent);
}
ReWireRevealEventTargetEvent* ReWireCastToRevealEventTargetEvent(ReWireEvent* event) {
    return castTo<ReWireRevealEventTargetEvent>(event, kReWireRevealEventTargetEvent);
}
ReWireEventTargetChangedEvent* ReWireCastToEventTargetChangedEvent(ReWireEvent* event) {
    return castTo<ReWireEventTargetChangedEvent>(event, kReWireEventTargetChangedEvent);
}

void ReWireClearBitField(uint32_t* field, uint16_t bitCount) {
    ReWireZeroMemory(field, ((size_t(bitCount) + 31) / 32) * sizeof(uint32_t));
}

void ReWireSetBitInBitField(uint32_t* field, uint16_t bit) {
    field[bit / 32] |= 1u << (bit % 32);
}

void ReWireClearBitInBitField(uint32_t* field, uint16_t bit) {
    field[bit / 32] &= ~(1u << (bit % 32));
}

bool ReWireIsBitInBitFieldSet(const uint32_t* field, uint16_t bit) {
    return (field[bit / 32] >> (bit % 32)) & 1u;
}

void ReWireSetBitRangeInBitField(uint32_t* field, uint16_t first, uint16_t count) {
    for (uint32_t bit = first; bit < uint32_t(first) + count && bit <= 0xFFFF; bit++)
        ReWireSetBitInBitField(field, uint16_t(bit));
}
