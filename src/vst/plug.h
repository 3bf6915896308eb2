// The plug-in object the host sees: an instrument with eight outputs that turns each processing
// call into engine slices split at the MIDI events and forwards format, idle and chunk requests.
#pragma once

#include <mutex>

#include "vst/audioeffectx.h"
#include "vst/slicer.h"
#include "vst/vendorrequests.h"

class CEditorHost;
class CMemoryStream;
class CSynth;

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
    /// Answers the requests of vst/vendorrequests.h: meters, ReWire state, device names, the
    /// device choice and the device's state line.
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    CSynth* getSynth() const { return synth; }
    CEditorHost* getEditorHost() const { return editorHost; }

private:
    void readTransport();
    void readProcessLevel();
    void reportLatency();
    void renderBlock(float** outputs, VstInt32 frames);
    VstInt32 getChunkBytes(void** data);
    void setChunkBytes(const void* data, VstInt32 size);

    CEventInbox inbox;
    CSynth* synth = nullptr;
    // the editor while the host shows it; made with the engine
    CEditorHost* editorHost = nullptr;
    // Holds the chunk last handed to the host; only get-chunk rewrites it. Chunk requests come
    // from several host threads and take turns.
    CMemoryStream* chunkStream = nullptr;
    std::mutex chunkLock;
    vstiProgram* programs = nullptr;
    ERect editorRect{0, 0, 100, 100};
};
