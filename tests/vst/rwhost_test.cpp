// rwhost's answers to what a user may get wrong on its command line and in its files: a message
// and an exit code (2 for bad arguments, with a one-line message instead of the help text).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "measures.h"
#include "rwhost_runner.h"
#include "testinstall.h"

TEST(RwHost, BadArgumentsAndFilesGiveAMessageAndAnExitCode) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=2\n[Device0]\nName=Tones\nKind=Tone\n"
                      "[Device1]\nName=Keys\nKind=Synth\n");
    const std::string junk = library.root() + "/junk.mid";
    writeBytes(junk, {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    const std::string render = std::string("render ") + RWB_PLUGIN_PATH;
    const std::string emptyBundle = library.root() + "/empty.lv2";
    ASSERT_EQ(mkdir(emptyBundle.c_str(), 0755), 0);
    const std::string out = " --out " + library.root() + "/o.wav";
    struct Case {
        std::string args;
        int exitCode;
        std::string message;
    };
    std::vector<Case> cases = {
        {"--help", 0, "usage: rwhost"},
        {"render --help", 0, "exit codes: 0 done, 1 failed, 2 bad arguments"},
        {"--version", 0, "rwhost "},
        {"", 2, "rwhost: no command given; see rwhost --help"},
        {"play", 2, "rwhost: unknown command 'play'; see rwhost --help"},
        {"info", 2, "rwhost: no plug-in given; see rwhost info --help"},
        {"render" + out, 2, "rwhost: no plug-in given; see rwhost render --help"},
        {render, 2, "rwhost: --out is required; see rwhost render --help"},
        {render + " --out", 2, "--out needs a value"},
        {render + " q.so" + out, 2, "unexpected argument 'q.so'"},
        {render + out + " --colour red", 2, "unknown option '--colour'"},
        // each command takes only its own options
        {"gui p.so --seconds 3601", 2, "invalid value for --seconds: '3601'"},
        {"screenshot p.so --out o.png --midi a.mid", 2, "unknown option '--midi'"},
        {"info /nonexistent/plugin.so", 1, "cannot load /nonexistent/plugin.so"},
        {render + out + " --midi /nonexistent.mid", 1,
         "rwhost: cannot read /nonexistent.mid: No such file or directory"},
        {render + out + " --midi " + junk, 1, "not a Standard MIDI File"},
        {render + out + " --chunk-in /nonexistent", 1,
         "cannot read /nonexistent: No such file or directory"},
        {render + " --out /nonexistent/dir/o.wav", 1,
         "cannot write /nonexistent/dir/o.wav: No such file or directory"},
        {render + out + " --device 2", 1, "there is no device 2 (2 devices: 0 Tones, 1 Keys)"},
        // LV2: bundles by path, plug-ins by URI, devices as for VST
        {"info /nonexistent/x.lv2", 1, "cannot load /nonexistent/x.lv2: No such file or directory"},
        {"info " + emptyBundle, 1, "the bundle describes no LV2 plug-in"},
        {"info urn:rwbridge:nowhere", 1, "no LV2 plug-in with this URI on LV2_PATH"},
        {std::string("render ") + RWB_LV2_BUNDLE_PATH + out + " --device 2", 1,
         "there is no device 2 (2 devices: 0 Tones, 1 Keys)"},
    };
    for (std::string option :
         {"--rate 44.1k", "--rate 1000", "--block 0", "--block 1e3", "--seconds nan",
          "--seconds -1", "--seconds 3601", "--tempo inf", "--loop 8:4", "--loop 4",
          "--loop 1:1.001", "--device -1", "--device 99999999999", "--metre 3/5", "--metre 0/4",
          "--metre 3", "--metre 3/128"}) {
        const std::string value = option.substr(option.find(' ') + 1);
        const std::string name = option.substr(0, option.find(' '));
        cases.push_back(
            {render + out + " " + option, 2, "invalid value for " + name + ": '" + value + "'"});
    }
    for (const Case& c : cases) {
        const Outcome run = rwhost(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
        if (c.exitCode == 2) {
            EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        }
    }
}

// A device's latency, as the plug-in reports it, is made up as a host's export does: the
// render runs that much longer and drops it from the start, saying so once. info shows it
// with the device's state.
TEST(RwHost, RenderCompensatesTheLatencyTheDeviceReports) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=1\n[Device0]\nName=Tones\nKind=Tone\nChannels=2\n"
                      "Latency=1000\nStatus=tuning\n");
    const std::string plugin = std::string(" ") + RWB_PLUGIN_PATH;
    Outcome info = rwhost("info --device 0" + plugin);
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("initial delay:  1000\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("  latency:      1000 frames\n  state:        tuning\n"),
              std::string::npos)
        << info.output;

    Wav wav[2];
    const char* const modes[2] = {"", " --no-compensate"};
    for (int i = 0; i < 2; i++) {
        const std::string out = library.root() + "/o" + std::to_string(i) + ".wav";
        Outcome run = rwhost("render --device 0 --seconds 0.5 --out " + out + modes[i] + plugin);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const std::string line = "rwhost: latency 1000 frames, compensated\n";
        const size_t at = run.output.find(line);
        EXPECT_EQ(at != std::string::npos, i == 0) << run.output;
        EXPECT_TRUE(at == std::string::npos || run.output.find(line, at + 1) == std::string::npos);
        ASSERT_TRUE(readWav(out, wav[i]));
        ASSERT_EQ(wav[i].channel[0].size(), 22050u);
    }
    const std::vector<float>& kept = wav[0].channel[0];
    const std::vector<float>& raw = wav[1].channel[0];
    ASSERT_GT(rms(raw, 0), 0.01);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end() - 1000, raw.begin() + 1000));
}
