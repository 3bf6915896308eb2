// The layout of the bit fields that the mixer and a library share; sizes and offsets are checked
// where the records are defined, and filling them by every call to our library.
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
    ReWireSetBitInBitField(field, 255);
    EXPECT_EQ(field[7], 0x80000000u);
}
