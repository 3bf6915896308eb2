// rwhost as a user runs it, with the test instrument: output 1 sounds the held notes, output 2
// clicks on every quarter note while the transport plays.
#include <gtest/gtest.h>

#include "rwhost_runner.h"

#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<long> clicks(const std::vector<float>& s) {
    std::vector<long> at;
    for (long i = 0; i < static_cast<long>(s.size()); ++i)
        if (s[i] == 1.0f) at.push_back(i);
    return at;
}

class RwHost : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rwhost_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        plugin = RWB_TESTSYNTH_PATH;
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }
    std::string path(const char* name) const { return dir + "/" + name; }

    std::string dir;
    std::string plugin;
};

} // namespace

TEST_F(RwHost, NoteComesOutAtItsFrameAndPitch) {
    writeBytes(path("a.mid"), songFile(1.0, 1.0));
    const Outcome run = rwhost("render " + plugin + " --midi " + path("a.mid") + " --out " +
                               path("a.wav") + " --rate 48000 --block 100");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(path("a.wav"), wav));
    EXPECT_EQ(wav.rate, 48000);
    ASSERT_EQ(wav.channels, 2);
    // quarter 1 at 120 BPM is frame 24000; the sine starts at phase 0, so 24001 is the first
    // frame with sound; the note ends one quarter later; the song plus one second is 2.0 s
    EXPECT_EQ(firstNonZero(wav.channel[0]), 24001);
    EXPECT_EQ(firstNonZero(wav.channel[0], 48001), -1);
    EXPECT_EQ(wav.channel[0].size(), 96000u);
    EXPECT_NEAR(frequency(wav.channel[0], 24000, 48000, 48000), 440.0, 1.0);
    EXPECT_EQ(clicks(wav.channel[1]), (std::vector<long>{0, 24000, 48000, 72000}));
    EXPECT_NE(run.output.find("output 1 \"Voices\"     peak 0.500000"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("output 2 \"Click\""), std::string::npos);
}

TEST_F(RwHost, TempoComesFromTheFileUnlessGiven) {
    writeBytes(path("slow.mid"), songFile(1.0, 0.5, 1000000)); // 60 BPM
    Outcome run = rwhost("render " + plugin + " --midi " + path("slow.mid") + " --out " +
                         path("slow.wav") + " --rate 48000");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(path("slow.wav"), wav));
    EXPECT_EQ(firstNonZero(wav.channel[0]), 48001);
    EXPECT_EQ(clicks(wav.channel[1]), (std::vector<long>{0, 48000, 96000}));

    run = rwhost("render " + plugin + " --midi " + path("slow.mid") + " --out " + path("fast.wav") +
                 " --rate 48000 --tempo 240 --seconds 1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(readWav(path("fast.wav"), wav));
    EXPECT_EQ(firstNonZero(wav.channel[0]), 12001);
    EXPECT_EQ(clicks(wav.channel[1]), (std::vector<long>{0, 12000, 24000, 36000}));
}

TEST_F(RwHost, StoppedAndLoopedTransportReachThePlugIn) {
    Outcome run = rwhost("render " + plugin + " --out " + path("stopped.wav") +
                         " --rate 48000 --seconds 2 --stopped");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(path("stopped.wav"), wav));
    EXPECT_TRUE(clicks(wav.channel[1]).empty());

    // a loop of half a quarter note never reaches the next whole quarter
    run = rwhost("render " + plugin + " --out " + path("loop.wav") +
                 " --rate 48000 --seconds 2 --loop 0:0.5");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(readWav(path("loop.wav"), wav));
    EXPECT_EQ(clicks(wav.channel[1]), (std::vector<long>{0}));
}

TEST_F(RwHost, ChunkOutThenInGivesTheSameChunkAndDeviceChoiceGoesThroughIt) {
    const std::string base = "render " + plugin + " --seconds 0.1 --out " + path("x.wav");
    Outcome run = rwhost(base + " --device 2 --chunk-out " + path("a.chunk"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Bytes saved = readBytes(path("a.chunk"));
    ASSERT_GE(saved.size(), 15u);
    EXPECT_EQ(saved[11], 2); // the "app" record's value
    run = rwhost(base + " --chunk-in " + path("a.chunk") + " --chunk-out " + path("b.chunk"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(readBytes(path("b.chunk")), saved);

    run = rwhost(base + " --device 7");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("device 7 could not be opened"), std::string::npos) << run.output;
}

TEST_F(RwHost, BadArgumentsAndFilesGiveAMessageAndAnExitCode) {
    writeBytes(path("junk.mid"), {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    const std::string out = " --out " + path("o.wav");
    struct Case {
        std::string args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"", 2, "usage: rwhost COMMAND"},
        {"play", 2, "unknown command 'play'"},
        {"info", 2, "usage: rwhost info"},
        {"info /nonexistent/plugin.so", 1, "cannot load /nonexistent/plugin.so"},
        {"info /etc/hostname", 1, "cannot load"},
        {"render " + plugin, 2, "--out FILE.wav is required"},
        {"render " + plugin + out + " --rate fast", 2, "invalid value for --rate"},
        {"render " + plugin + out + " --bogus", 2, "unknown option '--bogus'"},
        {"render " + plugin + out + " --midi /nonexistent.mid", 1, "cannot read the file"},
        {"render " + plugin + out + " --midi " + path("junk.mid"), 1, "not a Standard MIDI File"},
        {"render " + plugin + out + " --chunk-in /nonexistent", 1, "cannot read chunk file"},
        {"render " + plugin + " --out /nonexistent/dir/o.wav", 1, "cannot write"},
    };
    for (const Case& c : cases) {
        const Outcome run = rwhost(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
    }
    for (const char* help : {"--help", "info --help", "render --help"}) {
        const Outcome run = rwhost(help);
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_NE(run.output.find("usage: rwhost"), std::string::npos) << help;
    }
}

TEST_F(RwHost, InfoDescribesThePlugIn) {
    const Outcome run = rwhost("info " + plugin);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* line :
         {"entry point:    VSTPluginMain", "unique ID:      0x72777473 'rwts'",
          "VST version:    2400", "category:       2 (instrument)",
          "flags:          0x130 (replacing, chunks, instrument)", "outputs:        2",
          "output 1: \"Voices\" flags 0x1 active", "ReWire device:  0", "receiveVstTimeInfo   yes"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
}

TEST_F(RwHost, PlaysAnInstrumentFromAnotherMaker) {
    // Debian's amsynth package installs a VST 2.4 build of the synthesizer
    const std::string amsynth = "/usr/lib/vst/amsynth_vst.so";
    if (access(amsynth.c_str(), R_OK) != 0) GTEST_SKIP() << "amsynth is not installed";
    writeBytes(path("a.mid"), songFile(0.5, 1.0));
    // what another maker's plug-in leaks is not ours to report in sanitizer builds
    const Outcome run = rwhost("render " + amsynth + " --midi " + path("a.mid") + " --out " +
                                   path("a.wav") + " --rate 48000 --chunk-out " + path("a.chunk"),
                               "ASAN_OPTIONS=detect_leaks=0");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(path("a.wav"), wav));
    ASSERT_EQ(wav.channels, 2);
    // silent until the note at quarter 0.5, then sounding near A4
    const long start = firstNonZero(wav.channel[0]);
    EXPECT_GE(start, 12000);
    EXPECT_LT(start, 12000 + 512);
    EXPECT_NEAR(frequency(wav.channel[0], 14400, 24000, 48000), 440.0, 15.0);
    EXPECT_FALSE(readBytes(path("a.chunk")).empty());
}
