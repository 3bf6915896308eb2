#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "graphics/png/png_inflate.h"
#include "png_reference.h"

namespace {

class CollectingSink : public QoInflateSink {
public:
    int Write(const unsigned char* bytes, int count) override {
        data.insert(data.end(), bytes, bytes + count);
        calls++;
        return calls < stopAfterCalls ? 1 : 0;
    }
    Bytes data;
    int calls = 0;
    int stopAfterCalls = 1 << 30;
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

/// Writes DEFLATE bits: fields least significant bit first, Huffman codes most significant
/// bit first, after a zlib header.
class BitWriter {
public:
    explicit BitWriter(int windowInfo = 7) {
        bytes.push_back(static_cast<unsigned char>(8 | (windowInfo << 4)));
        bytes.push_back(0x01);
    }
    void bits(uint32_t value, int n) {
        for (int i = 0; i < n; i++)
            put((value >> i) & 1);
    }
    void code(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; i--)
            put((value >> i) & 1);
    }
    void fixedSymbol(int symbol) {
        if (symbol < 144)
            code(0x30 + static_cast<uint32_t>(symbol), 8);
        else if (symbol < 256)
            code(0x190 + static_cast<uint32_t>(symbol - 144), 9);
        else if (symbol < 280)
            code(static_cast<uint32_t>(symbol - 256), 7);
        else
            code(0xC0 + static_cast<uint32_t>(symbol - 280), 8);
    }
    void blockHeader(bool final, int type) {
        bits(final ? 1 : 0, 1);
        bits(static_cast<uint32_t>(type), 2);
    }
    void align() {
        while (used != 0)
            put(0);
    }
    void byte(unsigned char b) {
        align();
        bytes.push_back(b);
    }
    Bytes finish() {
        align();
        return bytes;
    }

private:
    void put(uint32_t bit) {
        if (used == 0) bytes.push_back(0);
        bytes.back() = static_cast<unsigned char>(bytes.back() | (bit << used));
        used = (used + 1) & 7;
    }
    Bytes bytes;
    int used = 0;
};

/// A stored block holding the given bytes.
void storedBlock(BitWriter& w, const Bytes& data, bool final) {
    w.blockHeader(final, 0);
    const auto len = static_cast<uint32_t>(data.size());
    w.byte(static_cast<unsigned char>(len));
    w.byte(static_cast<unsigned char>(len >> 8));
    w.byte(static_cast<unsigned char>(~len));
    w.byte(static_cast<unsigned char>(~len >> 8));
    for (unsigned char b : data)
        w.byte(b);
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

TEST(Inflate, SinkCanStopTheInflation) {
    const Bytes input = sampleData(2000000, 12, 5);
    QoPngUncompressor inflater;
    CollectingSink sink;
    sink.stopAfterCalls = 1;
    const Bytes stream = zlibCompress(input, 6, Z_DEFAULT_STRATEGY);
    EXPECT_EQ(inflater.Uncompress(stream.data(), static_cast<int>(stream.size()), &sink),
              QoInflateResult::Stopped);
    EXPECT_EQ(sink.calls, 1);
    ASSERT_LT(sink.data.size(), input.size());
    EXPECT_TRUE(std::equal(sink.data.begin(), sink.data.end(), input.begin()));
}

TEST(Inflate, BadHeadersDecodeNothing) {
    Bytes stream = zlibCompress(sampleData(100, 13, 0), 6, Z_DEFAULT_STRATEGY);
    Bytes otherMethod = stream;
    otherMethod[0] = static_cast<unsigned char>((otherMethod[0] & 0xF0) | 7);
    Bytes presetDictionary = stream;
    presetDictionary[1] |= 0x20;
    for (const Bytes& bad : {otherMethod, presetDictionary}) {
        const Inflated r = inflate(bad);
        EXPECT_EQ(r.result, QoInflateResult::BadHeader);
        EXPECT_TRUE(r.data.empty());
    }
    EXPECT_EQ(inflate(Bytes{0x78}).result, QoInflateResult::Truncated);
}

TEST(Inflate, DamagedBlocksReportTheirKindAndKeepEarlierBytes) {
    const Bytes prefix = {'a', 'b', 'c'};
    struct Case {
        const char* name;
        QoInflateResult expected;
        void (*write)(BitWriter&);
    };
    const Case cases[] = {
        {"block type 3", QoInflateResult::BadBlockType,
         [](BitWriter& w) { w.blockHeader(true, 3); }},
        {"stored length without its complement", QoInflateResult::BadStoredLength,
         [](BitWriter& w) {
             w.blockHeader(true, 0);
             for (unsigned char b : {5, 0, 5, 0})
                 w.byte(b);
         }},
        {"distance before the output", QoInflateResult::DistanceTooFar,
         [](BitWriter& w) {
             w.blockHeader(true, 1);
             w.fixedSymbol(257); // length 3
             w.code(3, 5);       // distance 4, one more than produced
         }},
        {"distance symbol 30", QoInflateResult::BadSymbol,
         [](BitWriter& w) {
             w.blockHeader(true, 1);
             w.fixedSymbol(257);
             w.code(30, 5);
         }},
        {"over-subscribed code-length code", QoInflateResult::BadCodeLengths,
         [](BitWriter& w) {
             w.blockHeader(true, 2);
             w.bits(0, 5);
             w.bits(0, 5);
             w.bits(15, 4); // all 19 code-length codes, each 1 bit long
             for (int i = 0; i < 19; i++)
                 w.bits(1, 3);
         }},
        {"repeat with nothing to repeat", QoInflateResult::BadCodeLengths,
         [](BitWriter& w) {
             w.blockHeader(true, 2);
             w.bits(0, 5);
             w.bits(0, 5);
             w.bits(0, 4); // code lengths for 16, 17, 18, 0: two bits each
             for (int i = 0; i < 4; i++)
                 w.bits(2, 3);
             w.code(1, 2); // codes in symbol order: 0, 16, 17, 18; so 16 comes first
             w.bits(0, 2);
         }},
        {"repeat past the last length", QoInflateResult::BadCodeLengths,
         [](BitWriter& w) {
             w.blockHeader(true, 2);
             w.bits(0, 5); // 257 literal/length codes
             w.bits(0, 5); // 1 distance code
             w.bits(0, 4);
             for (int i = 0; i < 4; i++)
                 w.bits(2, 3);
             for (int i = 0; i < 2; i++) {
                 w.code(3, 2); // symbol 18: 11 + 127 zeros
                 w.bits(127, 7);
             }
         }},
        {"pattern outside an incomplete code", QoInflateResult::BadSymbol,
         [](BitWriter& w) {
             // Only 'x' (1 bit) and end-of-block (2 bits) are coded; 11 is unused.
             w.blockHeader(true, 2);
             w.bits(0, 5);
             w.bits(0, 5);
             w.bits(14, 4); // 18 code-length code lengths, up to symbol 1
             const int lengths[18] = {0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2};
             for (int l : lengths)
                 w.bits(static_cast<uint32_t>(l), 3);
             // Code-length codes: 0 -> 00, 1 -> 01, 2 -> 10, 18 -> 11.
             w.code(3, 2);
             w.bits(120 - 11, 7); // 120 zeros
             w.code(1, 2);        // 'x' = 120: length 1
             w.code(3, 2);
             w.bits(135 - 11, 7); // symbols 121..255 unused
             w.code(2, 2);        // end of block: length 2
             w.code(0, 2);        // distance code 0: length 0
             w.code(0, 1);        // 'x'
             w.code(3, 2);        // unused pattern
         }},
    };
    // Enough input that nothing is cut short; with the longer padding the damage is met by the
    // decoding loop that runs while plenty of input is left, with the shorter by the careful one.
    for (int padding : {8, 32}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(padding);
            BitWriter w;
            storedBlock(w, prefix, false);
            c.write(w);
            for (int i = 0; i < padding; i++)
                w.byte(0);
            const Inflated r = inflate(w.finish());
            EXPECT_EQ(r.result, c.expected);
            ASSERT_GE(r.data.size(), prefix.size());
            EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), r.data.begin()));
        }
    }
}

TEST(Inflate, DistancesBeyondTheDeclaredWindowAreRefused) {
    const Bytes filler = sampleData(300, 14, 0);
    for (int info : {0, 1}) {
        SCOPED_TRACE(info);
        BitWriter w(info); // window of 256 or 512 bytes
        storedBlock(w, filler, false);
        w.blockHeader(true, 1);
        w.fixedSymbol(257);
        w.code(16, 5); // distance 257..384 base 257
        w.bits(0, 7);
        w.fixedSymbol(256);
        const Inflated r = inflate(w.finish());
        EXPECT_EQ(r.result, info == 0 ? QoInflateResult::DistanceTooFar : QoInflateResult::Done);
        if (info == 1) {
            ASSERT_EQ(r.data.size(), 303u);
            EXPECT_TRUE(std::equal(r.data.begin() + 300, r.data.end(), filler.begin() + 43));
        }
    }
}

TEST(Inflate, LengthSymbolsAbove285AreSkipped) {
    BitWriter w;
    w.blockHeader(true, 1);
    w.fixedSymbol('q');
    w.fixedSymbol(286);
    w.fixedSymbol(287);
    w.fixedSymbol('r');
    w.fixedSymbol(256);
    const Inflated r = inflate(w.finish());
    EXPECT_EQ(r.result, QoInflateResult::Done);
    EXPECT_TRUE(r.data == (Bytes{'q', 'r'}));
}

TEST(Inflate, EveryCutOfAStreamIsReportedAsTruncatedWithAPrefixOfTheBytes) {
    const Bytes input = sampleData(3000, 15, 9);
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
        for (int level : {0, 6}) {
            const Bytes stream = zlibCompress(input, level, strategy);
            // The last four bytes are the Adler-32 trailer, which is not checked.
            for (size_t cut = 2; cut + 4 < stream.size(); cut++) {
                const Inflated r = inflate(Bytes(stream.begin(), stream.begin() + cut));
                ASSERT_EQ(r.result, QoInflateResult::Truncated) << cut;
                ASSERT_LE(r.data.size(), input.size());
                ASSERT_TRUE(std::equal(r.data.begin(), r.data.end(), input.begin())) << cut;
            }
        }
    }
}
