// rwhost as an LV2 host, seen from a probe plug-in that shows on its outputs what arrives: MIDI
// at its frame offsets, time:Position objects only where a host sends them (the start, a
// tempo change, a jump), and the state chunk through the state interface with the plug-in's
// other properties kept.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <string>

#include "rwhost_runner.h"
#include "testinstall.h"

namespace {

/// Frame → value of the output's samples that are not zero.
std::map<long, float> marks(const std::vector<float>& samples) {
    std::map<long, float> found;
    for (size_t i = 0; i < samples.size(); ++i)
        if (samples[i] != 0.0f) found[static_cast<long>(i)] = samples[i];
    return found;
}

/// Format 0, 480 ticks per quarter: 120 bpm, 60 bpm from quarter 1, A4 from quarter 2 to 3.
const Bytes kTempoChangeSong = {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,
                                0,    1,    0x01, 0xE0,                         // header
                                'M',  'T',  'r',  'k',  0,    0,    0,    29,   // one track
                                0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,       // 120 bpm
                                0x83, 0x60, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, // 60 bpm
                                0x83, 0x60, 0x90, 0x45, 0x64, 0x83, 0x60, 0x80, 0x45, 0x00, // A4
                                0x00, 0xFF, 0x2F, 0x00};

} // namespace

class Lv2Host : public ::testing::Test {
protected:
    std::string path(const char* name) const { return library.root() + "/" + name; }
    Wav render(const Bytes& song, const std::string& args) {
        writeBytes(path("song.mid"), song);
        const Outcome run =
            rwhost(std::string("render ") + RWB_PROBE_BUNDLE_PATH + " --midi " + path("song.mid") +
                   " --out " + path("out.wav") + " --rate 48000 --block 512 " + args);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        Wav wav;
        EXPECT_TRUE(readWav(path("out.wav"), wav));
        EXPECT_EQ(wav.channels, 3);
        if (wav.channels != 3) wav.channel.resize(3);
        return wav;
    }

    CTestInstall library;
};

// The position comes at the start and in the first block at the new tempo, and nowhere else.
TEST_F(Lv2Host, PositionOnlyAtTheStartAndAtATempoChangeMidiAtItsFrame) {
    Wav wav = render(kTempoChangeSong, "--seconds 2.6");
    // quarter 1 at 120 bpm is frame 24000; the block from 24064 is the first at 60 bpm
    const std::map<long, float> tempo = marks(wav.channel[1]);
    EXPECT_EQ(tempo, (std::map<long, float>{{0, 120.0f}, {24064, 60.0f}}));
    const std::map<long, float> beat = marks(wav.channel[2]);
    ASSERT_EQ(beat.size(), 2u);
    EXPECT_FLOAT_EQ(beat.at(0), 1.0f);
    EXPECT_NEAR(beat.at(24064), 2.0f + 64.0f / 48000.0f, 1e-5);
    // quarters 2 and 3 at 60 bpm: frames 72000 and 120000, mid-block
    EXPECT_EQ(marks(wav.channel[0]), (std::map<long, float>{{72000, 69.0f}, {120000, 69.0f}}));
}

TEST_F(Lv2Host, ALoopsJumpSendsThePositionAgainAndStoppedMeansSpeedZero) {
    Wav wav = render(songFile(0.5, 0.25), "--tempo 120 --loop 0:1 --seconds 1.2");
    // the loop ends at frames 24000 and 48000; the blocks from 24064 and 48128 start just
    // after the jumps
    const std::map<long, float> beat = marks(wav.channel[2]);
    ASSERT_EQ(beat.size(), 3u) << beat.size();
    EXPECT_FLOAT_EQ(beat.at(0), 1.0f);
    EXPECT_NEAR(beat.at(24064), 1.0f + 64.0f / 24000.0f, 1e-5);
    EXPECT_NEAR(beat.at(48128), 1.0f + 128.0f / 24000.0f, 1e-5);
    EXPECT_EQ(
        marks(wav.channel[0]),
        (std::map<long, float>{{12000, 69.0f}, {18000, 69.0f}, {36000, 69.0f}, {42000, 69.0f}}));
    wav = render(songFile(0.5, 0.25), "--stopped --seconds 0.1");
    EXPECT_EQ(marks(wav.channel[2]), (std::map<long, float>{{0, -1.0f}}));
}

TEST_F(Lv2Host, StateChunkGoesInAndOutWithThePluginsOtherProperties) {
    const Bytes chunk = {'s', 't', 'a', 't', 'e', 0, 1, 2};
    writeBytes(path("in.chunk"), chunk);
    render(songFile(0.5, 0.25), "--seconds 0.1 --chunk-out " + path("fresh.chunk"));
    EXPECT_EQ(readBytes(path("fresh.chunk")), (Bytes{'p', 'r', 'o', 'b', 'e'}));
    render(songFile(0.5, 0.25),
           "--seconds 0.1 --chunk-in " + path("in.chunk") + " --chunk-out " + path("out.chunk"));
    EXPECT_EQ(readBytes(path("out.chunk")), chunk);
}

TEST_F(Lv2Host, PluginFoundByItsUriOnLv2Path) {
    const std::string bundle = RWB_PROBE_BUNDLE_PATH;
    setenv("LV2_PATH", bundle.substr(0, bundle.rfind('/')).c_str(), 1);
    const Outcome run = rwhost("info urn:rwbridge:test:probe");
    unsetenv("LV2_PATH");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("URI:            urn:rwbridge:test:probe"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("outputs:        3"), std::string::npos) << run.output;
}
