// The parts of rwhost that decide before anything is loaded: option values and the records of
// a device-choosing chunk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chunkrecords.h"
#include "options.h"

namespace {

using Bytes = std::vector<unsigned char>;

void record(Bytes& b, const std::string& tag, const Bytes& payload) {
    auto put = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    put(static_cast<uint32_t>(tag.size()));
    b.insert(b.end(), tag.begin(), tag.end());
    put(static_cast<uint32_t>(payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
}

/// A bridge chunk: no device, sync on, one mapping row.
Bytes bridgeChunk() {
    Bytes b;
    record(b, "app", {0xFF, 0xFF, 0xFF, 0xFF});
    record(b, "sync", {1, 0, 0, 0});
    record(b, "map", {});
    record(b, "mapch", {0, 0, 0, 0});
    return b;
}

bool parse(std::vector<std::string> args, RenderOptions& o, std::string& error) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return parseRenderOptions(static_cast<int>(argv.size()), argv.data(), o, error);
}

} // namespace

TEST(ChunkRecords, DeviceRecordIsReadAndRewrittenInPlace) {
    Bytes chunk = bridgeChunk();
    ASSERT_EQ(chunk.size(), 59u);
    int32_t device = 0;
    ASSERT_TRUE(chunkDevice(chunk, device));
    EXPECT_EQ(device, -1);
    ASSERT_TRUE(setChunkDevice(chunk, 3));
    Bytes expected = bridgeChunk();
    expected[11] = 3;
    expected[12] = expected[13] = expected[14] = 0;
    EXPECT_EQ(chunk, expected);
}

TEST(ChunkRecords, ChunksOfOtherShapesHaveNoDevice) {
    int32_t device;
    Bytes noApp;
    record(noApp, "sync", {1, 0, 0, 0});
    Bytes wideApp;
    record(wideApp, "app", {1, 0, 0, 0, 0, 0, 0, 0});
    Bytes tooLong = bridgeChunk();
    tooLong[7] = 0x40; // payload size past the end
    Bytes binaryTag = bridgeChunk();
    binaryTag[4] = 0x01;
    const Bytes opaque = {'R', 'I', 'F', 'F', 0x10, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Bytes& c : {Bytes{}, noApp, wideApp, tooLong, binaryTag, opaque}) {
        EXPECT_FALSE(chunkDevice(c, device));
        Bytes copy = c;
        EXPECT_FALSE(setChunkDevice(copy, 1));
        EXPECT_EQ(copy, c);
    }
    Bytes cut = bridgeChunk();
    for (size_t n = 1; n < cut.size(); ++n) {
        std::vector<ChunkRecord> records;
        const Bytes part(cut.begin(), cut.begin() + static_cast<long>(n));
        const bool whole = n == 15 || n == 31 || n == 42;
        EXPECT_EQ(parseChunkRecords(part, records), whole) << n;
    }
}

TEST(RenderOptions, RefusesBadValuesWithAMessage) {
    const std::vector<std::vector<std::string>> bad = {
        {"--out", "o.wav"},
        {"p.so"},
        {"p.so", "--out"},
        {"p.so", "q.so", "--out", "o.wav"},
        {"p.so", "--out", "o.wav", "--colour", "red"},
        {"p.so", "--out", "o.wav", "--rate", "44.1k"},
        {"p.so", "--out", "o.wav", "--rate", "1000"},
        {"p.so", "--out", "o.wav", "--block", "0"},
        {"p.so", "--out", "o.wav", "--block", "1e3"},
        {"p.so", "--out", "o.wav", "--seconds", "nan"},
        {"p.so", "--out", "o.wav", "--seconds", "-1"},
        {"p.so", "--out", "o.wav", "--tempo", "inf"},
        {"p.so", "--out", "o.wav", "--loop", "8:4"},
        {"p.so", "--out", "o.wav", "--loop", "4"},
        {"p.so", "--out", "o.wav", "--loop", "1:1.001"},
        {"p.so", "--out", "o.wav", "--device", "-1"},
        {"p.so", "--out", "o.wav", "--device", "99999999999"},
    };
    for (const auto& args : bad) {
        RenderOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args.back();
        EXPECT_FALSE(error.empty());
    }
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--loop", "4:8", "p.so", "--out", "o.wav", "--block", "64"}, o, error));
    EXPECT_EQ(o.plugin, "p.so"); // options may come before the plug-in
    EXPECT_EQ(o.loopEnd, 8.0);
    EXPECT_EQ(o.block, 64);
}
