#include "vst/requestcheck.h"

#include <cmath>

namespace {

/// Requests whose pointer argument the plug-in reads or writes.
bool needsPointer(VstInt32 opcode) {
    switch (opcode) {
    case effSetProgramName:
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effEditGetRect:
    case effGetChunk:
    case effSetChunk:
    case effProcessEvents:
    case effString2Parameter:
    case effGetProgramNameIndexed:
    case effGetInputProperties:
    case effGetOutputProperties:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
    case effGetEffectName:
    case effGetVendorString:
    case effGetProductString:
    case effCanDo:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effGetSpeakerArrangement:
    case effShellGetNextPlugin:
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return true;
    default:
        return false;
    }
}

} // namespace

bool refuseRequest(const AEffect& effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                   const void* ptr, float opt, VstIntPtr& answer) {
    answer = opcode == effGetCurrentMidiProgram ? -1 : 0;
    if (needsPointer(opcode) && !ptr) return true;
    switch (opcode) {
    case effSetProgram:
        return value < 0 || value >= effect.numPrograms;
    case effSetSampleRate:
        return !std::isfinite(opt) || opt <= 0.0f;
    case effSetBlockSize:
        return static_cast<VstInt32>(value) <= 0;
    case effSetChunk:
        return value <= 0 || value > INT32_MAX;
    case effGetInputProperties:
        return index < 0 || index >= effect.numInputs;
    case effGetOutputProperties:
        return index < 0 || index >= effect.numOutputs;
    case effSetSpeakerArrangement:
    case effGetSpeakerArrangement:
        return value == 0; // the input arrangement travels in value
    default:
        return false;
    }
}
