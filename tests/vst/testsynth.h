// A small instrument used to exercise the frame and the host: output 1 plays one voice per held
// MIDI note, output 2 clicks on every quarter note while the host's transport plays.
#pragma once

#include "vst/audioeffectx.h"
#include "vst/vendorrequests.h"

class CMemoryStream;

class CTestSynth : public AudioEffectX {
public:
    explicit CTestSynth(audioMasterCallback master);
    ~CTestSynth() override;

    static constexpr VstInt32 uniqueId = 0x72777473; // 'rwts'
    static constexpr int numWaves = 3;               // sine, square, saw
    static constexpr int maxVoices = 16;
    static constexpr int maxEvents = 512;

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override;
    VstInt32 processEvents(VstEvents* events) override;

    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    VstInt32 canDo(char* text) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getEffectName(char* text) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1; }
    /// Offers its waveforms as devices through the bridge's state, name and choice requests.
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    /// Index of the waveform that the chunk's "app" record chose; -1 for none (silence).
    int getWave() const { return wave; }
    int getTune() const { return tune; }

private:
    struct Voice {
        int note = -1;
        double phase = 0.0;
        double frequency = 0.0;
        float level = 0.0f;
    };
    struct Event {
        int offset;
        unsigned char data[3];
    };

    void handleMidi(const unsigned char* data);
    void noteOn(int note, int velocity);
    void noteOff(int note);
    void renderVoices(float* out, int frames);
    void renderClicks(float* out, int frames);
    float waveAt(double phase) const;

    Voice voices[maxVoices];
    Event pending[maxEvents];
    int numPending = 0;
    int wave = 0;
    int tune = 440;
    CMemoryStream* chunk;
};
