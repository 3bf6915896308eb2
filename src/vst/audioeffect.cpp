#include "vst/audioeffect.h"

#include <cmath>
#include <cstring>

#include "vst/aeffeditor.h"
#include "vst/requestcheck.h"

namespace {

/// The object behind a descriptor, or null for a descriptor that is not one of ours.
AudioEffect* objectOf(AEffect* e) {
    if (!e || e->magic != kEffectMagic) return nullptr;
    return static_cast<AudioEffect*>(e->object);
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback master, VstInt32 programs, VstInt32 params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.processDeprecated = __processClassDeprecated;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatioDeprecated = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kDefaultUniqueID;
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    AudioEffect::canProcessReplacing(true);
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
    // A host that keeps a stale descriptor address finds no object behind it.
    cEffect.magic = 0;
    cEffect.object = nullptr;
}

void AudioEffect::setFlag(VstInt32 bit, bool state) {
    if (state)
        cEffect.flags |= bit;
    else
        cEffect.flags &= ~bit;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    if (newEditor != editor) delete editor;
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

VstInt32 AudioEffect::getChunk(void** data, bool) {
    *data = nullptr;
    return 0;
}

VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) {
    return 0;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    // Requests that write into or read from the host's memory need that memory.
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Negative programs are refused as well: no plug-in has a program -1.
        if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text) setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text) getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text) getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text) getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text) getParameterName(index, text);
        return 0;
    case effSetSampleRate:
        if (std::isfinite(opt) && opt > 0.0f) setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        if (static_cast<VstInt32>(value) > 0) setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
    case effEditOpen:
    case effEditClose:
    case effEditIdle:
        return dispatchEditor(opcode, ptr);
    case effIdentify:
        return kEffectIdentify;
    case effGetChunk: {
        if (!ptr) return 0;
        void** data = static_cast<void**>(ptr);
        *data = nullptr;
        VstInt32 size = getChunk(data, index != 0);
        if (size <= 0 || !*data) {
            *data = nullptr;
            return 0;
        }
        return size;
    }
    case effSetChunk:
        if (!ptr || value <= 0 || value > INT32_MAX) return 0;
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

VstIntPtr AudioEffect::dispatchEditor(VstInt32 opcode, void* ptr) {
    if (!editor) return 0;
    switch (opcode) {
    case effEditGetRect:
        if (!ptr) return 0;
        return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor->open(ptr) ? 1 : 0;
    case effEditClose:
        editor->close();
        return 0;
    case effEditIdle:
        editor->idle();
        return 0;
    default:
        return 0;
    }
}

// --- descriptor bridges -------------------------------------------------------------------

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) {
    AudioEffect* effect = objectOf(e);
    if (!effect) return 0;
    VstIntPtr refused = 0;
    if (refuseRequest(*e, opcode, index, value, ptr, opt, refused)) return refused;
    try {
        if (opcode == effClose) {
            effect->dispatcher(opcode, index, value, ptr, opt);
            delete effect;
            return 1;
        }
        return effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
    AudioEffect* effect = objectOf(e);
    if (!effect) return 0.0f;
    try {
        return effect->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
    AudioEffect* effect = objectOf(e);
    if (!effect) return;
    try {
        effect->setParameter(index, value);
    } catch (...) {
    }
}

namespace {

/// Whether a processing call has the buffers that the descriptor announces.
bool canProcess(const AEffect* e, const void* inputs, const void* outputs, VstInt32 frames) {
    if (frames < 0) return false;
    if (!outputs && e->numOutputs > 0) return false;
    return inputs || e->numInputs <= 0;
}

} // namespace

void AudioEffect::__processClassDeprecated(AEffect* e, float** inputs, float** outputs,
                                           VstInt32 frames) {
    AudioEffect* effect = objectOf(e);
    if (!effect || !canProcess(e, inputs, outputs, frames)) return;
    try {
        effect->__processDeprecated(inputs, outputs, frames);
    } catch (...) {
    }
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 frames) {
    AudioEffect* effect = objectOf(e);
    if (!effect || !canProcess(e, inputs, outputs, frames)) return;
    try {
        effect->processReplacing(inputs, outputs, frames);
    } catch (...) {
    }
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 frames) {
    AudioEffect* effect = objectOf(e);
    if (!effect || !canProcess(e, inputs, outputs, frames)) return;
    try {
        effect->processDoubleReplacing(inputs, outputs, frames);
    } catch (...) {
    }
}

// --- requests to the host -----------------------------------------------------------------

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    if (!audioMaster) return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(hostOpAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion() {
    return static_cast<VstInt32>(callHost(hostOpVersion));
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(callHost(hostOpCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(hostOpIdle);
}

bool AudioEffect::__isInputConnectedDeprecated(VstInt32 input) {
    return callHost(hostOpPinConnected, input, 1) != 0;
}

bool AudioEffect::__isOutputConnectedDeprecated(VstInt32 output) {
    return callHost(hostOpPinConnected, output, 0) != 0;
}
