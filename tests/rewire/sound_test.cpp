#include <algorithm>
#include <cmath>

#include "measures.h"
#include "mixerfixture.h"
#include "soundmeasure.h"

namespace {
const float kSilence = 1e-6f;
} // namespace

TEST_F(MixerTest, SynthesizerPlaysNotesAtTheirPitchWithoutClicks) {
    openMixer("");
    CReWireDevice* synth = openDevice(0);
    ASSERT_EQ(synth->getBusName(0), CStr("Synth: Lead"));
    struct Case {
        int note;
        double frequency;
    } cases[] = {{69, 440.0}, {60, 261.6256}, {81, 880.0}};
    for (const Case& c : cases) {
        pending = {{0, asData(0x90, c.note, 100), 0}};
        std::vector<float> held = record(kRate / 2, 0);
        pending = {{0, asData(0x80, c.note, 0), 0}};
        std::vector<float> released = record(kRate / 4, 1);

        double measured = frequency(held, kRate / 20, long(held.size()), kRate);
        EXPECT_NEAR(measured, c.frequency, c.frequency * 0.002) << c.note;
        EXPECT_LT(std::fabs(held[0]), 0.01f) << "starts from silence";
        EXPECT_EQ(released.back(), 0.0f) << "ends in silence";
        // A jump to the note's level at its start or end would be far larger than the
        // sine's own steepest step.
        float steepest = float(2 * M_PI * c.frequency / kRate * 0.25 * 1.6);
        EXPECT_LT(largestStep(held, 0), steepest * 1.1f) << c.note;
        EXPECT_LT(largestStep(released, 0), steepest * 1.1f) << c.note;
    }
}

// The meter shows the largest magnitude a block held, whichever its sign: with blocks shorter
// than the sine's period, about half of them peak on a negative sample.
TEST_F(MixerTest, MeterPeakIsTheLargestMagnitudeOfEachBlockOfEitherSign) {
    openMixer("");
    openDevice(0);
    COutputs outputs(32);
    process(outputs, 32, {{0, asData(0x90, 69, 100), 0}});
    int negativePeaks = 0;
    for (int block = 0; block < 40; block++) {
        mixer->outs.peak[0].store(0.0f);
        outputs.fill(0);
        process(outputs, 32);
        float highest = 0, lowest = 0;
        for (float sample : outputs.data[0]) {
            highest = std::max(highest, sample);
            lowest = std::min(lowest, sample);
        }
        if (-lowest > highest) negativePeaks++;
        EXPECT_EQ(mixer->outs.peak[0].load(), std::max(highest, -lowest)) << block;
    }
    EXPECT_GT(negativePeaks, 10);
}

TEST_F(MixerTest, SynthesizerVoicesSumAndStopOnAllNotesOff) {
    openMixer("");
    openDevice(0);
    pending = {{0, asData(0x90, 60, 100), 0}, {0, asData(0x90, 67, 100), 0}};
    std::vector<float> chord = record(kRate / 4, 0);
    float loudest = 0;
    for (float sample : chord)
        loudest = std::max(loudest, std::fabs(sample));
    EXPECT_GT(loudest, 0.3f);
    pending = {{0, asData(0xB0, 123, 0), 0}};
    std::vector<float> after = record(kRate / 4, 0);
    EXPECT_EQ(after.back(), 0.0f);
}

// Started half an eighth before beat 2 at 90 beats per minute, the first hit is the snare on
// beat 2; kicks fall on beats 1 and 3, noisier sounds on the other eighths.
TEST_F(MixerTest, DrumMachineHitsFallOnTheEighthNoteGridFromTheStartPosition) {
    openMixer("");
    openDevice(1);
    mixer->setTempo(90);
    mixer->setPlaying(true);
    const int eighth = kRate * 60 / 90 / 2;
    recordedFrames = eighth + eighth / 2;
    std::vector<float> twoBars = record(16 * eighth, 0, true);
    std::vector<long> hits = onsets(twoBars, eighth / 2, kSilence);
    ASSERT_EQ(hits.size(), 16u);
    for (size_t i = 0; i < hits.size(); i++) {
        EXPECT_NEAR(double(hits[i]), double(eighth / 2 + long(i) * eighth), 2.0) << i;
        bool kick = (i + 2) % 8 == 0 || (i + 2) % 8 == 4;
        int changes = signChanges(twoBars, hits[i], kRate / 100);
        if (kick)
            EXPECT_LT(changes, 6) << i;
        else
            EXPECT_GT(changes, 20) << i;
    }
}

// One block of a second covers two quarter notes at 120 beats per minute. Started a quarter note
// before the end of a loop longer than the 32-bit tick range, the drums come back to its start,
// a bar's first beat, halfway through the block.
TEST_F(MixerTest, DrumMachineWrapsAtTheLoopEnd) {
    openMixer("", kRate);
    openDevice(1);
    mixer->setTempo(120);
    mixer->setLoop(1);
    mixer->setPlaying(true);
    mixer->setPos(100000.0);
    mixer->setLocators(-100000.0, 100001.0);
    COutputs outputs(kRate);
    process(outputs, kRate);
    std::vector<long> hits = onsets(outputs.data[0], kRate / 10, kSilence);
    ASSERT_EQ(hits.size(), 4u);
    for (size_t i = 0; i < hits.size(); i++)
        EXPECT_NEAR(double(hits[i]), double(i) * kRate / 4.0, 2.0) << i;
    EXPECT_LT(signChanges(outputs.data[0], hits[2], kRate / 100), 6) << "kick again";
}
