// Records, result codes, event types and bit-field helpers shared by a ReWire mixer and the
// ReWire library. Every record is byte-exact and little-endian; records that begin with a size
// field carry their own byte size there, which the prepare helpers set.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int32_t ReWireError;
typedef void* TRWMDeviceHandle;
typedef uint8_t ReWireBool;

enum : ReWireError {
    kReWireError_NoError = 1,
    kReWireError_AlreadyOpen = 6,
    kReWireError_UnableToOpenDLL = 9,
    kReWireError_DLLNotFound = 100,
    kReWireError_DLLTooOld = 101,
};

enum : uint16_t {
    kReWireMIDIEvent = 10,
    kReWireRequestRepositionEvent = 11,
    kReWireRequestSignatureEvent = 12,
    kReWireRequestTempoEvent = 13,
    kReWireRequestLoopEvent = 14,
    kReWireRequestPlayEvent = 15,
    kReWireRequestStopEvent = 16,
    kReWireRevealEventTargetEvent = 100,
    kReWireEventTargetChangedEvent = 101,
};

/// Interface version code handed to the library's open call by a mixer.
constexpr int32_t kReWireMixerInterfaceVersion = 3000000;
/// Interface version code of the device and panel sides.
constexpr int32_t kReWireDeviceInterfaceVersion = 1000000;

constexpr int kReWireAudioChannelCount = 256;
constexpr int kReWireEventBusCount = 256;
constexpr int kReWireReservedEventBusIndex = 255;
constexpr int kReWireEventChannelCount = 16;
constexpr int kReWireNameSize = 32;
/// Pulses per quarter note of song positions and loop locators.
constexpr int kReWirePPQ = 15360;

// Records holding pointers are laid out on 4-byte boundaries, so the buffer pointers of the
// drive-audio input record start at offset 60.
#pragma pack(push, 4)

struct ReWireAudioInfo {
    uint32_t fRecordSize;
    int32_t fSampleRate;
    int32_t fBlockFramesMax;
};

struct ReWireOpenInfo {
    uint32_t fRecordSize;
    ReWireAudioInfo fAudioInfo;
};

struct ReWireDeviceInfo {
    uint32_t fRecordSize;
    char fName[kReWireNameSize];
    int32_t fChannelCount;
    char fChannelNames[kReWireAudioChannelCount][kReWireNameSize];
    uint8_t fLibraryFields[48];
    uint32_t fOutputEventLimit;
    uint32_t fLibraryTail;
};

struct ReWireEventTarget {
    uint16_t fBus;
    uint16_t fChannel;
};

struct ReWireEventInfo {
    uint32_t fRecordSize;
    uint32_t fBusesInUse[kReWireEventBusCount / 32];
};

struct ReWireEventBusInfo {
    uint32_t fRecordSize;
    uint32_t fChannelsInUse[1];
    char fBusName[kReWireNameSize];
};

struct ReWireEventChannelInfo {
    uint32_t fRecordSize;
    uint8_t fLibraryFields[32];
    char fChannelName[kReWireNameSize];
};

struct ReWireEventControllerInfo {
    uint32_t fRecordSize;
    uint8_t fLibraryFields[40];
};

struct ReWireEventNoteInfo {
    uint32_t fRecordSize;
    uint8_t fLibraryFields[40];
};

struct ReWireMIDIEvent {
    uint16_t fEventType;
    uint16_t fUnused1;
    uint32_t fFrameOffset;
    uint32_t fUnused2;
    ReWireEventTarget fTarget;
    uint16_t fStatus;
    uint16_t fData1;
    uint16_t fData2;
    uint16_t fUnused3;
};

struct ReWireRequestRepositionEvent {
    uint16_t fEventType;
    uint16_t fUnused1;
    int32_t fPosition;
    uint8_t fUnused2[16];
};

struct ReWireRequestSignatureEvent {
    uint16_t fEventType;
    uint16_t fUnused1;
    uint32_t fBeatsPerBar;
    uint32_t fBeatUnit;
    uint8_t fUnused2[12];
};

struct ReWireRequestTempoEvent {
    uint16_t fEventType;
    uint16_t fUnused1;
    uint32_t fTempo;
    uint8_t fUnused2[16];
};

struct ReWireRequestLoopEvent {
    uint16_t fEventType;
    uint16_t fUnused1;
    int32_t fLoopFrom;
    int32_t fLoopTo;
    uint32_t fLoopActive;
    uint8_t fUnused2[8];
};

struct ReWireRequestPlayEvent {
    uint16_t fEventType;
    uint8_t fUnused[22];
};

struct ReWireRequestStopEvent {
    uint16_t fEventType;
    uint8_t fUnused[22];
};

struct ReWireRevealEventTargetEvent {
    uint16_t fEventType;
    uint16_t fUnused1;
    ReWireEventTarget fTarget;
    uint8_t fUnused2[16];
};

struct ReWireEventTargetChangedEvent {
    uint16_t fEventType;
    uint8_t fUnused[22];
};

/// One event of any type; the type decides which member is meant.
union ReWireEvent {
    uint16_t fEventType;
    ReWireMIDIEvent fMIDIEvent;
    ReWireRequestRepositionEvent fRequestRepositionEvent;
    ReWireRequestSignatureEvent fRequestSignatureEvent;
    ReWireRequestTempoEvent fRequestTempoEvent;
    ReWireRequestLoopEvent fRequestLoopEvent;
    ReWireRequestPlayEvent fRequestPlayEvent;
    ReWireRequestStopEvent fRequestStopEvent;
    ReWireRevealEventTargetEvent fRevealEventTargetEvent;
    ReWireEventTargetChangedEvent fEventTargetChangedEvent;
    uint8_t fBytes[24];
};

struct ReWireEventBuffer {
    uint32_t fRecordSize;
    uint32_t fEventSize;
    uint32_t fCount;
    uint32_t fCapacity;
    ReWireEvent* fEvents;
};

struct ReWireDriveAudioInputParams {
    uint32_t fRecordSize;
    ReWireEventBuffer fInputEvents;
    uint32_t fWantedChannels[kReWireAudioChannelCount / 32];
    float* fBufferPointers[kReWireAudioChannelCount];
    int32_t fPosition;
    int32_t fFrames;
    int32_t fTransportMode;
    uint32_t fTempo;
    uint32_t fBeatsPerBar;
    uint32_t fBeatUnit;
    int32_t fLoopFrom;
    int32_t fLoopTo;
    uint32_t fLoopActive;
};

struct ReWireDriveAudioOutputParams {
    uint32_t fRecordSize;
    ReWireEventBuffer fOutputEvents;
    uint32_t fRenderedChannels[kReWireAudioChannelCount / 32];
};

struct ReWirePipeInfo {
    uint32_t fRecordSize;
    uint32_t fValue1;
    uint32_t fValue2;
};

#pragma pack(pop)

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

enum : int32_t {
    kReWireTransportStopped = 0,
    kReWireTransportPlaying = 1,
    kReWireTransportPlayStarted = 2,
};

// Record helpers: each zero-fills the whole record, then sets its size and the given values.
void ReWireZeroMemory(void* data, size_t size);
void ReWirePrepareAudioInfo(ReWireAudioInfo* info, int32_t sampleRate, int32_t blockFramesMax);
void ReWirePrepareOpenInfo(ReWireOpenInfo* info, int32_t sampleRate, int32_t blockFramesMax);
void ReWirePrepareDeviceInfo(ReWireDeviceInfo* info);
void ReWirePrepareEventInfo(ReWireEventInfo* info);
void ReWirePrepareEventBusInfo(ReWireEventBusInfo* info);
void ReWirePrepareEventChannelInfo(ReWireEventChannelInfo* info);
void ReWirePrepareEventControllerInfo(ReWireEventControllerInfo* info);
void ReWirePrepareEventNoteInfo(ReWireEventNoteInfo* info);
/// False (and the target left alone) unless bus < 255 and channel < 16.
bool ReWirePrepareEventTarget(ReWireEventTarget* target, uint16_t bus, uint16_t channel);
bool ReWireIsValidEventTarget(const ReWireEventTarget& target);
/// Also zero-fills capacity events at events.
void ReWirePrepareEventBuffer(ReWireEventBuffer* buffer, uint32_t capacity, ReWireEvent* events);
void ReWirePrepareDriveAudioInputParams(ReWireDriveAudioInputParams* params, uint32_t capacity,
                                        ReWireEvent* events);
void ReWirePrepareDriveAudioOutputParams(ReWireDriveAudioOutputParams* params, uint32_t capacity,
                                         ReWireEvent* events);
void ReWirePreparePipeInfo(ReWirePipeInfo* info, uint32_t value1, uint32_t value2);

// Convert helpers clear the event and set its type (and, for MIDI, its target).
ReWireMIDIEvent* ReWireConvertToMIDIEvent(ReWireEvent* event, const ReWireEventTarget* target);
ReWireRequestRepositionEvent* ReWireConvertToRequestRepositionEvent(ReWireEvent* event);
ReWireRequestSignatureEvent* ReWireConvertToRequestSignatureEvent(ReWireEvent* event);
ReWireRequestTempoEvent* ReWireConvertToRequestTempoEvent(ReWireEvent* event);
ReWireRequestLoopEvent* ReWireConvertToRequestLoopEvent(ReWireEvent* event);
ReWireRequestPlayEvent* ReWireConvertToRequestPlayEvent(ReWireEvent* event);
ReWireRequestStopEvent* ReWireConvertToRequestStopEvent(ReWireEvent* event);
ReWireRevealEventTargetEvent* ReWireConvertToRevealEventTargetEvent(ReWireEvent* event);
ReWireEventTargetChangedEvent* ReWireConvertToEventTargetChangedEvent(ReWireEvent* event);

// Cast helpers view an event as its type; null when the type does not match.
ReWireMIDIEvent* ReWireCastToMIDIEvent(ReWireEvent* event);
ReWireRequestRepositionEvent* ReWireCastToRequestRepositionEvent(ReWireEvent* event);
ReWireRequestSignatureEvent* ReWireCastToRequestSignatureEvent(ReWireEvent* event);
ReWireRequestTempoEvent* ReWireCastToRequestTempoEvent(ReWireEvent* event);
ReWireRequestLoopEvent* ReWireCastToRequestLoopEvent(ReWireEvent* event);
ReWireRequestPlayEvent* ReWireCastToRequestPlayEvent(ReWireEvent* event);
ReWireRequestStopEvent* ReWireCastToRequestStopEvent(ReWireEvent* event);
ReWireRevealEventTargetEvent* ReWireCastToRevealEventTargetEvent(ReWireEvent* event);
ReWireEventTargetChangedEvent* ReWireCastToEventTargetChangedEvent(ReWireEvent* event);

// Bit fields: bit n lives in word n / 32 at bit position n % 32.
void ReWireClearBitField(uint32_t* field, uint16_t bitCount);
void ReWireSetBitInBitField(uint32_t* field, uint16_t bit);
void ReWireClearBitInBitField(uint32_t* field, uint16_t bit);
bool ReWireIsBitInBitFieldSet(const uint32_t* field, uint16_t bit);
void ReWireSetBitRangeInBitField(uint32_t* field, uint16_t first, uint16_t count);
