// Which MIDI target of the open device each incoming MIDI channel goes to: one row per channel,
// row 0 for MIDI channel 1.
#pragma once

#include "foundation/object.h"

class CMIDIMapping : public CObject {
public:
    static constexpr int kMaxRows = 128;

    CMIDIMapping();

    /// No rows, every entry 0.
    void reset();
    int getCount() const { return count; }
    /// The row's target index; -1 for a row that does not exist.
    int getChannel(int row) const;
    /// Sets the row's entry; rows outside 0..127 are ignored.
    void setChannel(int row, int target);
    /// Appends a row with target; -1 takes one more than the entry the new row occupies.
    void addMap(int target);
    /// Drops the last row while two or more exist; otherwise clears the entry past the last row.
    void removeMap();

private:
    int count = 0;
    int targets[kMaxRows];
};

/// The mapping as the audio thread reads it: the target of each of the 16 MIDI channels, -1 for
/// a channel without a row. Written once by the UI side, then only read until it is retired.
struct CMIDIRoutes {
    static constexpr int kChannels = 16;
    explicit CMIDIRoutes(const CMIDIMapping& mapping);
    int getTarget(int channel) const;
    void poison();

    int targets[kChannels];
};
