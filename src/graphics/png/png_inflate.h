// Table-driven inflater for zlib streams (RFC 1950 wrapper around RFC 1951 DEFLATE data).
#pragma once

#include <cstdint>

/// Receives the decompressed bytes in runs, oldest first.
class QoInflateSink {
public:
    QoInflateSink() = default;
    QoInflateSink(const QoInflateSink&) = delete;
    QoInflateSink& operator=(const QoInflateSink&) = delete;
    virtual ~QoInflateSink() = default;

    /// Takes count bytes; returns 1 to go on, anything else stops the inflation.
    virtual int Write(const unsigned char* bytes, int count) = 0;
};

/// How an inflation ended: one code per kind of damage.
enum class QoInflateResult {
    Done,            // the final block ended
    Stopped,         // the sink asked to stop
    BadHeader,       // not deflate, or a preset dictionary is required
    BadBlockType,    // block type 3
    BadStoredLength, // LEN and NLEN of a stored block do not match
    BadCodeLengths,  // code lengths that do not form a prefix code, or bad repeats
    BadSymbol,       // a bit pattern that no code of the block uses, or distance symbol 30/31
    DistanceTooFar,  // a back-reference before the start of the output or beyond the window
    Truncated,       // the input ended before the final block did
    OutOfMemory,
};

/// One decoding table: a primary table indexed by the next bits of input, with sub-tables
/// for the codes longer than the primary index. Each entry packs the code length, the kind
/// of symbol, its extra-bit count and its value.
struct QoHuffmanTable {
    static constexpr int maxEntries = 2048 + 288 * 32;
    uint32_t entries[maxEntries];
    int primaryBits = 0;
};

class QoPngUncompressor {
public:
    QoPngUncompressor();
    ~QoPngUncompressor();
    QoPngUncompressor(const QoPngUncompressor&) = delete;
    QoPngUncompressor& operator=(const QoPngUncompressor&) = delete;

    /// Inflates one zlib stream, handing every produced byte to the sink. Bytes produced
    /// before a failure have been handed over when this returns.
    QoInflateResult Uncompress(const unsigned char* data, int size, QoInflateSink* sink);

    /// Total number of bytes produced by the last Uncompress.
    int64_t getProduced() const { return produced; }

    /// Largest back-reference distance DEFLATE allows, and so the largest window kept.
    static constexpr int maxWindow = 32768;

private:
    struct Bits;

    QoInflateResult inflateBlocks(Bits& in);
    /// The fixed literal/length and distance codes, built on first use.
    bool buildFixedTables();
    QoInflateResult storedBlock(Bits& in);
    /// Decodes symbols while at least 16 input bytes and room for output remain, without
    /// end-of-input checks. True when the block ended or failed, with result set.
    bool fastSymbols(Bits& in, const QoHuffmanTable& lit, const QoHuffmanTable& dist,
                     QoInflateResult& result);
    QoInflateResult huffmanBlock(Bits& in, const QoHuffmanTable& lit, const QoHuffmanTable& dist);
    QoInflateResult readDynamicTables(Bits& in);
    bool flush();

    QoInflateSink* sink = nullptr;
    unsigned char* buffer = nullptr;  // window history followed by fresh output
    unsigned char* out = nullptr;     // where the next byte goes
    unsigned char* pending = nullptr; // first byte not yet handed to the sink
    bool stopped = false;
    int window = maxWindow;
    int64_t produced = 0;
    QoHuffmanTable* litTable = nullptr;
    QoHuffmanTable* distTable = nullptr;
    QoHuffmanTable* fixedLit = nullptr;
    QoHuffmanTable* fixedDist = nullptr;
};

/// Builds a decoding table from the code lengths of count symbols. kind is 0 for the
/// literal/length alphabet, 1 for distances and 2 for the code-length alphabet.
/// Returns false when the lengths over-subscribe the code space; an incomplete code is
/// accepted and its unused patterns decode as invalid.
bool QoBuildHuffmanTable(QoHuffmanTable& table, const unsigned char* lengths, int count, int kind);
