#include <gtest/gtest.h>

#include "rewire/mapping.h"
#include "rewire/midi.h"

namespace {
std::vector<int> rowsOf(const CMIDIMapping& mapping) {
    std::vector<int> rows;
    for (int row = 0; row < mapping.getCount(); row++)
        rows.push_back(mapping.getChannel(row));
    return rows;
}
} // namespace

TEST(MIDIMapping, NewMappingRoutesOnlyChannelOneToTargetZero) {
    CMIDIMapping mapping;
    EXPECT_EQ(mapping.getChannel(chByte(0x90)), 0);
    for (int channel = 1; channel < 16; channel++)
        EXPECT_EQ(mapping.getChannel(channel), -1);
    EXPECT_EQ(mapping.getChannel(-1), -1);
    EXPECT_EQ(mapping.getChannel(mapping.getCount()), -1);
}

TEST(MIDIMapping, AddedRowsContinueFromTheEntryTheyOccupy) {
    CMIDIMapping mapping;
    mapping.addMap(-1);
    mapping.addMap(-1);
    EXPECT_EQ(rowsOf(mapping), (std::vector<int>{0, 1, 1}));
    mapping.removeMap();
    mapping.addMap(-1);
    EXPECT_EQ(rowsOf(mapping), (std::vector<int>{0, 1, 2}));
    mapping.addMap(7);
    EXPECT_EQ(mapping.getChannel(3), 7);
}

TEST(MIDIMapping, RemovingTheLastRowKeepsItAndClearsTheNextEntry) {
    CMIDIMapping mapping;
    mapping.addMap(5);
    mapping.removeMap();
    mapping.removeMap();
    EXPECT_EQ(rowsOf(mapping), (std::vector<int>{0}));
    mapping.addMap(-1);
    EXPECT_EQ(rowsOf(mapping), (std::vector<int>{0, 1}));
}

TEST(MIDIMapping, HoldsAtMost128RowsAndIgnoresRowsOutsideIt) {
    CMIDIMapping mapping;
    for (int i = 0; i < 200; i++)
        mapping.addMap(i);
    EXPECT_EQ(mapping.getCount(), 128);
    mapping.setChannel(128, 9);
    mapping.setChannel(-1, 9);
    mapping.removeMap();
    mapping.addMap(-1);
    EXPECT_EQ(mapping.getChannel(127), 127);
    mapping.reset();
    EXPECT_EQ(mapping.getCount(), 0);
    EXPECT_EQ(mapping.getChannel(0), -1);
}

TEST(MIDIHelpers, NoteOnAndOffFollowVelocity) {
    EXPECT_TRUE(noteOff(asData(0x90, 0x3C, 0x00)));
    EXPECT_TRUE(noteOff(asData(0x80, 0x3C, 0x40)));
    EXPECT_FALSE(noteOn(asData(0x90, 0x3C, 0x00)));
    EXPECT_TRUE(noteOn(asData(0x93, 0x3C, 0x01)));
    EXPECT_FALSE(noteOn(asData(0x80, 0x3C, 0x40)));
}
