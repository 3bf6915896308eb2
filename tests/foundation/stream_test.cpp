#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "foundation/stream.h"

namespace {
using Bytes = std::vector<unsigned char>;

Bytes bytesOf(CMemoryStream& s) {
    return Bytes(s.getData(), s.getData() + s.getSize());
}
} // namespace

TEST(MemoryStream, ValuesAreLittleEndianStringsCountedAndReadBack) {
    CMemoryStream s;
    s.writeStr("app");
    s.writeInt(1);
    s.writeStr("");
    s.writeFloat(1.5f);
    EXPECT_EQ(bytesOf(s),
              (Bytes{3, 0, 0, 0, 'a', 'p', 'p', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x3F}));
    s.seek(0, 0);
    EXPECT_EQ(s.readStr(), CStr("app"));
    EXPECT_EQ(s.readInt(), 1);
    EXPECT_EQ(s.readStr(), CStr(""));
    EXPECT_EQ(s.readFloat(), 1.5f);
    // Past the end a reader yields zeros, not stale memory.
    EXPECT_EQ(s.readInt(), 0);
    EXPECT_EQ(s.readFloat(), 0.0f);
}

TEST(MemoryStream, SizeSeekAndReadStayWithinTheData) {
    CMemoryStream s;
    s.writeInt(5);
    s.writeInt(7);
    s.setSize(4); // shrinking moves the position back
    EXPECT_EQ(s.pos(), 4);
    unsigned char b[4];
    EXPECT_EQ(s.read(b, 4), 0);
    EXPECT_EQ(s.seek(-2, 1), 2);
    EXPECT_EQ(s.read(b, 4), 2);
    s.seek(-1, 0);
    EXPECT_EQ(s.read(b, 1), 0);
    EXPECT_EQ(s.write(b, 1), 0);
    EXPECT_EQ(s.getSize(), 4);
}

TEST(MemoryStream, DamagedLengthsAndOverflowingRequestsAreRefused) {
    // A string length running past the end, below zero or at INT_MAX reads only what is there.
    for (int length : {1000, -5, INT_MAX}) {
        CMemoryStream s;
        s.writeInt(length);
        s.write("xyz", 3);
        s.seek(0, 0);
        EXPECT_EQ(s.readStr(), CStr(length > 0 ? "xyz" : "")) << length;
        EXPECT_EQ(s.pos(), length > 0 ? 7 : 4) << length;
    }
    CMemoryStream s;
    s.write("abcd", 4);
    unsigned char b = 0;
    EXPECT_EQ(s.seek(INT_MAX, 0), INT_MAX);
    EXPECT_EQ(s.write(&b, 1), 0);
    EXPECT_EQ(s.seek(10, 1), INT_MAX); // would pass INT_MAX: refused, position kept
    s.seek(0, 0);
    EXPECT_EQ(s.seek(INT_MIN, 1), INT_MIN);
    EXPECT_EQ(s.seek(-1, 1), INT_MIN);
    s.seek(2, 0);
    s.setSize(INT_MAX);
    s.setSize(-1);
    EXPECT_EQ(s.pos(), 2);
    EXPECT_EQ(bytesOf(s), (Bytes{'a', 'b', 'c', 'd'}));
}
