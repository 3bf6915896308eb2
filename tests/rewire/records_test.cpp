// The bit fields and the checks of the record helpers; sizes and offsets are checked where the
// records are defined, and filling them by every call to our library.
#include <cstring>
#include <gtest/gtest.h>

#include "rewire/rewire.h"

TEST(ReWireBitFields, BitsLiveInWholeWordsLeastSignificantFirst) {
    uint32_t field[9];
    memset(field, 0xFF, sizeof(field));
    ReWireClearBitField(field, 1);
    EXPECT_EQ(field[0], 0u);
    EXPECT_EQ(field[1], 0xFFFFFFFFu);
    ReWireClearBitField(field, 256);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(field[i], 0u) << i;
    EXPECT_EQ(field[8], 0xFFFFFFFFu);
    ReWireSetBitInBitField(field, 33);
    EXPECT_EQ(field[1], 2u);
    EXPECT_TRUE(ReWireIsBitInBitFieldSet(field, 33));
    EXPECT_FALSE(ReWireIsBitInBitFieldSet(field, 32));
    ReWireSetBitInBitField(field, 255);
    EXPECT_EQ(field[7], 0x80000000u);
    ReWireClearBitInBitField(field, 33);
    EXPECT_EQ(field[1], 0u);
    ReWireSetBitRangeInBitField(field, 30, 4);
    EXPECT_EQ(field[0], 0xC0000000u);
    EXPECT_EQ(field[1], 0x3u);
}

// A cast answers only for an event of its type; a target needs a bus below 255 and a channel
// below 16.
TEST(ReWireEvents, CastsCheckTheTypeAndTargetsTheirRange) {
    ReWireEvent event;
    ReWireConvertToRequestTempoEvent(&event);
    EXPECT_NE(ReWireCastToRequestTempoEvent(&event), nullptr);
    EXPECT_EQ(ReWireCastToMIDIEvent(&event), nullptr);

    ReWireEventTarget target{0, 0};
    EXPECT_TRUE(ReWirePrepareEventTarget(&target, 254, 15));
    EXPECT_EQ(target.fBus, 254);
    EXPECT_EQ(target.fChannel, 15);
    EXPECT_FALSE(ReWirePrepareEventTarget(&target, 255, 0));
    EXPECT_FALSE(ReWirePrepareEventTarget(&target, 0, 16));
    EXPECT_EQ(target.fBus, 254);
}
