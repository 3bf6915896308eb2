// Polyphonic synthesizer: each MIDI target plays its own voice colour into a stereo pair.
#pragma once

#include "bundledevice.h"

class CSynthDevice : public CBundleDevice {
public:
    static constexpr int kVoices = 16;

    explicit CSynthDevice(const CStr& deviceName);

    /// The default MIDI buses: "Synth" with "Lead" and "Pad", "Bass" with "Mono".
    static CBusLayout defaultLayout();
    static double noteFrequency(int note);

protected:
    void reset() override;
    void midiEvent(const ReWireMIDIEvent& event) override;
    void render(const ReWireDriveAudioInputParams& input, float* const* buffers, int first,
                int count) override;

private:
    struct Voice {
        bool active = false;
        bool releasing = false;
        ReWireEventTarget target{0, 0};
        int note = 0;
        double phase = 0;
        double frequency = 0;
        float level = 0;
        float peakLevel = 0;
        float attackStep = 0;
        float releaseStep = 0;
        float overtone = 0;
        int age = 0;
    };

    void startNote(const ReWireEventTarget& target, int note, int velocity);
    void releaseNote(const ReWireEventTarget& target, int note);
    void releaseAll(const ReWireEventTarget& target);
    Voice* findVoice(const ReWireEventTarget& target, int note);
    Voice* freeVoice();
    float nextSample(Voice& voice, double phaseStep);

    Voice voices[kVoices];
    double bend[kReWireEventChannelCount] = {};
};
