// A real JACK application from Debian through the JACK device: fluidsynth with a General MIDI
// sound font plays the notes that the host sends through the device's MIDI port, and its sound
// comes back on the plug-in's outputs 1 and 2.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "jackharness.h"
#include "rewire/midi.h"

namespace {
const int kRate = 48000;
const int kBlock = 256;
const char* const kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// fluidsynth as a JACK client named "fluidsynth", audio and MIDI in one client; its shell
// reads a pipe that stays open until the end.
class CFluidSynth {
public:
    bool start() {
        if (pipe(commands) != 0) return false;
        fcntl(commands[1], F_SETFD, FD_CLOEXEC);
        pid = spawnQuiet("fluidsynth -a jack -m jack -g 1 -o audio.jack.id=fluidsynth "
                         "-o midi.jack.id=fluidsynth -o audio.jack.autoconnect=0 "
                         "-o midi.autoconnect=0 " +
                             std::string(kSoundFont),
                         commands[0]);
        close(commands[0]);
        return pid > 0 && eventually([] {
                   return portExists("fluidsynth:left") && portExists("fluidsynth:midi_00");
               });
    }

    // Quits through its shell: killed, fluidsynth leaves its JACK client behind, which keeps
    // the server busy with timeouts for many seconds.
    ~CFluidSynth() {
        if (pid > 0) {
            const char quit[] = "quit\n";
            if (write(commands[1], quit, sizeof(quit) - 1) < 0) kill(pid, SIGTERM);
        }
        if (commands[1] >= 0) close(commands[1]);
        if (pid > 0) waitpid(pid, nullptr, 0);
    }

private:
    pid_t pid = -1;
    int commands[2] = {-1, -1};
};
} // namespace

TEST(FluidSynthTest, NotesPlayedByFluidsynthComeOutOfOutputsOneAndTwo) {
    ASSERT_TRUE(std::filesystem::exists(kSoundFont)) << "timgm6mb-soundfont is missing";
    CTestInstall install;
    CPrivateJackServer server(kRate, kBlock);
    ASSERT_TRUE(server.start());
    CFluidSynth synth;
    ASSERT_TRUE(synth.start());

    CLockstepHost host(kRate, kBlock, kRate);
    // A new note every half second, up the scale.
    host.beforeBlock = [&](long hostFrame) {
        if (hostFrame % (kRate / 2) >= kBlock) return;
        int note = 60 + int(hostFrame / (kRate / 2)) % 12;
        host.pending.push_back({0, asData(0x90, note, 100), 0});
    };
    ASSERT_TRUE(host.open(install,
                          "[Library]\nDevices=1\n[Device0]\nName=JACK\nKind=Jack\n"
                          "In1=fluidsynth:left\nIn2=fluidsynth:right\nMidi1=fluidsynth:midi_00\n",
                          "JACK"));
    CJackTestClient clock("clock", 0, kRate, true);
    clock.onCycle = [&host](long cycle) { host.cycle(cycle); };
    ASSERT_TRUE(clock.activate());
    host.start();
    ASSERT_TRUE(host.waitFor(4 * kRate));
    clock.close();

    EXPECT_GT(rms(host.recording[0], kRate), 0.005) << "left";
    EXPECT_GT(rms(host.recording[1], kRate), 0.005) << "right";
}
