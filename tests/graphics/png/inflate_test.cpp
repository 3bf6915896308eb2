#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>

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

/// Writes DEFLATE bits after a zlib header: fields least significant bit first, Huffman codes
/// most significant bit first.
class BitWriter {
public:
    explicit BitWriter(int windowInfo)
        : bytes{static_cast<unsigned char>(8 | (windowInfo << 4)), 1} {}
    void bits(uint32_t value, int n) {
        for (int i = 0; i < n; i++)
            put((value >> i) & 1);
    }
    void code(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; i--)
            put((value >> i) & 1);
    }
    void blockHeader(bool final, int type) {
        bits(final ? 1 : 0, 1);
        bits(static_cast<uint32_t>(type), 2);
    }
    /// Whole bytes, from the next byte boundary.
    void bytesAligned(const Bytes& data) {
        used = 0;
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    /// A stored block whose length's complement is the given one.
    void storedBlock(const Bytes& data, bool final, uint32_t complement) {
        blockHeader(final, 0);
        const auto len = static_cast<uint32_t>(data.size());
        bytesAligned({static_cast<unsigned char>(len), static_cast<unsigned char>(len >> 8),
                      static_cast<unsigned char>(complement),
                      static_cast<unsigned char>(complement >> 8)});
        bytesAligned(data);
    }
    Bytes bytes;

private:
    void put(uint32_t bit) {
        if (used == 0) bytes.push_back(0);
        bytes.back() = static_cast<unsigned char>(bytes.back() | (bit << used));
        used = (used + 1) & 7;
    }
    int used = 0;
};

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
    const Bytes prefix = {'a', 'b', 'c'};
    struct Case {
        const char* name;
        QoInflateResult expected;
        int windowInfo;
        void (*write)(BitWriter&);
    };
    // A copy in a fixed-code block: length symbol 257 (length 3), then a distance code.
    const Case cases[] = {
        {"stored length without its complement", QoInflateResult::BadStoredLength, 7,
         [](BitWriter& w) {
             w.storedBlock({1, 2, 3, 4, 5}, true, 5);
         }},
        {"distance before the output", QoInflateResult::DistanceTooFar, 7,
         [](BitWriter& w) {
             w.blockHeader(true, 1);
             w.code(1, 7);
             w.code(3, 5); // distance 4, one more than produced
         }},
        {"distance beyond a declared 256-byte window", QoInflateResult::DistanceTooFar, 0,
         [](BitWriter& w) {
             w.storedBlock(sampleData(300, 14, 0), false, ~300u);
             w.blockHeader(true, 1);
             w.code(1, 7);
             w.code(16, 5); // distance 257
             w.bits(0, 7);
         }},
    };
    // With the longer padding the damage is met by the decoding loop that runs while plenty of
    // input is left, with the shorter by the careful one.
    for (int padding : {8, 32}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(padding);
            BitWriter w(c.windowInfo);
            w.storedBlock(prefix, false, ~3u);
            c.write(w);
            w.bytesAligned(Bytes(static_cast<size_t>(padding), 0));
            const Inflated r = inflate(w.bytes);
            EXPECT_EQ(r.result, c.expected);
            ASSERT_GE(r.data.size(), prefix.size());
            EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), r.data.begin()));
        }
    }
}
