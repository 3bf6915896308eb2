// rwhost's own answers as a user meets them: the device list and a wrong choice, bad arguments
// and files, and an instrument from another maker.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>

#include "rwhost_runner.h"
#include "testinstall.h"

namespace {
const std::string kPlugin = RWB_PLUGIN_PATH;
} // namespace

TEST(RwHost, DevicesAreListedAndAChoiceBeyondThemIsTold) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=2\n[Device0]\nName=Tones\nKind=Tone\n"
                      "[Device1]\nName=Keys\nKind=Synth\n");
    CTempFolder folder;
    Outcome run = rwhost("info " + kPlugin);
    for (const char* line :
         {"ReWire devices: 2\n", "  device 1: Keys\n", "ReWire device:  none chosen\n"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;

    run = rwhost("render " + kPlugin + " --out " + folder.path("a.wav") + " --device 2");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("there is no device 2 (2 devices: 0 Tones, 1 Keys)"),
              std::string::npos)
        << run.output;
}

TEST(RwHost, BadArgumentsAndFilesGiveAMessageAndAnExitCode) {
    CTestInstall noLibrary; // the searched folders stay empty
    CTempFolder folder;
    writeBytes(folder.path("junk.mid"), {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    const std::string out = " --out " + folder.path("o.wav");
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
        {"render " + kPlugin, 2, "rwhost: --out is required; see rwhost render --help"},
        {"render " + kPlugin + out + " --midi /nonexistent.mid", 1,
         "rwhost: cannot read /nonexistent.mid: No such file or directory"},
        {"render " + kPlugin + out + " --midi " + folder.path("junk.mid"), 1,
         "not a Standard MIDI File"},
        {"render " + kPlugin + out + " --chunk-in /nonexistent", 1,
         "cannot read /nonexistent: No such file or directory"},
        {"render " + kPlugin + " --out /nonexistent/dir/o.wav", 1,
         "cannot write /nonexistent/dir/o.wav: No such file or directory"},
        {"render " + kPlugin + out + " --device 0", 1, "no ReWire library found (searched: "},
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

TEST(RwHost, PlaysAnInstrumentFromAnotherMaker) {
    // Debian's amsynth package installs a VST 2.4 build of the synthesizer
    const std::string amsynth = "/usr/lib/vst/amsynth_vst.so";
    if (access(amsynth.c_str(), R_OK) != 0) GTEST_SKIP() << "amsynth is not installed";
    CTempFolder folder;
    writeBytes(folder.path("a.mid"), songFile(0.5, 1.0));
    // what another maker's plug-in leaks is not ours to report in sanitizer builds
    const Outcome run =
        rwhost("render " + amsynth + " --midi " + folder.path("a.mid") + " --out " +
                   folder.path("a.wav") + " --rate 48000 --chunk-out " + folder.path("a.chunk"),
               "ASAN_OPTIONS=detect_leaks=0");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Wav wav;
    ASSERT_TRUE(readWav(folder.path("a.wav"), wav));
    ASSERT_EQ(wav.channels, 2);
    // silent until the note at quarter 0.5, then sounding near A4
    const long start = firstNonZero(wav.channel[0]);
    EXPECT_GE(start, 12000);
    EXPECT_LT(start, 12000 + 512);
    EXPECT_NEAR(frequency(wav.channel[0], 14400, 24000, 48000), 440.0, 15.0);
    EXPECT_FALSE(readBytes(folder.path("a.chunk")).empty());
}
