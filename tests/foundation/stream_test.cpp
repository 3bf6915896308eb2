#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/stream.h"
#include "temp_path.h"

namespace {
std::vector<unsigned char> bytesOf(CMemoryStream& s) {
    return std::vector<unsigned char>(s.getData(), s.getData() + s.getSize());
}
using Bytes = std::vector<unsigned char>;
} // namespace

TEST(StreamLayout, TypedValuesByteForByte) {
    CMemoryStream s;
    s.writeStr("app");
    s.writeInt(1);
    s.writeIntSwap(1);
    s.writeShort(-2);
    s.writeByte(0xAB);
    EXPECT_EQ(bytesOf(s),
              (Bytes{3, 0, 0, 0, 'a', 'p', 'p', 1, 0, 0, 0, 0, 0, 0, 1, 0xFE, 0xFF, 0xAB}));
}

TEST(StreamLayout, EveryValueReadsBack) {
    CMemoryStream s;
    s.writeStr("");
    s.writeFloat(1.5f);
    s.writeFloatSwap(-2.25f);
    s.writeDouble(3.125);
    s.writeId("sync", -7);
    s.writeShort(-300);
    s.writeShort(0x0102);
    EXPECT_EQ(s.getSize(), 4 + 4 + 4 + 8 + 8 + 4 + 2 + 2);
    s.seek(0, 0);
    EXPECT_EQ(s.readStr(), CStr(""));
    EXPECT_EQ(s.readFloat(), 1.5f);
    EXPECT_EQ(s.readFloatSwap(), -2.25f);
    EXPECT_EQ(s.readDouble(), 3.125);
    EXPECT_EQ(s.readStr(), CStr("sync"));
    EXPECT_EQ(s.readInt(), -7);
    EXPECT_EQ(s.readShort(), -300);
    EXPECT_EQ(s.readShortSwap(), 0x0201);
    EXPECT_TRUE(s.eof());
    // Past the end a reader yields zeros, not stale memory.
    EXPECT_EQ(s.readInt(), 0);
    EXPECT_EQ(s.readByte(), 0);
}

TEST(StreamLayout, SwapHelpers) {
    EXPECT_EQ(swap2(0x1234), 0x3412);
    EXPECT_EQ(swap4(0x11223344), 0x44332211);
    EXPECT_EQ(swapFloat(swapFloat(6.5f)), 6.5f);
    unsigned char rgb[3] = {1, 2, 3};
    swap3(rgb);
    EXPECT_EQ(rgb[0], 3);
    EXPECT_EQ(rgb[2], 1);
}

TEST(MemoryStream, GrowingKeepsTheContentAndShrinkingMovesThePosition) {
    CMemoryStream s;
    s.writeByte(1);
    std::vector<unsigned char> block(20000, 7);
    s.write(block.data(), int(block.size()));
    EXPECT_EQ(s.getSize(), 20001);
    EXPECT_EQ(s.getData()[0], 1);
    EXPECT_EQ(s.getData()[20000], 7);
    s.setSize(10);
    EXPECT_EQ(s.getSize(), 10);
    EXPECT_EQ(s.pos(), 10);
}

TEST(MemoryStream, SeekAndReadAtTheEnd) {
    CMemoryStream s;
    s.writeInt(5);
    EXPECT_EQ(s.seek(0, 2), 4);
    unsigned char b[4];
    EXPECT_EQ(s.read(b, 4), 0);
    EXPECT_EQ(s.seek(-2, 1), 2);
    EXPECT_EQ(s.read(b, 4), 2);
    s.seek(-1, 0);
    EXPECT_EQ(s.read(b, 1), 0);
    EXPECT_EQ(s.write(b, 1), 0);
    EXPECT_EQ(s.getSize(), 4);
}

TEST(MemoryStream, WriteBlockSizeBackPatchesTheLength) {
    CMemoryStream s;
    s.writeInt(99);
    int start = s.pos();
    s.writeInt(0);
    for (int i = 0; i < 10; i++)
        s.writeByte(static_cast<unsigned char>(i));
    s.writeBlockSize(start);
    EXPECT_EQ(s.pos(), 18);
    s.seek(start, 0);
    EXPECT_EQ(s.readInt(), 10);
}

TEST(MemoryStream, ReadStrNeverReadsPastTheData) {
    CMemoryStream s;
    s.writeInt(1000);
    s.write("abcde", 5);
    s.seek(0, 0);
    EXPECT_EQ(s.readStr(), CStr("abcde")); // the length runs past the end: only what is there
    EXPECT_TRUE(s.eof());
    CMemoryStream negative;
    negative.writeInt(-5);
    negative.write("xyz", 3);
    negative.seek(0, 0);
    EXPECT_EQ(negative.readStr(), CStr(""));
    EXPECT_EQ(negative.pos(), 4);
    CMemoryStream huge;
    huge.writeInt(INT_MAX);
    huge.writeByte('q');
    huge.seek(0, 0);
    EXPECT_EQ(huge.readStr(), CStr("q"));
    EXPECT_TRUE(huge.eof());
}

TEST(MemoryStream, OverflowingRequestsAreRefused) {
    CMemoryStream s;
    s.write("abcd", 4);
    unsigned char b = 0;
    EXPECT_EQ(s.seek(INT_MAX, 0), INT_MAX);
    EXPECT_EQ(s.write(&b, 1), 0);
    EXPECT_EQ(s.getSize(), 4);
    EXPECT_EQ(s.seek(10, 1), INT_MAX); // would pass INT_MAX: refused, position kept
    s.seek(0, 0);
    EXPECT_EQ(s.seek(INT_MIN, 1), INT_MIN);
    EXPECT_EQ(s.seek(-1, 1), INT_MIN);
    s.seek(2, 0);
    s.setSize(INT_MAX);
    s.setSize(-1);
    EXPECT_EQ(s.getSize(), 4);
    EXPECT_EQ(s.pos(), 2);
    EXPECT_FALSE(s.SetCapacity(INT_MAX - 100));
    EXPECT_EQ(bytesOf(s), (Bytes{'a', 'b', 'c', 'd'}));
}

TEST(MemoryStream, CopyAndCopyFrom) {
    CMemoryStream src;
    std::vector<unsigned char> data(3000);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<unsigned char>(i * 7);
    src.write(data.data(), 3000);
    src.seek(0, 0);
    CMemoryStream dst;
    dst.writeInt(42);
    EXPECT_EQ(dst.copy(&src, 0), 4);
    EXPECT_EQ(dst.getSize(), 4);
    EXPECT_EQ(dst.copy(&src, 2500), 4);
    EXPECT_EQ(dst.pos(), 4);
    EXPECT_EQ(dst.getSize(), 2504);
    EXPECT_EQ(dst.readByte(), data[0]);
    dst.seek(0, 2);
    dst.copyFrom(&src, 1000); // only 500 left in the source
    EXPECT_EQ(dst.getSize(), 3004);
    EXPECT_EQ(dst.pos(), 3004);
    EXPECT_EQ(dst.getData()[3003], data[2999]);
}

class FileStreamTest : public ::testing::Test {
protected:
    std::string path = uniqueTempPath(".bin");
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(FileStreamTest, WritesReadsAndCountsBytes) {
    {
        CFileStream f(path.c_str(), 1);
        ASSERT_TRUE(f.isOpen());
        int start = f.pos();
        f.writeInt(0);
        f.writeStr("abc");
        f.writeBlockSize(start);
        EXPECT_EQ(f.getWritten(), 11); // the patched field is not new data
        EXPECT_EQ(f.getSize(), 11);
    }
    CFileStream r(path.c_str(), 0);
    EXPECT_EQ(r.getSize(), 11);
    EXPECT_EQ(r.readInt(), 7);
    EXPECT_EQ(r.readStr(), CStr("abc"));
    EXPECT_TRUE(r.eof());
    CMemoryStream m;
    m.loadFromFile(path.c_str());
    EXPECT_EQ(m.getSize(), 11);
    EXPECT_EQ(m.pos(), 0);
}

TEST_F(FileStreamTest, FailedOpenTransfersNothing) {
    CFileStream f((path + "/missing/x").c_str(), 0);
    EXPECT_FALSE(f.isOpen());
    unsigned char b[4] = {1, 2, 3, 4};
    EXPECT_EQ(f.read(b, 4), 0);
    EXPECT_EQ(f.write(b, 4), 0);
    EXPECT_EQ(f.readInt(), 0);
    CFileStream other(path.c_str(), 5);
    EXPECT_FALSE(other.isOpen());
    CMemoryStream m;
    m.writeInt(3);
    m.loadFromFile((path + ".missing").c_str());
    EXPECT_EQ(m.getSize(), 4);
    EXPECT_FALSE(m.saveToFile((path + "/missing/x").c_str()));
    EXPECT_TRUE(m.saveToFile(path.c_str()));
    CMemoryStream back;
    back.loadFromFile(path.c_str());
    EXPECT_EQ(back.readInt(), 3);
}
