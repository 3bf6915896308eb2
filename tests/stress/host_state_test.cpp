// The plug-in's settings and instances under what real hosts do: the get-chunk pointer handed
// straight back, chunk requests and instances on several threads at once, and projects loaded
// where their device cannot open. A project re-applied while its device sounds is the audio
// test's.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "plughost.h"
#include "rewire/rewireapi.h"

using namespace stress;

namespace {
using Bytes = std::vector<unsigned char>;
enum DemoDevice { kPolySynth, kDrumMachine, kTestTones };

// The chunk's first record is "app" with the device index at byte 11.
const size_t kAppValueAt = 11;

int chunkDevice(const Bytes& chunk) {
    int device = 0;
    if (chunk.size() >= kAppValueAt + 4) memcpy(&device, &chunk[kAppValueAt], 4);
    return device;
}

Bytes withDevice(Bytes chunk, int device) {
    memcpy(&chunk[kAppValueAt], &device, 4);
    return chunk;
}

// Picks a device as the editor's list does; 1 when it is the chosen one afterwards.
VstIntPtr choose(const Plugin& plugin, int device) {
    return plugin.dispatch(effVendorSpecific, kChooseDeviceRequest, device);
}

// The device the editor shows as chosen.
int shownDevice(const Plugin& plugin) {
    BridgeState state;
    plugin.dispatch(effVendorSpecific, kBridgeStateRequest, 0, &state);
    return state.device;
}
} // namespace

TEST(HostChunks, PointerFromGetChunkGoesStraightBackToSetChunk) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    Plugin plugin;
    plugin.synth().setDevice(kTestTones);
    plugin.synth().setSync(0);
    plugin.synth().addMapRow(2);
    Bytes saved = plugin.chunk();

    void* data = nullptr;
    VstIntPtr size = plugin.dispatch(effGetChunk, 0, 0, &data);
    plugin.dispatch(effSetChunk, 0, size, data);

    EXPECT_EQ(plugin.chunk(), saved);
    EXPECT_EQ(plugin.synth().getMapping().getCount(), 2);
    EXPECT_EQ(plugin.synth().getDeviceIndex(), int(kTestTones));
}

// A host's saver thread copies the bytes get-chunk handed it while its UI thread loads presets
// and its audio thread plays: every copy is one of the two chunks, whole.
TEST(HostChunks, BytesHandedOutStayWholeWhileOtherThreadsSetChunks) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    Plugin plugin;
    plugin.synth().setDevice(kPolySynth);
    Bytes small = plugin.chunk();
    for (int row = 0; row < 40; row++)
        plugin.synth().addMapRow(row % 4);
    Bytes large = plugin.chunk();

    const int kCopies = kSanitizerRuntime ? 20000 : 500000;
    std::atomic<bool> saving{true};
    std::atomic<int> damaged{0};
    std::thread saver([&] {
        for (int n = 0; n < kCopies; n++) {
            void* data = nullptr;
            auto size = size_t(plugin.dispatch(effGetChunk, 0, 0, &data));
            auto* bytes = static_cast<const unsigned char*>(data);
            Bytes copy = bytes ? Bytes(bytes, bytes + size) : Bytes();
            if (copy != small && copy != large) damaged++;
        }
        saving = false;
    });
    std::thread audio([&] {
        Outputs out;
        EventList notes(noteRun(8, 256));
        while (saving.load())
            plugin.process(out, 256, notes.get());
    });
    for (int n = 0; saving.load(); n++)
        plugin.setChunk(n % 2 ? large : small);
    saver.join();
    audio.join();

    EXPECT_EQ(damaged.load(), 0) << "of " << kCopies << " copies";
    plugin.setChunk(large);
    EXPECT_EQ(plugin.chunk(), large);
}

TEST(HostInstances, CreatedAndClosedOnTwoThreadsLeaveTheLibraryUsable) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    // Sanitizers catch the first collision; plain builds need more rounds to see one.
    const int kRounds = kSanitizerRuntime ? 200 : 1000;
    std::atomic<int> arrived{0};
    std::atomic<int> holders{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> held{0};
    // Both threads create an instance at the same moment in every round, then close it.
    auto createAndClose = [&] {
        for (int round = 0; round < kRounds; round++) {
            arrived++;
            while (arrived.load() < 2 * (round + 1))
                std::this_thread::yield();
            Plugin plugin;
            if (!plugin.synth().getMixer()->isActive()) continue;
            held++;
            if (++holders > 1) overlaps++;
            plugin.synth().setDevice(round % 3);
            holders--;
        }
    };
    std::thread other(createAndClose);
    createAndClose();
    other.join();

    EXPECT_GT(held.load(), 0);
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(ReWireGetLoadCount(), 0);
    // With every instance closed, the next one holds the mixer and plays a note on MIDI
    // channel 1, which the default mapping row routes to target 0.
    Plugin next;
    next.synth().setDevice(kPolySynth);
    EventList note({{0, 0x90, 60, 100}});
    Outputs out;
    next.process(out, 512, note.get());
    EXPECT_GT(out.peak(512), 0.0f);
}

TEST(HostDeviceChoice, KeptWhileTheChosenDeviceCannotOpen) {
    CTestInstall library;
    Bytes fresh;
    {
        SCOPED_TRACE("library missing");
        Plugin plugin;
        fresh = plugin.chunk();
        plugin.setChunk(withDevice(fresh, 1));
        EXPECT_EQ(plugin.synth().getDevice(), nullptr);
        EXPECT_EQ(chunkDevice(plugin.chunk()), 1);
    }
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=2\n[Device0]\nName=A\nKind=Tone\n"
                      "[Device1]\nName=B\nKind=Synth\n");
    {
        SCOPED_TRACE("fewer devices");
        Plugin plugin;
        plugin.setChunk(withDevice(fresh, 5));
        EXPECT_EQ(plugin.synth().getDevice(), nullptr);
        EXPECT_EQ(chunkDevice(plugin.chunk()), 5);
        // A pick by the user replaces it.
        plugin.synth().setDevice(1);
        EXPECT_EQ(chunkDevice(plugin.chunk()), 1);
        plugin.synth().setDevice(-1);
        EXPECT_EQ(chunkDevice(plugin.chunk()), -1);
    }
}

// Device 0 refuses its first two close requests. A switch it refuses leaves it chosen, shown,
// saved and sounding; idle asks again while the user still wants the switch, and the switch
// happens once the device lets go. Picking the shown device again gives the switch up.
TEST(HostDeviceChoice, ADeviceThatWillNotCloseStaysTheOneShownAndHeard) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0",
                      "[Library]\nDevices=2\n[Device0]\nName=A\nKind=Synth\nRefuseClose=2\n"
                      "[Device1]\nName=B\nKind=Synth\n");
    hostTime().flags = kVstTempoValid | kVstPpqPosValid;
    Outputs out;
    EventList held({{0, 0x90, 60, 100}});
    for (bool givenUp : {false, true}) {
        SCOPED_TRACE(givenUp ? "switch given up" : "switch retried");
        Plugin plugin;
        auto sounds = [&] {
            plugin.process(out, 512, nullptr);
            return out.peak(512) > 1e-4f;
        };
        ASSERT_EQ(choose(plugin, 0), 1);
        plugin.process(out, 512, held.get());
        EXPECT_EQ(choose(plugin, 1), 0);
        EXPECT_EQ(shownDevice(plugin), 0);
        EXPECT_EQ(chunkDevice(plugin.chunk()), 0);
        EXPECT_TRUE(sounds());
        if (givenUp) {
            EXPECT_EQ(choose(plugin, 0), 1);
        }
        for (int n = 0; n < 4 && shownDevice(plugin) == 0; n++) {
            plugin.dispatch(effEditIdle);
            EXPECT_EQ(sounds(), shownDevice(plugin) == 0) << "idle " << n;
        }
        int expected = givenUp ? 0 : 1;
        EXPECT_EQ(shownDevice(plugin), expected);
        EXPECT_EQ(chunkDevice(plugin.chunk()), expected);
        EXPECT_EQ(plugin.synth().getMixer()->getDevice(0)->isActive(), givenUp);
    }
}

// Chunk loads on two host threads ask the editor to rebuild its rows while the editor's idle
// takes the request; under ThreadSanitizer any unguarded access is a failure.
TEST(HostEditor, IdlesWhileTwoThreadsLoadChunks) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    Plugin plugin;
    plugin.synth().setDevice(kPolySynth);
    plugin.dispatch(effEditOpen);
    const Bytes chunk = plugin.chunk();
    const int kLoads = kSanitizerRuntime ? 300 : 3000;
    std::atomic<int> finished{0};
    auto load = [&] {
        for (int n = 0; n < kLoads; n++)
            plugin.setChunk(chunk);
        finished++;
    };
    std::thread first(load), second(load);
    while (finished.load() < 2)
        plugin.dispatch(effEditIdle);
    first.join();
    second.join();

    plugin.dispatch(effEditIdle);
    EXPECT_EQ(plugin.synth().getIdleFlags() & CSynth::kIdleRebuildMapping, 0);
    plugin.setChunk(chunk);
    EXPECT_NE(plugin.synth().getIdleFlags() & CSynth::kIdleRebuildMapping, 0);
    plugin.dispatch(effEditClose);
}
