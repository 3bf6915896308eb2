// rwhost as a user runs it, with the test instrument: output 1 sounds the held notes, output 2
// clicks on every quarter note while the transport plays.
#include <gtest/gtest.h>

#include "rwhost_runner.h"

#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// The test instrument offers its waveforms as ReWire devices through the vendor requests.
TEST_F(RwHost, DevicesAreListedChosenAndTheirAbsenceIsTold) {
    // a chunk whose "app" record chooses no waveform: the voices stay silent
    writeBytes(path("none.chunk"), {3, 0, 0, 0, 'a', 'p', 'p', 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    writeBytes(path("a.mid"), songFile(0.0, 1.0));
    const std::string base = "render " + plugin + " --midi " + path("a.mid") + " --out " +
                             path("a.wav") + " --seconds 0.5 --chunk-in " + path("none.chunk");
    Outcome run = rwhost(base);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("rwhost: no ReWire device chosen: the outputs stay silent; choose "
                              "one with --device N; rwhost info lists them\n"),
              std::string::npos)
        << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(path("a.wav"), wav));
    EXPECT_EQ(firstNonZero(wav.channel[0]), -1);

    run = rwhost(base + " --device 1"); // the square wave
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("no ReWire device chosen"), std::string::npos) << run.output;
    ASSERT_TRUE(readWav(path("a.wav"), wav));
    EXPECT_FLOAT_EQ(wav.channel[0][10], 0.5f); // a square wave holds its full level

    run = rwhost(base + " --device 7");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("there is no device 7 (3 devices: 0 Sine, 1 Square, 2 Saw)"),
              std::string::npos)
        << run.output;

    run = rwhost("info " + plugin);
    for (const char* line : {"ReWire devices: 3\n", "  device 0: Sine\n", "  device 2: Saw\n",
                             "ReWire device:  0 (chosen)\n"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
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
        {"", 2, "rwhost: no command given; see rwhost --help"},
        {"play", 2, "rwhost: unknown command 'play'; see rwhost --help"},
        {"info", 2, "rwhost: no plug-in given; see rwhost info --help"},
        {"info /nonexistent/plugin.so", 1, "cannot load /nonexistent/plugin.so"},
        {"info /etc/hostname", 1, "cannot load"},
        {"render " + plugin, 2, "rwhost: --out is required; see rwhost render --help"},
        {"render " + plugin + out + " --midi /nonexistent.mid", 1,
         "rwhost: cannot read /nonexistent.mid: No such file or directory"},
        {"render " + plugin + out + " --midi " + path("junk.mid"), 1, "not a Standard MIDI File"},
        {"render " + plugin + out + " --chunk-in /nonexistent", 1,
         "cannot read /nonexistent: No such file or directory"},
        {"render " + plugin + " --out /nonexistent/dir/o.wav", 1,
         "cannot write /nonexistent/dir/o.wav: No such file or directory"},
    };
    for (const Case& c : cases) {
        const Outcome run = rwhost(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
        // a usage error is one line, not the help text
        if (c.exitCode == 2) {
            EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        }
    }
    // The option parser's refusals are its own test; here, that they reach the user.
    for (const char* help : {"--help", "render --help"}) {
        const Outcome run = rwhost(help);
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_NE(run.output.find("usage: rwhost"), std::string::npos) << help;
        EXPECT_NE(run.output.find("exit codes: 0 done, 1 failed, 2 bad arguments"),
                  std::string::npos)
            << help;
    }
    const Outcome run = rwhost("--version");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output.rfind("rwhost ", 0), 0u) << run.output;
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
