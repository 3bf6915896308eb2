#include "vst/plug.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/editorhost.h"
#include "engine/bridgerequests.h"
#include "engine/synth.h"
#include "foundation/stream.h"
#include "rewire/rewiremixerapi.h"

namespace {
const VstInt16 kEditorWidth = 304;
const VstInt16 kEditorHeight = 160;

// the transport fields the engine reads
const VstInt32 kTimeInfoFilter = kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
const int kNameBytes = 24;

// Copies a name into a fixed field, always leaving a terminator.
void copyName(char* to, const char* from) {
    size_t n = strnlen(from, kNameBytes - 1);
    memcpy(to, from, n);
    to[n] = 0;
}
} // namespace

AudioEffect* createEffectInstance(audioMasterCallback host) {
    return new CPlug(host);
}

CPlug::CPlug(audioMasterCallback host) : AudioEffectX(host, 1, 0) {
    programs = new vstiProgram[1];
    setProgram(0);
    if (host) {
        setNumInputs(0);
        setNumOutputs(kOutputs);
        setUniqueID(kUniqueID);
        canProcessReplacing(true);
        isSynth(true);
        cEffect.flags |= effFlagsProgramChunks | effFlagsHasEditor;
        synth = new CSynth;
        editorHost = new CEditorHost(synth);
        chunkStream = new CMemoryStream;
    }
    suspend();
}

CPlug::~CPlug() {
    delete[] programs;
    // the editor goes first: it reads the engine while it closes
    delete editorHost;
    delete synth;
    delete chunkStream;
}

VstIntPtr CPlug::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                            float opt) {
    if (!synth) return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    switch (opcode) {
    case effSetSampleRate:
        // Some hosts send a rate of 0 before they know it; the engine keeps its last rate.
        if (opt >= 1.0f && opt <= 1.0e7f) synth->setRate(static_cast<int>(opt));
        return 0;
    case effSetBlockSize:
        if (value >= 1 && value <= kMaxBlockFrames) synth->setFrames(static_cast<int>(value));
        return 0;
    case effEditGetRect:
        // the same size whether or not the editor is open: hosts size their window first
        editorRect = ERect{0, 0, kEditorHeight, kEditorWidth};
        *static_cast<ERect**>(ptr) = &editorRect;
        return 1;
    case effEditOpen:
        editorHost->open(ptr);
        return 0;
    case effEditClose:
        editorHost->close();
        return 0;
    case effEditIdle:
        synth->idle();
        editorHost->idle();
        reportLatency();
        return 0;
    case effGetChunk:
        return getChunkBytes(static_cast<void**>(ptr));
    case effSetChunk:
        setChunkBytes(ptr, static_cast<VstInt32>(value));
        reportLatency();
        return 0;
    case effProcessEvents:
        inbox.add(static_cast<VstEvents*>(ptr));
        return 1;
    default:
        return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    }
}

VstIntPtr CPlug::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float) {
    if (!synth) return 0;
    const VstIntPtr answer = answerBridgeRequest(*synth, index, value, ptr);
    // another device may lag by another latency
    if (index == kChooseDeviceRequest) reportLatency();
    return answer;
}

// The open device's latency as the descriptor's initial delay, so a host's delay compensation
// can align the device with its other tracks; a change is announced for the host to re-read.
void CPlug::reportLatency() {
    VstInt32 latency = synth->getLatency();
    if (latency == cEffect.initialDelay) return;
    setInitialDelay(latency);
    ioChanged();
}

// The bytes handed out stay valid and unchanged until the next get-chunk request: hosts copy
// them on one thread while another loads a preset.
VstInt32 CPlug::getChunkBytes(void** data) {
    if (!data) return 0;
    std::lock_guard<std::mutex> hold(chunkLock);
    chunkStream->setSize(0);
    chunkStream->seek(0, 0);
    synth->saveToStream(chunkStream);
    *data = const_cast<unsigned char*>(chunkStream->getData());
    return chunkStream->getSize();
}

// The host's bytes are read through a stream of their own, so the chunk last handed out stays
// as it was; hosts also hand back the very bytes the last get-chunk gave them (undo, presets).
void CPlug::setChunkBytes(const void* data, VstInt32 size) {
    if (!data || size < 0 || size > kMaxChunkBytes) return;
    std::lock_guard<std::mutex> hold(chunkLock);
    CMemoryStream incoming;
    incoming.write(data, size);
    incoming.seek(0, 0);
    synth->loadFromStream(&incoming);
}

void CPlug::readTransport() {
    auto* time = reinterpret_cast<VstTimeInfo*>(callHost(hostOpGetTime, 0, kTimeInfoFilter));
    if (!time) return;
    VstInt32 flags = time->flags;
    if ((flags & kVstTempoValid) && time->tempo > 0 && time->tempo < 1.0e6)
        synth->setTempo(time->tempo);
    // A host that gives no time signature plays in 4/4.
    if (flags & kVstTimeSigValid)
        synth->setMetre(time->timeSigNumerator, time->timeSigDenominator);
    else
        synth->setMetre(4, 4);
    if (flags & kVstPpqPosValid) synth->setPos(time->ppqPos);
    if (flags & kVstTransportChanged) {
        if (flags & kVstTransportCycleActive) {
            synth->setLoop(1);
            if (flags & kVstCyclePosValid)
                synth->setLocators(time->cycleStartPos, time->cycleEndPos);
        } else {
            synth->setLoop(0);
        }
        synth->setPlaying((flags & kVstTransportPlaying) != 0);
    }
}

// Offline (an export) lets a device that follows its own clock wait for it; only the host's
// word "realtime" promises that nothing may wait. Any other answer (none, a prefetch thread)
// leaves the device to judge by the host's pace.
void CPlug::readProcessLevel() {
    switch (getCurrentProcessLevel()) {
    case kVstProcessLevelRealtime:
        synth->setRenderMode(kRWBRenderRealtime);
        break;
    case kVstProcessLevelOffline:
        synth->setRenderMode(kRWBRenderOffline);
        break;
    default:
        synth->setRenderMode(kRWBRenderUnknown);
        break;
    }
}

void CPlug::suspend() {
    inbox.dropAll();
}

// A block that cannot render (no outputs, the gate closed for a device switch or a format
// change) leaves the events waiting for the next one.
void CPlug::processReplacing(float**, float** outputs, VstInt32 frames) {
    if (!outputs || frames <= 0) return;
    for (int n = 0; n < kOutputs; n++)
        if (outputs[n]) std::fill(outputs[n], outputs[n] + frames, 0.0f);
    if (!synth) return;
    for (int n = 0; n < kOutputs; n++)
        if (!outputs[n]) return;
    readTransport();
    readProcessLevel();
    if (!synth->beginBlock()) return;
    renderBlock(outputs, frames);
    synth->endBlock();
}

void CPlug::renderBlock(float** outputs, VstInt32 frames) {
    CBlockWriter block(*synth, outputs);
    sliceAtEvents(
        inbox, frames, [&](int sliceFrames) { block.render(sliceFrames); },
        [&](const CHostMidi& e) { block.midi(e.message); });
}

void CPlug::setParameter(VstInt32 index, float value) {
    if (synth) synth->setParam(index, value, false);
}

float CPlug::getParameter(VstInt32 index) {
    return synth ? synth->getParam(index) : 0.0f;
}

void CPlug::setProgramName(char* name) {
    if (name) copyName(programs[0].name, name);
}

void CPlug::getProgramName(char* name) {
    if (name) copyName(name, programs[0].name);
}

void CPlug::getParameterDisplay(VstInt32 index, char* text) {
    if (text) copyName(text, synth ? synth->getParamValue(index).asChar() : "");
}

void CPlug::getParameterName(VstInt32 index, char* text) {
    if (text) copyName(text, synth ? synth->getParamName(index).asChar() : "");
}

bool CPlug::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (index != 0 || !text) return false;
    copyName(text, programs[0].name);
    return true;
}

bool CPlug::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    if (index < 0 || index >= kOutputs || !properties) return false;
    snprintf(properties->label, sizeof properties->label, "%d Out", index + 1);
    properties->flags = kVstPinIsActive;
    if (synth && synth->getMixer()->outs.stereo[index]) properties->flags |= kVstPinIsStereo;
    return true;
}

VstInt32 CPlug::canDo(char* text) {
    if (!text) return -1;
    if (strcmp(text, "receiveVstEvents") == 0 || strcmp(text, "receiveVstMidiEvent") == 0) return 1;
    return -1;
}
