// Devices whose library misbehaves: the plug-in keeps rendering, keeps every setting the user
// made, and never hangs on a device that will not close.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "plughost.h"

using namespace stress;

namespace {
class LibraryFaults : public ::testing::Test {
protected:
    void SetUp() override {
        library.addBundle(0, "ReWire.bundle", "1.8.0", faultRegistry());
        plugin = std::make_unique<Plugin>();
        // Settings that must survive whatever the devices do.
        synth().setSync(0);
        synth().setMapTarget(0, 1);
        synth().addMapRow(3);
        synth().addMapRow(7);
    }
    CSynth& synth() { return plugin->synth(); }
    void expectSettingsKept() {
        EXPECT_EQ(synth().getSync(), 0);
        ASSERT_EQ(synth().getMapping().getCount(), 3);
        EXPECT_EQ(synth().getMapping().getChannel(0), 1);
        EXPECT_EQ(synth().getMapping().getChannel(1), 3);
        EXPECT_EQ(synth().getMapping().getChannel(2), 7);
    }
    // Renders blocks with notes and idles between them; false if any sample is damaged.
    bool renderBlocks(int count, float* loudest = nullptr) {
        Outputs out;
        NoteEvents notes(8, 128);
        float largest = 0;
        for (int n = 0; n < count; n++) {
            plugin->process(out, 128, n % 4 == 0 ? notes.get() : nullptr);
            float peak = out.peak(128);
            if (peak < 0) return false;
            largest = std::max(largest, peak);
            plugin->dispatch(effEditIdle);
        }
        if (loudest) *loudest = largest;
        return true;
    }
    // The plug-in still plays the well-behaved synth after the fault.
    void expectSynthPlays() {
        synth().setDevice(kSynth);
        ASSERT_EQ(synth().getDeviceIndex(), int(kSynth));
        float loudest = 0;
        EXPECT_TRUE(renderBlocks(8, &loudest));
        EXPECT_GT(loudest, 0.0f);
    }

    CTestInstall library;
    std::unique_ptr<Plugin> plugin;
};
} // namespace

// Each faulty device chosen in turn: the plug-in renders undamaged blocks (silent ones where the
// device cannot play), switches away without hanging, keeps the user's settings through a chunk
// round trip and plays the well-behaved synth afterwards. What each fault does to the mixer's
// own state is the mixer's test.
TEST_F(LibraryFaults, EveryFaultyDeviceLeavesThePlugInWhole) {
    struct Case {
        Device device;
        int chosen;
        bool silent;
    };
    // A device that never closes keeps sounding once chosen: the silent ones come first.
    const Case cases[] = {{kFailsDrive, kFailsDrive, true},
                          {kRefusesOpen, -1, true},
                          {kNeverCloses, kNeverCloses, false},
                          {kChangesTargets, kChangesTargets, false},
                          {kOverstatesEvents, kOverstatesEvents, false},
                          {kManyBuses, kManyBuses, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.device));
        synth().setDevice(c.device);
        EXPECT_EQ(synth().getDeviceIndex(), c.chosen);
        float loudest = 1;
        EXPECT_TRUE(renderBlocks(20, &loudest));
        if (c.silent) {
            EXPECT_EQ(loudest, 0.0f);
        }
        auto saved = plugin->chunk();
        plugin->setChunk(saved);
        EXPECT_EQ(plugin->chunk(), saved);
        expectSettingsKept();
        expectSynthPlays();
    }
}
