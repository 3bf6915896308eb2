// Drum machine that plays a one-bar pattern on the transport's eighth-note grid, in bars of the
// host's time signature: kick on the bar's first beat (and halfway through a bar of eight
// eighths or more), snare on the other beats, hi-hat on the eighths between; in 4/4 kick on
// beats 1 and 3, snare on 2 and 4. It plays only while the transport runs and follows tempo,
// time signature, position and loop. Its "Pads" target plays the sounds by MIDI note.
#pragma once

#include "bundledevice.h"

class CDrumDevice : public CBundleDevice {
public:
    enum Sound { kKick, kSnare, kHat };
    static constexpr int kMaxHits = 16;
    static constexpr int kTicksPerEighth = kReWirePPQ / 2;
    static constexpr int kPadKick = 36;
    static constexpr int kPadSnare = 38;
    static constexpr int kPadHat = 42;

    explicit CDrumDevice(const CStr& deviceName);

    static CBusLayout defaultLayout();
    /// The sound the pattern plays at an eighth-note index of the song, in bars of
    /// eighthsPerBar eighths.
    static Sound patternSound(int eighth, int eighthsPerBar);
    /// Eighths in a bar of the drive call's time signature (4/4 when it gives none), at least 1.
    static int eighthsPerBar(const ReWireDriveAudioInputParams& input);
    /// Length of a sound in seconds; every hit is silent after it.
    static double soundLength(Sound sound);

protected:
    void reset() override;
    void midiEvent(const ReWireMIDIEvent& event) override;
    void render(const ReWireDriveAudioInputParams& input, float* const* buffers, int first,
                int count) override;

private:
    struct Hit {
        bool active = false;
        bool sequenced = false;
        Sound sound = kKick;
        int age = 0;
        int length = 0;
        int stopAge = -1;
        double phase = 0;
        uint32_t noise = 1;
        float lastNoise = 0;
    };

    void trigger(Sound sound, bool sequenced);
    void stopSequencedHits();
    void firePatternAt(const ReWireDriveAudioInputParams& input, int frame, double ticksPerFrame);
    float nextSample(Hit& hit);

    Hit hits[kMaxHits];
    bool wasPlaying = false;
    double lastGridTick = -1;
    int framesSinceGrid = 0;
};
