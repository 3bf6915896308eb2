#include "rewire/rewire.h"

#include <cstring>

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
