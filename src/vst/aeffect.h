// The binary contract with a VST 2.4 host: the plug-in descriptor, the host callback, the
// opcodes both sides send and the host records that the plug-in reads or fills.
// Layouts are for a 64-bit little-endian host with natural alignment; every offset that the
// other side relies on is pinned by a static_assert below.
#pragma once

#include <cstddef>
#include <cstdint>

using VstInt16 = int16_t;
using VstInt32 = int32_t;
using VstIntPtr = int64_t;

struct AEffect;

using audioMasterCallback = VstIntPtr (*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                          VstIntPtr value, void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr (*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    VstInt32 frames);
using AEffectProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                          VstInt32 frames);
using AEffectSetParameterProc = void (*)(AEffect* effect, VstInt32 index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, VstInt32 index);

/// 'VstP' read as a big-endian four-character code.
constexpr VstInt32 kEffectMagic = 0x56737450;
/// Answer to the identify request ('NvEf').
constexpr VstInt32 kEffectIdentify = 0x4E764566;
/// Default unique plug-in ID ('NoEf').
constexpr VstInt32 kDefaultUniqueID = 0x4E6F4566;
constexpr VstInt32 kVstVersion = 2400;

/// Descriptor flag bits.
enum EffectFlags : VstInt32 {
    effFlagsHasEditor = 0x1,
    effFlagsHasClip = 0x2,
    effFlagsHasVu = 0x4,
    effFlagsCanMono = 0x8,
    effFlagsCanReplacing = 0x10,
    effFlagsProgramChunks = 0x20,
    effFlagsIsSynth = 0x100,
    effFlagsNoSoundInStop = 0x200,
    effFlagsCanDoubleReplacing = 0x1000,
};

/// The descriptor shared with the host; embedded in every AudioEffect.
struct AEffect {
    VstInt32 magic;
    VstInt32 padding1;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc processDeprecated;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;
    VstInt32 padding2;
    VstIntPtr reserved1;
    VstIntPtr reserved2;
    VstInt32 initialDelay;
    VstInt32 realQualitiesDeprecated;
    VstInt32 offQualitiesDeprecated;
    float ioRatioDeprecated;
    void* object;
    void* user;
    VstInt32 uniqueID;
    VstInt32 version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

static_assert(sizeof(void*) == 8, "the descriptor layout is for 64-bit hosts");
static_assert(sizeof(AEffect) == 192, "descriptor size");
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, processDeprecated) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, numParams) == 44);
static_assert(offsetof(AEffect, numInputs) == 48);
static_assert(offsetof(AEffect, numOutputs) == 52);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, reserved1) == 64);
static_assert(offsetof(AEffect, reserved2) == 72);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, realQualitiesDeprecated) == 84);
static_assert(offsetof(AEffect, offQualitiesDeprecated) == 88);
static_assert(offsetof(AEffect, ioRatioDeprecated) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);

/// Requests that the host sends to the plug-in's dispatcher.
enum EffectOpcode : VstInt32 {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79,
};

/// Requests that the plug-in sends to the host callback.
enum HostOpcode : VstInt32 {
    hostOpAutomate = 0,
    hostOpVersion = 1,
    hostOpCurrentId = 2,
    hostOpIdle = 3,
    hostOpPinConnected = 4,
    hostOpWantMidi = 6,
    hostOpGetTime = 7,
    hostOpProcessEvents = 8,
    hostOpIOChanged = 13,
    hostOpSizeWindow = 15,
    hostOpGetSampleRate = 16,
    hostOpGetBlockSize = 17,
    hostOpGetInputLatency = 18,
    hostOpGetOutputLatency = 19,
    hostOpGetCurrentProcessLevel = 23,
    hostOpGetAutomationState = 24,
    hostOpOfflineStart = 25,
    hostOpOfflineRead = 26,
    hostOpOfflineWrite = 27,
    hostOpOfflineGetCurrentPass = 28,
    hostOpOfflineGetCurrentMetaPass = 29,
    hostOpGetVendorString = 32,
    hostOpGetProductString = 33,
    hostOpGetVendorVersion = 34,
    hostOpVendorSpecific = 35,
    hostOpCanDo = 37,
    hostOpGetLanguage = 38,
    hostOpGetDirectory = 41,
    hostOpUpdateDisplay = 42,
    hostOpBeginEdit = 43,
    hostOpEndEdit = 44,
    hostOpOpenFileSelector = 45,
    hostOpCloseFileSelector = 46,
};

/// Plug-in categories answered for the category request.
/// Answers to hostOpGetCurrentProcessLevel: where the host calls processReplacing from.
enum VstProcessLevels : VstInt32 {
    kVstProcessLevelUnknown = 0,
    kVstProcessLevelUser = 1,
    kVstProcessLevelRealtime = 2,
    kVstProcessLevelPrefetch = 3,
    kVstProcessLevelOffline = 4,
};

enum VstPlugCategory : VstInt32 {
    kPlugCategUnknown = 0,
    kPlugCategSynth = 2,
};

/// Transport information the host answers to the time request. Only the fields named here
/// are exchanged; the reserved bytes are left as the host wrote them.
struct VstTimeInfo {
    char reserved1[24];
    double ppqPos; ///< musical position in quarter notes
    double tempo;  ///< beats per minute
    char reserved2[8];
    double cycleStartPos;        ///< loop start in quarter notes
    double cycleEndPos;          ///< loop end in quarter notes
    VstInt32 timeSigNumerator;   ///< beats in a bar
    VstInt32 timeSigDenominator; ///< the note value of a beat: 4 for quarter notes
    char reserved3[12];
    VstInt32 flags;
};

enum VstTimeInfoFlags : VstInt32 {
    kVstTransportChanged = 0x1,
    kVstTransportPlaying = 0x2,
    kVstTransportCycleActive = 0x4,
    kVstPpqPosValid = 0x200,
    kVstTempoValid = 0x400,
    kVstCyclePosValid = 0x1000,
    kVstTimeSigValid = 0x2000,
};

static_assert(offsetof(VstTimeInfo, ppqPos) == 24);
static_assert(offsetof(VstTimeInfo, tempo) == 32);
static_assert(offsetof(VstTimeInfo, cycleStartPos) == 48);
static_assert(offsetof(VstTimeInfo, cycleEndPos) == 56);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, timeSigDenominator) == 68);
static_assert(offsetof(VstTimeInfo, flags) == 84);
static_assert(sizeof(VstTimeInfo) == 88);

/// Header shared by all event records; type 1 is a MIDI event.
struct VstEvent {
    VstInt32 type;
    VstInt32 reserved1;
    VstInt32 deltaFrames; ///< frame offset within the current block
    char reserved2[20];
};

enum VstEventTypes : VstInt32 { kVstMidiType = 1 };

struct VstMidiEvent {
    VstInt32 type;
    VstInt32 reserved1;
    VstInt32 deltaFrames;
    char reserved2[12];
    unsigned char midiData[4]; ///< status, data 1, data 2, unused
    char reserved3[4];
};

static_assert(offsetof(VstEvent, deltaFrames) == 8);
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(sizeof(VstMidiEvent) == sizeof(VstEvent));

/// Event list handed over with the process-events request. The array really holds numEvents
/// pointers; the host allocates the record large enough.
struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

static_assert(offsetof(VstEvents, numEvents) == 0);
static_assert(offsetof(VstEvents, events) == 16);

constexpr int kVstMaxLabelLen = 64;

struct VstPinProperties {
    char label[kVstMaxLabelLen]; ///< including the terminator
    VstInt32 flags;
    char reserved[60];
};

enum VstPinPropertiesFlags : VstInt32 {
    kVstPinIsActive = 0x1,
    kVstPinIsStereo = 0x2,
};

static_assert(offsetof(VstPinProperties, label) == 0);
static_assert(offsetof(VstPinProperties, flags) == 64);

/// Editor rectangle in the order top, left, bottom, right.
struct ERect {
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
};

static_assert(sizeof(ERect) == 8);

/// Records that the frame only passes through by address.
struct VstSpeakerArrangement;
struct VstVariableIo;
struct VstOfflineTask;
struct VstAudioFile;
struct VstFileSelect;
struct VstParameterProperties;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstPatchChunkInfo;
