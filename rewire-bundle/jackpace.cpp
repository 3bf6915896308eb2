#include "jackpace.h"

#include <algorithm>

namespace {
// The host's audio counts at this share of its length: a host faster than 1.25 times real time
// gains lead, a realtime one loses it.
const double kCountedShare = 0.8;
// Lead at which the host counts as offline, in seconds; it gets no further ahead than this, so
// that it counts as realtime again soon after it slows down to real time.
const double kOfflineLead = 0.15;
// The host is realtime again once its lead is gone.
const double kRealtimeLead = 0.0;
// The furthest the host gets behind: a catch-up after a stall this long never makes it look
// offline (realtime hosts drop what they miss rather than catching up on more).
const double kMostBehind = 0.1;
} // namespace

void CJackPaceWatch::reset() {
    started = false;
    offline = false;
    lead = 0;
}

bool CJackPaceWatch::block(double seconds, double now, double waited) {
    if (started) {
        double hostTime = now - lastStart - waited;
        lead =
            std::clamp(lead + kCountedShare * lastSeconds - hostTime, -kMostBehind, kOfflineLead);
        if (lead >= kOfflineLead)
            offline = true;
        else if (lead <= kRealtimeLead)
            offline = false;
    }
    started = true;
    lastStart = now;
    lastSeconds = seconds;
    return offline;
}
