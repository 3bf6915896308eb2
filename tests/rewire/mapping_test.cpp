#include <gtest/gtest.h>

#include "rewire/mapping.h"

namespace {
std::vector<int> rowsOf(const CMIDIMapping& mapping) {
    std::vector<int> rows;
    for (int row = 0; row < mapping.getCount(); row++)
        rows.push_back(mapping.getChannel(row));
    return rows;
}
} // namespace

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
    EXPECT_EQ(mapping.getChannel(128), -1);
    EXPECT_EQ(mapping.getChannel(-1), -1);
    mapping.reset();
    EXPECT_EQ(mapping.getCount(), 0);
    EXPECT_EQ(mapping.getChannel(0), -1);
}
