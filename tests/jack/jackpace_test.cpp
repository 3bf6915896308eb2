// Telling an offline host by its pace, on simulated clocks: blocks of 512 frames at 48 kHz.
#include <gtest/gtest.h>

#include "jackpace.h"

namespace {
const double kBlockSeconds = 512.0 / 48000.0;

// A host asking for its blocks; each call gives whether the watch takes it for offline.
class CPacedHost {
public:
    /// The next block comes after gap seconds, of which the device waited waited.
    bool next(double gap, double waited = 0) {
        now += gap;
        return watch.block(kBlockSeconds, now, waited);
    }
    /// Blocks at speed times real time for seconds of audio; true when every block after the
    /// first settle seconds of audio was taken for offline.
    bool run(double seconds, double speed, double settle = 0) {
        bool always = true;
        for (double done = 0; done < seconds; done += kBlockSeconds) {
            bool offline = next(kBlockSeconds / speed);
            if (done >= settle) always &= offline;
        }
        return always;
    }
    /// Blocks at speed times real time: whether any was taken for offline.
    bool ever(double seconds, double speed) {
        bool any = false;
        for (double done = 0; done < seconds; done += kBlockSeconds)
            any |= next(kBlockSeconds / speed);
        return any;
    }

    CJackPaceWatch watch;
    double now = 0;
};
} // namespace

// A realtime host is never offline: steady, with its wake-ups jittering, or catching up after
// a stall of a tenth of a second with a burst of blocks; nor is a host a little fast.
TEST(JackPaceTest, RealtimeHostsAndCatchUpsAfterAStallAreNotOffline) {
    CPacedHost host;
    EXPECT_FALSE(host.ever(5, 1.0));
    for (int i = 0; i < 2000; i++)
        EXPECT_FALSE(host.next(kBlockSeconds * (i % 2 ? 1.4 : 0.6)));
    for (int stall = 0; stall < 5; stall++) {
        EXPECT_FALSE(host.next(0.1));
        for (int burst = 0; burst < 10; burst++)
            EXPECT_FALSE(host.next(0.0001));
        EXPECT_FALSE(host.ever(1, 1.0));
    }
    EXPECT_FALSE(host.ever(10, 1.2));
}

// A host rendering as fast as it can is offline within 0.4 s of audio and stays
// so while the device's waits pace it to real time; back at real time by its own clock, it is
// realtime again within a second.
TEST(JackPaceTest, AFastHostIsOfflineSoonWhilePacedAndRealtimeSoonAfter) {
    CPacedHost host;
    host.run(1, 1.0);
    EXPECT_TRUE(host.run(1, 20.0, 0.4));
    bool paced = true;
    for (int i = 0; i < 1000; i++)
        paced &= host.next(kBlockSeconds, kBlockSeconds * 0.98);
    EXPECT_TRUE(paced);
    host.run(1, 1.0);
    EXPECT_FALSE(host.ever(2, 1.0));
    EXPECT_TRUE(host.run(1.5, 3.0, 0.8));
}
