// A real JACK application from Debian through the JACK device: fluidsynth with a General MIDI
// sound font plays the demo song that the host sends through the device's MIDI port, and its
// sound comes back on the plug-in's outputs 1 and 2.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "jackharness.h"
#include "midifile.h"
#include "rewire/midi.h"

extern char** environ;

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
        const char* argv[] = {"fluidsynth",
                              "-a",
                              "jack",
                              "-m",
                              "jack",
                              "-g",
                              "1",
                              "-o",
                              "audio.jack.id=fluidsynth",
                              "-o",
                              "midi.jack.id=fluidsynth",
                              "-o",
                              "audio.jack.autoconnect=0",
                              "-o",
                              "midi.autoconnect=0",
                              kSoundFont,
                              nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, commands[0], 0);
        posix_spawn_file_actions_addclose(&actions, commands[1]);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int failed = posix_spawnp(&pid, "fluidsynth", &actions, nullptr,
                                  const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(commands[0]);
        if (failed) pid = -1;
        return failed == 0;
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

bool waitForPort(const char* name) {
    jack_status_t status;
    jack_client_t* probe = jack_client_open("rwb-look", JackNoStartServer, &status);
    if (!probe) return false;
    bool found = false;
    for (int i = 0; i < 500 && !found; i++) {
        found = jack_port_by_name(probe, name) != nullptr;
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    jack_client_close(probe);
    return found;
}

// The song's channel messages with the host frame each falls on.
struct CTimedMessage {
    long frame;
    int data;
    int channel;
};

std::vector<CTimedMessage> timeSong(const MidiSong& song, long lastFrame) {
    std::vector<CTimedMessage> timed;
    double microsPerQuarter = 500000;
    uint64_t tempoTick = 0;
    double tempoFrame = 0;
    size_t tempo = 0;
    for (const MidiFileEvent& event : song.events) {
        while (tempo < song.tempos.size() && song.tempos[tempo].tick <= event.tick) {
            tempoFrame += double(song.tempos[tempo].tick - tempoTick) / song.ticksPerQuarter *
                          microsPerQuarter * 1e-6 * kRate;
            tempoTick = song.tempos[tempo].tick;
            microsPerQuarter = song.tempos[tempo].microsPerQuarter;
            tempo++;
        }
        long frame = long(tempoFrame + double(event.tick - tempoTick) / song.ticksPerQuarter *
                                           microsPerQuarter * 1e-6 * kRate);
        if (frame > lastFrame) break;
        timed.push_back(
            {frame, asData(event.data[0], event.data[1], event.data[2]), event.data[0] & 0x0F});
    }
    return timed;
}
} // namespace

TEST(FluidSynthTest, DemoSongPlayedByFluidsynthComesOutOfOutputsOneAndTwo) {
    ASSERT_TRUE(std::filesystem::exists(kSoundFont)) << "timgm6mb-soundfont is missing";
    MidiSong song;
    ASSERT_EQ(loadMidiFile(RWB_DEMO_SONG, song), MidiFileError::none);
    CTestInstall install;
    CPrivateJackServer server(kRate, kBlock);
    ASSERT_TRUE(server.start());
    CFluidSynth synth;
    ASSERT_TRUE(synth.start());
    ASSERT_TRUE(waitForPort("fluidsynth:left") && waitForPort("fluidsynth:midi_00"));

    const long seconds = 4;
    std::vector<CTimedMessage> messages = timeSong(song, seconds * kRate);
    ASSERT_FALSE(messages.empty());
    CLockstepHost host(kRate, kBlock, 0, kRate);
    host.reserve((seconds + 1) * kRate);
    size_t next = 0;
    host.beforeBlock = [&](long hostFrame) {
        for (; next < messages.size() && messages[next].frame < hostFrame + kBlock; next++)
            host.pending.push_back({0, messages[next].data, messages[next].channel});
    };
    ASSERT_TRUE(host.open(install,
                          "[Library]\nDevices=1\n[Device0]\nName=JACK\nKind=Jack\nChannels=8\n"
                          "In1=fluidsynth:left\nIn2=fluidsynth:right\nMidi1=fluidsynth:midi_00\n",
                          "JACK"));
    CJackTestClient clock("clock", 0, kRate, true);
    clock.onCycle = [&host](long cycle, int) { host.cycle(cycle); };
    ASSERT_TRUE(clock.activate());
    host.start();
    ASSERT_TRUE(host.waitFor(seconds * kRate));
    clock.close();

    long songEnd = long(host.recording[0].size());
    EXPECT_GT(rms(host.recording[0], kRate, songEnd), 0.005) << "left";
    EXPECT_GT(rms(host.recording[1], kRate, songEnd), 0.005) << "right";
    for (int n = 2; n < CAudioOuts::kCount; n++)
        EXPECT_EQ(rms(host.recording[n], 0, songEnd), 0.0) << n;
    printf("fluidsynth: %zu messages, RMS left %.4f right %.4f\n", messages.size(),
           rms(host.recording[0], kRate, songEnd), rms(host.recording[1], kRate, songEnd));
}
