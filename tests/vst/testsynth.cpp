#include "testsynth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/stream.h"

namespace {

constexpr double twoPi = 6.283185307179586;
const char* const waveNames[CTestSynth::numWaves] = {"Sine", "Square", "Saw"};

bool copyText(char* dst, const char* src) {
    std::snprintf(dst, kVstMaxLabelLen, "%s", src);
    return true;
}

} // namespace

CTestSynth::CTestSynth(audioMasterCallback master)
    : AudioEffectX(master, 1, 0), chunk(new CMemoryStream) {
    setNumInputs(0);
    setNumOutputs(2);
    setUniqueID(uniqueId);
    isSynth(true);
    programsAreChunks(true);
}

CTestSynth::~CTestSynth() {
    delete chunk;
}

VstInt32 CTestSynth::processEvents(VstEvents* events) {
    numPending = 0;
    for (int i = 0; i < events->numEvents && numPending < maxEvents; ++i) {
        const VstEvent* e = events->events[i];
        if (!e || e->type != kVstMidiType) continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(e);
        Event& p = pending[numPending++];
        p.offset = midi->deltaFrames;
        std::memcpy(p.data, midi->midiData, 3);
    }
    return 1;
}

void CTestSynth::processReplacing(float**, float** outputs, VstInt32 frames) {
    renderClicks(outputs[1], frames);
    int pos = 0;
    for (int i = 0; i < numPending; ++i) {
        int offset = pending[i].offset;
        offset = offset < pos ? pos : (offset > frames ? frames : offset);
        renderVoices(outputs[0] + pos, offset - pos);
        pos = offset;
        handleMidi(pending[i].data);
    }
    numPending = 0;
    renderVoices(outputs[0] + pos, frames - pos);
}

void CTestSynth::handleMidi(const unsigned char* data) {
    const int kind = data[0] & 0xF0;
    if (kind == 0x90 && data[2] > 0)
        noteOn(data[1], data[2]);
    else if (kind == 0x80 || kind == 0x90)
        noteOff(data[1]);
    else if (kind == 0xB0 && data[1] == 123)
        for (Voice& v : voices)
            v.note = -1;
}

void CTestSynth::noteOn(int note, int velocity) {
    Voice* slot = &voices[0];
    for (Voice& v : voices)
        if (v.note < 0) {
            slot = &v;
            break;
        }
    slot->note = note;
    slot->phase = 0.0;
    slot->frequency = tune * std::pow(2.0, (note - 69) / 12.0);
    slot->level = 0.5f * static_cast<float>(velocity) / 127.0f;
}

void CTestSynth::noteOff(int note) {
    for (Voice& v : voices)
        if (v.note == note) v.note = -1;
}

float CTestSynth::waveAt(double phase) const {
    switch (wave) {
    case 0:
        return static_cast<float>(std::sin(twoPi * phase));
    case 1:
        return phase < 0.5 ? 1.0f : -1.0f;
    case 2:
        return static_cast<float>(2.0 * phase - 1.0);
    default:
        return 0.0f;
    }
}

void CTestSynth::renderVoices(float* out, int frames) {
    for (int i = 0; i < frames; ++i)
        out[i] = 0.0f;
    for (Voice& v : voices) {
        if (v.note < 0) continue;
        const double step = v.frequency / sampleRate;
        for (int i = 0; i < frames; ++i) {
            out[i] += v.level * waveAt(v.phase);
            v.phase += step;
            v.phase -= std::floor(v.phase);
        }
    }
}

void CTestSynth::renderClicks(float* out, int frames) {
    for (int i = 0; i < frames; ++i)
        out[i] = 0.0f;
    const VstTimeInfo* time = getTimeInfo(kVstPpqPosValid | kVstTempoValid);
    if (!time || !(time->flags & kVstTransportPlaying)) return;
    if (!(time->flags & kVstPpqPosValid) || !(time->flags & kVstTempoValid)) return;
    if (time->tempo <= 0.0) return;
    const double beatsPerFrame = time->tempo / 60.0 / sampleRate;
    // every whole quarter note from the block's position on gets one full-scale sample
    // a position a hair past a whole quarter still counts as on it
    for (double beat = std::ceil(time->ppqPos - 1e-9);; beat += 1.0) {
        const double at = std::max(0.0, std::ceil((beat - time->ppqPos) / beatsPerFrame - 1e-6));
        if (at >= frames) break;
        out[static_cast<int>(at)] = 1.0f;
    }
}

// --- chunk: tagged records "app" (waveform index) and "tune" (A4 in Hz) ---------------------

VstInt32 CTestSynth::getChunk(void** data, bool) {
    chunk->setSize(0);
    chunk->seek(0, 0);
    chunk->writeStr("app");
    chunk->writeInt(4);
    chunk->writeInt(wave);
    chunk->writeStr("tune");
    chunk->writeInt(4);
    chunk->writeInt(tune);
    *data = const_cast<unsigned char*>(chunk->getData());
    return chunk->getSize();
}

VstInt32 CTestSynth::setChunk(void* data, VstInt32 byteSize, bool) {
    chunk->setSize(0);
    chunk->seek(0, 0);
    chunk->write(data, byteSize);
    chunk->seek(0, 0);
    while (chunk->getSize() - chunk->pos() >= 8) {
        const CStr tag = chunk->readStr();
        if (chunk->getSize() - chunk->pos() < 4) break;
        const int size = chunk->readInt();
        if (size < 0 || size > chunk->getSize() - chunk->pos()) break;
        if (tag == "app" && size == 4) {
            const int value = chunk->readInt();
            wave = value >= 0 && value < numWaves ? value : -1;
        } else if (tag == "tune" && size == 4) {
            const int value = chunk->readInt();
            if (value > 0 && value < 20000) tune = value;
        } else {
            chunk->seek(size, 1);
        }
    }
    return 0;
}

VstInt32 CTestSynth::canDo(char* text) {
    static const char* const yes[] = {"receiveVstEvents", "receiveVstMidiEvent",
                                      "receiveVstTimeInfo"};
    for (const char* t : yes)
        if (std::strcmp(text, t) == 0) return 1;
    return -1;
}

bool CTestSynth::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    copyText(properties->label, index == 0 ? "Voices" : "Click");
    properties->flags = kVstPinIsActive;
    return true;
}

bool CTestSynth::getEffectName(char* text) {
    return copyText(text, "Test Synth");
}
bool CTestSynth::getVendorString(char* text) {
    return copyText(text, "rwbridge");
}
bool CTestSynth::getProductString(char* text) {
    return copyText(text, "rwbridge test synth");
}

VstIntPtr CTestSynth::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float) {
    if (index == kBridgeStateRequest && ptr) {
        auto* state = static_cast<BridgeState*>(ptr);
        *state = BridgeState{};
        state->libraryFound = 1;
        state->deviceCount = numWaves;
        state->device = wave;
        state->sync = 1;
        return 1;
    }
    if (index == kDeviceNameRequest && ptr && value >= 0 && value < numWaves) {
        std::snprintf(static_cast<char*>(ptr), kDeviceNameBytes, "%s", waveNames[value]);
        return 1;
    }
    if (index == kChooseDeviceRequest && value >= -1 && value < numWaves) {
        wave = static_cast<int>(value);
        return 1;
    }
    return 0;
}
