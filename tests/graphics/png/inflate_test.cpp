#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>

#include "../png_bytes.h"
#include "graphics/png/png_inflate.h"

namespace {

class CollectingSink : public QoInflateSink {
public:
    int Write(const unsigned char* bytes, int count) override {
        data.insert(data.end(), bytes, bytes + count);
        return 1;
    }
    Bytes data;
};

struct Inflated {
    QoInflateResult result;
    Bytes data;
};

Inflated inflate(const Bytes& stream) {
    QoPngUncompressor inflater;
    CollectingSink sink;
    QoInflateResult r = inflater.Uncompress(stream.data(), static_cast<int>(stream.size()), &sink);
    EXPECT_EQ(inflater.getProduced(), static_cast<int64_t>(sink.data.size()));
    return {r, sink.data};
}

Bytes sampleData(size_t n, uint32_t seed, int period) {
    Bytes b(n);
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245u + 12345u;
        if (period > 0 && i >= static_cast<size_t>(period) && (seed >> 28) != 0)
            b[i] = b[i - static_cast<size_t>(period)];
        else
            b[i] = static_cast<unsigned char>(seed >> 16);
    }
    return b;
}

} // namespace

TEST(Inflate, StoredFixedAndDynamicBlocksGiveTheSameBytes) {
    // Random bytes, short and long repeat periods, and more than one output hand-over.
    const Bytes inputs[] = {
        sampleData(1, 1, 0),        sampleData(5000, 2, 0),   sampleData(70000, 3, 1),
        sampleData(70000, 4, 3),    sampleData(70000, 5, 7),  sampleData(70000, 6, 12),
        sampleData(200000, 7, 300), sampleData(700000, 8, 4), sampleData(300000, 9, 30000)};
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED};
    for (const Bytes& input : inputs) {
        SCOPED_TRACE(input.size());
        const Inflated stored = inflate(zlibCompress(input, 0, Z_DEFAULT_STRATEGY));
        EXPECT_EQ(stored.result, QoInflateResult::Done);
        EXPECT_TRUE(stored.data == input);
        for (int strategy : strategies) {
            // Smaller windows, declared in the header, with every strategy.
            for (int windowBits : {9, 12, 15}) {
                SCOPED_TRACE(strategy * 100 + windowBits);
                const Inflated coded = inflate(zlibCompress(input, 9, strategy, windowBits));
                EXPECT_EQ(coded.result, QoInflateResult::Done);
                EXPECT_TRUE(coded.data == input);
            }
        }
    }
}

// Damage a valid stream never holds: a stored length without its complement, and copies
// reaching before the output or beyond the window the header declares. Each ends the inflation
// with its kind, keeping the bytes before it.
TEST(Inflate, DamagedBlocksReportTheirKindAndKeepEarlierBytes) {
    struct Case {
        const char* name;
        QoInflateResult expected;
        int windowInfo;
        Bytes blocks; // after a stored block holding "abc"
    };
    // The copies are fixed-code blocks, bits from the least significant: final 1, type 01,
    // length symbol 257 (seven bits 0000001: length 3) and a five-bit distance code (3 is
    // distance 4; 16 with seven extra bits 0 is distance 257).
    Bytes pastWindow = {0x00, 0x2C, 0x01, 0xD3, 0xFE}; // a stored block of 300 bytes
    pastWindow.insert(pastWindow.end(), 300, 'x');
    pastWindow.insert(pastWindow.end(), {0x03, 0x06, 0x00});
    const Case cases[] = {
        {"stored length, no complement", QoInflateResult::BadStoredLength, 7, {0x01, 5, 0, 5, 0}},
        {"distance 4, one more than produced", QoInflateResult::DistanceTooFar, 7, {0x03, 0x62}},
        {"distance 257 beyond a declared 256-byte window", QoInflateResult::DistanceTooFar, 0,
         pastWindow},
    };
    const Bytes abc = {0x00, 3, 0, 0xFC, 0xFF, 'a', 'b', 'c'};
    // With the longer padding the damage is met by the decoding loop that runs while plenty of
    // input is left, with the shorter by the careful one.
    for (int padding : {8, 32}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(padding);
            Bytes stream = {static_cast<unsigned char>(8 | c.windowInfo << 4), 1};
            stream.insert(stream.end(), abc.begin(), abc.end());
            stream.insert(stream.end(), c.blocks.begin(), c.blocks.end());
            stream.insert(stream.end(), static_cast<size_t>(padding), 0);
            const Inflated r = inflate(stream);
            EXPECT_EQ(r.result, c.expected);
            ASSERT_GE(r.data.size(), 3u);
            EXPECT_EQ(Bytes(r.data.begin(), r.data.begin() + 3), (Bytes{'a', 'b', 'c'}));
        }
    }
}
