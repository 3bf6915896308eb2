// rwbridge in rwhost with our ReWire library installed, as a VST plug-in and as an LV2 bundle:
// the device choice and the saved chunk, MIDI to the device at its frame and pitch, the song's
// transport to the drum machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "measures.h"
#include "pluginformats.h"
#include "rwhost_runner.h"
#include "testinstall.h"

namespace {
const Bytes kFreshChunk = {0x03, 0,    0,    0,    'a', 'p', 'p',  0x04, 0,   0,   0,   0xFF,
                           0xFF, 0xFF, 0xFF, 0x04, 0,   0,   0,    's',  'y', 'n', 'c', 0x04,
                           0,    0,    0,    0x01, 0,   0,   0,    0x03, 0,   0,   0,   'm',
                           'a',  'p',  0,    0,    0,   0,   0x05, 0,    0,   0,   'm', 'a',
                           'p',  'c',  'h',  0x04, 0,   0,   0,    0,    0,   0,   0};
const int kPolySynth = 0, kDrums = 1;
} // namespace

class Bridge : public ::testing::TestWithParam<PluginFormat> {
protected:
    void SetUp() override { library.addBundle(0, "ReWire.bundle"); }
    // Files go into the install's temporary folder.
    std::string path(const char* name) const { return library.root() + "/" + name; }
    // The options come before the plug-in, as rwhost allows.
    Outcome render(const std::string& args) {
        return rwhost("render " + args + " " + GetParam().plugin);
    }
    Wav renderSong(const Bytes& song, const std::string& args) {
        writeBytes(path("song.mid"), song);
        Outcome run =
            render("--midi " + path("song.mid") + " --out " + path("out.wav") + " " + args);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        Wav wav;
        EXPECT_TRUE(readWav(path("out.wav"), wav));
        return wav;
    }

    CTestInstall library;
};

TEST_P(Bridge, FreshChunkAndTheChosenDeviceInIt) {
    Outcome run =
        render("--seconds 0.1 --out " + path("a.wav") + " --chunk-out " + path("fresh.chunk"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(readBytes(path("fresh.chunk")), kFreshChunk);
    EXPECT_NE(run.output.find("no ReWire device chosen: the outputs stay silent"),
              std::string::npos)
        << run.output;

    run = render("--seconds 0.1 --out " + path("b.wav") + " --device 2 --chunk-out " +
                 path("tones.chunk"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Bytes tones = kFreshChunk;
    std::fill_n(tones.begin() + 11, 4, 0); // the "app" record's value: device 2
    tones[11] = 2;
    EXPECT_EQ(readBytes(path("tones.chunk")), tones);

    // Out, then in again: the same bytes.
    run = render("--seconds 0.1 --out " + path("c.wav") + " --chunk-in " + path("tones.chunk") +
                 " --chunk-out " + path("again.chunk"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(readBytes(path("again.chunk")), readBytes(path("tones.chunk")));
}

// Offline and at the pace of the sample rate on an audio thread alike.
TEST_P(Bridge, NoteReachesTheSynthesizerAtItsFrameAndPitch) {
    // A4 from quarter 1 at 120 bpm: frame 24000 at 48 kHz, inside the block of 512 frames that
    // starts at 23552; the event's slice starts exactly on its frame.
    const Bytes song = songFile(1.0, 1.0);
    for (const char* pace : {"", " --realtime"}) {
        SCOPED_TRACE(pace);
        Wav wav = renderSong(song, "--device " + std::to_string(kPolySynth) +
                                       " --seconds 1.2 --rate 48000 --block 512" + pace);
        ASSERT_EQ(wav.channels, 8);
        // A voice starts at phase 0 with its level rising from 0: its first sample is silent.
        long start = firstNonZero(wav.channel[0]);
        EXPECT_EQ(start, 24000 + 1);
        EXPECT_EQ(firstNonZero(wav.channel[1]), 24000 + 1);
        EXPECT_NEAR(frequency(wav.channel[0], start + 2000, start + 20000, wav.rate), 440.0, 1.0);
        for (int n = 2; n < 8; n++)
            EXPECT_EQ(firstNonZero(wav.channel[size_t(n)]), -1) << n;
    }
}

TEST_P(Bridge, DrumMachineFollowsTheSongsTempoUnlessGivenThePlayStateAndTheLoop) {
    Bytes silenceAt60 = songFile(8.0, 0.1, 1000000); // the note falls after the render
    auto hitsAt = [&](const std::string& args) {
        Wav wav =
            renderSong(silenceAt60, "--device " + std::to_string(kDrums) + " --seconds 2 " + args);
        return onsets(wav.channel[0], wav.rate / 20);
    };
    std::vector<long> at60 = hitsAt("");
    std::vector<long> at120 = hitsAt("--tempo 120");
    ASSERT_GE(at120.size(), 7u);
    ASSERT_GE(at60.size(), 3u);
    // Eighth notes: 11025 frames at 120 bpm, twice as far apart at 60.
    EXPECT_NEAR(double(at120[1] - at120[0]), 11025.0, 2.0);
    EXPECT_NEAR(double(at60[1] - at60[0]), 22050.0, 2.0);
    EXPECT_TRUE(hitsAt("--tempo 120 --stopped").empty());
    if (!GetParam().loops) return;
    // A loop over three eighths: the hit on its start comes back an eighth after the second.
    std::vector<long> looped = hitsAt("--tempo 120 --loop 0:0.75");
    ASSERT_GE(looped.size(), 3u);
    EXPECT_NEAR(double(looped[2] - looped[1]), 5512.5, 2.0);
}

// At 92.5 beats per minute in 3/4 the device counts with the tempo the host gives, fraction
// and all, and in its bars: over 12 s of blocks of 4096 frames every hit stays on the
// eighth-note grid, and the kick comes on every sixth eighth, each bar's first beat.
TEST_P(Bridge, DrumMachineKeepsAFractionalTempoAndTheMetreInLongBlocks) {
    Outcome run =
        render("--device " + std::to_string(kDrums) +
               " --tempo 92.5 --metre 3/4 --block 4096 --seconds 12 --out " + path("drums.wav"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(path("drums.wav"), wav));
    const double eighth = wav.rate * 60.0 / 92.5 / 2;
    std::vector<long> hits = onsets(wav.channel[0], int(eighth / 2));
    ASSERT_GE(hits.size(), 36u);
    double worst = 0;
    std::string kicks;
    for (size_t i = 0; i < hits.size(); i++) {
        worst = std::max(worst, std::fabs(double(hits[i]) - double(i) * eighth));
        kicks += signChanges(wav.channel[0], hits[i], wav.rate / 100) < 6 ? "K" : ".";
    }
    EXPECT_LE(worst, 2.0);
    EXPECT_EQ(kicks.substr(0, 18), "K.....K.....K.....");
}

INSTANTIATE_TEST_SUITE_P(Formats, Bridge, ::testing::ValuesIn(kPluginFormats), formatName);
