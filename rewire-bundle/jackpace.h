// Tells an offline render from a realtime one by the host's pace, for hosts that do not say
// how they render. A host that asks for its blocks clearly faster than real time for a while
// renders offline; one that catches up after a stall does not, since the stall has put it
// behind by as much as it then makes up. The time the device itself waited in its drive calls
// does not count as the host's: offline, the device's waiting sets the pace, and the host's own
// pace is what is left.
#pragma once

class CJackPaceWatch {
public:
    /// Forgets the host's pace: it is judged afresh from the next block on.
    void reset();
    /// A drive call of seconds of host audio begins at now (seconds on the device's clock), the
    /// device having waited waited seconds since the last one began. True while the host
    /// renders offline by its pace.
    bool block(double seconds, double now, double waited);

private:
    bool started = false;
    bool offline = false;
    double lastStart = 0;
    double lastSeconds = 0;
    /// Seconds by which the host's audio, counted short, is ahead of the time it took.
    double lead = 0;
};
