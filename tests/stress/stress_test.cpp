// The audio thread renders blocks with MIDI without pause while the UI side changes everything
// it reads, choosing in turn every device of a registry with one per library fault (what each
// fault does to the mixer's own state is the mixer's test). Under ThreadSanitizer this proves
// the process gate and the tables it retires keep the two sides apart; in any build, that
// nothing crashes or corrupts the output and the plug-in comes out whole; in plain builds, that
// the audio thread neither waits nor allocates, counted by this program's own C allocator
// functions.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "plughost.h"
#include "rtcheck.h"

using namespace stress;

namespace {
using Clock = std::chrono::steady_clock;

// Registry devices: well-behaved ones first, then one per library fault.
enum Device {
    kSynth,
    kDrums,
    kTone,
    kRefusesOpen,
    kRefusesClose,
    kFailsDrive,
    kChangesTargets,
    kOverstatesEvents,
    kManyBuses,
    kDeviceCount
};
const char* const kFaultRegistry =
    "[Library]\nDevices=9\n"
    "[Device0]\nName=Synth\nKind=Synth\n"
    "[Device1]\nName=Drums\nKind=Drums\n"
    "[Device2]\nName=Tone\nKind=Tone\nChannels=8\n"
    "[Device3]\nName=Refuses open\nRefuseOpen=1\n"
    "[Device4]\nName=Refuses close\nRefuseClose=3\n"
    "[Device5]\nName=Fails drive\nFailDrive=1\n"
    "[Device6]\nName=Changes targets\nTargetsChangeAfter=1\nTargetsChangeRepeat=1\n"
    "[Device7]\nName=Overstates events\nTargetsChangeAfter=2\nOverstateEvents=1\nEventLimit=1\n"
    "[Device8]\nName=Many buses\nBuses=1000\nBusChannels=16\n";

// Seconds the threads race; RWB_STRESS_SECONDS runs it longer by hand.
double stressSeconds() {
    const char* text = getenv("RWB_STRESS_SECONDS");
    double seconds = text ? atof(text) : 0;
    return seconds > 0 ? seconds : 10;
}

struct AudioStats {
    std::atomic<long> blocks{0};
    std::atomic<long> sounding{0};
    std::atomic<long> damaged{0};
    std::atomic<long> voluntarySwitches{0};
    std::atomic<long> heapCalls{0};
};

void audioThread(const Plugin& plugin, const std::atomic<bool>& stop, AudioStats& stats) {
    static const int kBlockSizes[] = {64, 256, 1000, 4096, 17};
    Outputs out;
    EventList notes(noteRun(24, 64));
    for (long n = 0; !stop.load(); n++) {
        int frames = kBlockSizes[n % 5];
        long switches = voluntarySwitches();
        stats.heapCalls += heapCallsOf([&] { plugin.process(out, frames, notes.get()); });
        stats.voluntarySwitches += voluntarySwitches() - switches;
        float peak = out.peak(frames);
        if (peak < 0) stats.damaged++;
        if (peak > 0) stats.sounding++;
        stats.blocks++;
    }
}

// One UI-side change per step, cycling through everything the audio thread depends on.
void uiStep(const Plugin& plugin, long step) {
    static const float kRates[] = {44100, 48000, 96000, 22050, 192000};
    static const int kFrames[] = {512, 64, 4096, 1, 1024, 333};
    CSynth& synth = plugin.synth();
    long round = step / 11;
    switch (step % 11) {
    case 0:
        synth.setDevice(int(round % (kDeviceCount + 1)) - 1);
        break;
    case 1:
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, kRates[round % 5]);
        break;
    case 2:
        plugin.dispatch(effSetBlockSize, 0, kFrames[round % 6]);
        break;
    case 3:
        synth.addMapRow(int(round % 7) - 1);
        break;
    case 4:
        synth.setMapTarget(int(round % 16), int(round % 40));
        break;
    case 5:
        if (round % 3 == 0) synth.removeMapRow();
        if (round % 50 == 49) synth.resetMapping();
        break;
    case 6: {
        // Every other time the chunk comes back with one byte damaged.
        std::vector<unsigned char> chunk = plugin.chunk();
        if (round % 2 && !chunk.empty()) chunk[size_t(round) % chunk.size()] ^= 0x5A;
        plugin.setChunk(chunk);
        break;
    }
    case 7:
        synth.setSync(synth.getSync() ? 0 : 1);
        break;
    case 8:
        plugin.dispatch(effMainsChanged, 0, round % 2);
        break;
    case 9:
        // Without a display the editor exists without a view; its idle still runs.
        plugin.dispatch(round % 2 ? effEditClose : effEditOpen);
        break;
    default:
        plugin.dispatch(effEditIdle);
        break;
    }
}
} // namespace

TEST(Stress, AudioKeepsRunningWhileTheUiChangesEverything) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0", kFaultRegistry);
    Plugin plugin;
    ASSERT_EQ(plugin.synth().getMixer()->deviceCount(), kDeviceCount);

    std::atomic<bool> stop{false};
    AudioStats stats;
    std::thread audio(audioThread, std::cref(plugin), std::cref(stop), std::ref(stats));
    auto end = Clock::now() + std::chrono::duration<double>(stressSeconds());
    long steps = 0;
    while (Clock::now() < end)
        uiStep(plugin, steps++);
    stop.store(true);
    audio.join();

    printf("stress: %.0f s, %ld UI changes, %ld blocks (%ld with sound), %ld waits and %ld heap "
           "calls in blocks\n",
           stressSeconds(), steps, stats.blocks.load(), stats.sounding.load(),
           stats.voluntarySwitches.load(), stats.heapCalls.load());
    EXPECT_GT(stats.blocks.load(), 100);
    EXPECT_GT(stats.sounding.load(), 0);
    EXPECT_EQ(stats.damaged.load(), 0);
    // The audio thread never blocks, whatever the UI side holds, nor allocates (sanitizer
    // runtimes take locks of their own and own the heap, so only plain builds can tell); the
    // counter sees allocations made through every route the code could take.
    if (!kSanitizerRuntime) {
        EXPECT_EQ(stats.voluntarySwitches.load(), 0);
        void* (*volatile cMalloc)(size_t) = malloc;
        EXPECT_EQ(heapCallsOf([&] { free(cMalloc(24)); }), 2);
        EXPECT_EQ(heapCallsOf([] { operator delete(operator new(24)); }), 2);
        EXPECT_GE(heapCallsOf([] { CStr text("long enough to need the heap for sure"); }), 1);
        EXPECT_EQ(stats.heapCalls.load(), 0);
    }

    // Afterwards the plug-in is as usable as a fresh one: the user's mapping outlasts a device
    // whose targets keep changing, and the synth plays.
    CSynth& synth = plugin.synth();
    synth.resetMapping();
    synth.addMapRow(0);
    synth.addMapRow(3);
    synth.setDevice(kChangesTargets);
    Outputs out;
    EventList notes(noteRun(8, 256));
    for (int n = 0; n < 8; n++) {
        plugin.process(out, 256, notes.get());
        plugin.dispatch(effEditIdle);
    }
    ASSERT_EQ(synth.getMapping().getCount(), 2);
    EXPECT_EQ(synth.getMapping().getChannel(1), 3);
    synth.setDevice(kSynth);
    plugin.process(out, 256, notes.get());
    EXPECT_GT(out.peak(256), 0.0f);
}
