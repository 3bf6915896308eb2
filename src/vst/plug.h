// The plug-in object the host sees: an instrument with eight outputs that turns each processing
// call into engine slices split at the MIDI events and forwards format, idle and chunk requests.
#pragma once

#include "vst/audioeffectx.h"
#include "vst/slicer.h"

class CSynth;
class CMemoryStream;

/// One program record: only its name.
struct vstiProgram {
    vstiProgram() { name[0] = 0; }
    char name[24];
};

class CPlug : public AudioEffectX {
public:
    static const VstInt32 kUniqueID = 0x74627A71; // 'tbzq'
    static const int kOutputs = 8;
    /// Chunks larger than this are not ours: a set-chunk request with more is refused.
    static const VstInt32 kMaxChunkBytes = 1 << 20;
    /// Block sizes the engine accepts from the host.
    static const VstInt32 kMaxBlockFrames = 1 << 16;
    /// Vendor-specific request (index 'rwpk'): copies the eight meter levels into the float[8]
    /// at ptr and answers 1. Hosts and tests use it to watch the meters without the editor.
    static const VstInt32 kPeakLevelsRequest = 0x7277706B;

    explicit CPlug(audioMasterCallback host);
    ~CPlug() override;

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override;
    /// Drops the events handed over before the host switched processing off.
    void suspend() override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgram(VstInt32) override {}
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32, char*) override {}
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    VstInt32 canDo(char* text) override;
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    CSynth* getSynth() const { return synth; }

private:
    void readTransport();
    void renderBlock(float** outputs, VstInt32 frames);
    void renderSlice(float** work, int frames);
    VstInt32 getChunkBytes(void** data);
    void setChunkBytes(const void* data, VstInt32 size);

    CEventInbox inbox;
    CSynth* synth = nullptr;
    CMemoryStream* chunkStream = nullptr;
    vstiProgram* programs = nullptr;
    ERect editorRect{0, 0, 100, 100};
};
