#include "graphics/png/png_inflate.h"

#include <algorithm>
#include <cstring>
#include <new>

// Format notes
// - Bits are packed LSB first, but Huffman codes are sent most significant bit first, so a
//   table is indexed by the bit-reversed code.
// - The bit buffer is 64 bits wide. Refilling loads 8 bytes at once and counts only the
//   whole bytes that fit; the bytes above the count are the same input bytes that the next
//   refill ORs in again, so they never disturb the value.
// - Near the end of the input the buffer is refilled byte by byte and padded with zero bits.
//   Consuming any padding means the stream was cut short.
// - Output goes to a buffer that keeps the last 32 KiB as history in front of the fresh
//   bytes, so every back-reference is a plain forward copy. When the buffer fills, the fresh
//   bytes go to the sink and the history slides to the front.

namespace {

// Table entry: bits 0-3 code length, 4-7 kind, 8-15 extra bits (or sub-table index bits),
// 16-31 value (literal, length or distance base, or sub-table offset).
enum EntryKind : uint32_t {
    kLiteral = 0, // one literal byte, or two in a paired entry
    kLength = 1,
    kEndOfBlock = 2,
    kSubTable = 3,
    kInvalid = 4,
    kIgnored = 5, // literal/length symbols 286 and 287
    kDistance = 6,
    kCodeLength = 7,
};

constexpr uint32_t entry(uint32_t kind, uint32_t value, uint32_t extra, uint32_t length) {
    return length | (kind << 4) | (extra << 8) | (value << 16);
}
inline uint32_t entryLength(uint32_t e) {
    return e & 15;
}
inline uint32_t entryKind(uint32_t e) {
    return (e >> 4) & 15;
}
inline bool isLiteral(uint32_t e) {
    return (e & 0xF0u) == 0;
}
inline bool isSubTable(uint32_t e) {
    return (e & 0xF0u) == kSubTable << 4;
}
inline uint32_t entryExtra(uint32_t e) {
    return (e >> 8) & 255;
}
inline uint32_t entryValue(uint32_t e) {
    return e >> 16;
}

constexpr uint16_t lengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                     15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                     67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t distanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t codeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                         11, 4,  12, 3, 13, 2, 14, 1, 15};

constexpr int litPrimaryBits = 11;
constexpr int distPrimaryBits = 8;
constexpr int codeLengthPrimaryBits = 7;
constexpr int maxCodeLength = 15;
constexpr int maxMatch = 258;
// Match copies move up to 16 bytes at a time and may write up to 15 bytes past the match;
// the fast loop may also write three literals before a match.
constexpr int copySlack = 32;
// Fresh output gathered between two hand-overs to the sink.
constexpr int chunkSize = 1 << 18;
constexpr int bufferSize = QoPngUncompressor::maxWindow + chunkSize + maxMatch + copySlack;

uint32_t symbolEntry(int kind, int symbol, int length) {
    auto len = static_cast<uint32_t>(length);
    auto sym = static_cast<uint32_t>(symbol);
    if (kind == 0) {
        if (symbol < 256) return entry(kLiteral, sym, 1, len);
        if (symbol == 256) return entry(kEndOfBlock, 0, 0, len);
        if (symbol <= 285)
            return entry(kLength, lengthBase[sym - 257], lengthExtra[sym - 257], len);
        return entry(kIgnored, 0, 0, len);
    }
    if (kind == 1) {
        if (symbol < 30) return entry(kDistance, distanceBase[sym], distanceExtra[sym], len);
        return entry(kInvalid, 0, 0, len);
    }
    return entry(kCodeLength, sym, 0, len);
}

uint32_t reverseBits(uint32_t code, int length) {
    uint32_t r = 0;
    for (int i = 0; i < length; i++) {
        r = (r << 1) | (code & 1);
        code >>= 1;
    }
    return r;
}

/// Copies a match of length bytes from distance bytes back; overlapping copies repeat the
/// pattern as DEFLATE requires. May write up to copySlack bytes past the end.
inline unsigned char* copyMatch(unsigned char* out, uint32_t distance, uint32_t length) {
    const unsigned char* src = out - distance;
    unsigned char* const end = out + length;
    if (distance >= 16) {
        do {
            memcpy(out, src, 16);
            out += 16;
            src += 16;
        } while (out < end);
        return end;
    }
    if (distance == 1) {
        memset(out, *src, length);
        return end;
    }
    if (distance < 8) {
        // Write whole periods byte by byte until the pattern, read from a multiple of the
        // period back, no longer overlaps an 8-byte copy.
        const uint32_t period = distance * ((8 + distance - 1) / distance);
        for (uint32_t i = 0; i < period && out < end; i++)
            *out++ = *src++;
        if (out >= end) return end;
        src = out - period;
    }
    do {
        memcpy(out, src, 8);
        out += 8;
        src += 8;
    } while (out < end);
    return end;
}

inline uint64_t loadLE64(const unsigned char* p) {
    uint64_t v;
    memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

/// Where a short literal code leaves room in the primary index for a whole second literal
/// code, the entry is replaced by one that yields both bytes: noisy image data is mostly
/// literals, and this halves the lookups for them.
void pairLiterals(QoHuffmanTable& table) {
    const int primary = table.primaryBits;
    static_assert(litPrimaryBits <= 11, "paired entries keep their total length in 4 bits");
    uint32_t single[1 << litPrimaryBits];
    std::copy(table.entries, table.entries + (1 << primary), single);
    for (uint32_t i = 0; i < (1u << primary); i++) {
        const uint32_t first = single[i];
        const uint32_t firstLength = entryLength(first);
        if (!isLiteral(first) || firstLength >= static_cast<uint32_t>(primary)) continue;
        // The bits after the first code, with the unknown upper bits zero: the second entry
        // is right whenever its code fits in the bits that are known.
        const uint32_t second = single[i >> firstLength];
        const uint32_t secondLength = entryLength(second);
        if (!isLiteral(second) || firstLength + secondLength > static_cast<uint32_t>(primary))
            continue;
        table.entries[i] = entry(kLiteral, entryValue(first) | (entryValue(second) << 8),
                                 2 | (firstLength << 4), firstLength + secondLength);
    }
}

} // namespace

bool QoBuildHuffmanTable(QoHuffmanTable& table, const unsigned char* lengths, int count, int kind) {
    const int primary = kind == 0   ? litPrimaryBits
                        : kind == 1 ? distPrimaryBits
                                    : codeLengthPrimaryBits;
    int lengthCount[maxCodeLength + 1] = {};
    for (int i = 0; i < count; i++)
        lengthCount[lengths[i] & 15]++;
    lengthCount[0] = 0;

    int left = 1;
    int longest = 0;
    for (int len = 1; len <= maxCodeLength; len++) {
        left = (left << 1) - lengthCount[len];
        if (left < 0) return false;
        if (lengthCount[len]) longest = len;
    }

    int nextCode[maxCodeLength + 2] = {};
    for (int len = 1, code = 0; len <= maxCodeLength; len++) {
        code = (code + lengthCount[len - 1]) << 1;
        nextCode[len] = code;
    }

    const int primarySize = 1 << primary;
    const int subBits = std::max(0, longest - primary);
    const int subSize = 1 << subBits;
    table.primaryBits = primary;
    std::fill(table.entries, table.entries + primarySize,
              entry(kInvalid, 0, 0, static_cast<uint32_t>(primary)));
    int used = primarySize;

    for (int symbol = 0; symbol < count; symbol++) {
        const int len = lengths[symbol] & 15;
        if (len == 0) continue;
        const uint32_t rev = reverseBits(static_cast<uint32_t>(nextCode[len]++), len);
        const uint32_t e = symbolEntry(kind, symbol, len);
        if (len <= primary) {
            for (uint32_t i = rev; i < static_cast<uint32_t>(primarySize); i += 1u << len)
                table.entries[i] = e;
            continue;
        }
        const uint32_t prefix = rev & static_cast<uint32_t>(primarySize - 1);
        uint32_t link = table.entries[prefix];
        if (entryKind(link) != kSubTable) {
            if (used + subSize > QoHuffmanTable::maxEntries) return false;
            std::fill(table.entries + used, table.entries + used + subSize,
                      entry(kInvalid, 0, 0, static_cast<uint32_t>(primary + subBits)));
            link = entry(kSubTable, static_cast<uint32_t>(used), static_cast<uint32_t>(subBits),
                         static_cast<uint32_t>(primary));
            table.entries[prefix] = link;
            used += subSize;
        }
        uint32_t* sub = table.entries + entryValue(link);
        for (uint32_t i = rev >> primary; i < static_cast<uint32_t>(subSize);
             i += 1u << (len - primary))
            sub[i] = e;
    }
    if (kind == 0) pairLiterals(table);
    return true;
}

struct QoPngUncompressor::Bits {
    const unsigned char* next;
    const unsigned char* end;
    uint64_t buf = 0;
    unsigned count = 0; // valid bits in buf, padding included
    unsigned pad = 0;   // zero bits appended after the end of the input

    /// Needs 8 readable bytes at next; leaves 56 to 63 bits in the buffer.
    void refillFast() {
        buf |= loadLE64(next) << count;
        next += (63 - count) >> 3;
        count |= 56;
    }
    void refillSlow() {
        while (count < 56) {
            if (next < end)
                buf |= static_cast<uint64_t>(*next++) << count;
            else
                pad += 8;
            count += 8;
        }
    }
    bool canRefillFast() const { return end - next >= 8; }
    uint32_t peek(unsigned n) const { return static_cast<uint32_t>(buf & ((1ull << n) - 1)); }
    void consume(unsigned n) {
        buf >>= n;
        count -= n;
    }
    uint32_t take(unsigned n) {
        uint32_t v = peek(n);
        consume(n);
        return v;
    }
    bool overrun() const { return count < pad; }

    /// One symbol; a paired literal entry gives only its first byte, so no bits of the
    /// second are taken before they are known to be there.
    uint32_t decode(const QoHuffmanTable& t) {
        uint32_t e = t.entries[peek(static_cast<unsigned>(t.primaryBits))];
        if (entryKind(e) == kSubTable) {
            uint32_t sub =
                static_cast<uint32_t>(buf >> t.primaryBits) & ((1u << entryExtra(e)) - 1);
            e = t.entries[entryValue(e) + sub];
        }
        if (isLiteral(e) && (entryExtra(e) & 15) == 2) {
            const uint32_t firstLength = entryExtra(e) >> 4;
            e = entry(kLiteral, entryValue(e) & 255, 1, firstLength);
        }
        consume(entryLength(e));
        return e;
    }
};

QoPngUncompressor::QoPngUncompressor() = default;

QoPngUncompressor::~QoPngUncompressor() {
    delete[] buffer;
    delete litTable;
    delete distTable;
    delete fixedLit;
    delete fixedDist;
}

bool QoPngUncompressor::flush() {
    if (out > pending && !stopped) {
        int n = static_cast<int>(out - pending);
        produced += n;
        if (sink->Write(pending, n) != 1) stopped = true;
    }
    if (out - buffer > maxWindow) {
        memmove(buffer, out - maxWindow, maxWindow);
        out = buffer + maxWindow;
    }
    pending = out;
    return !stopped;
}

QoInflateResult QoPngUncompressor::Uncompress(const unsigned char* data, int size,
                                              QoInflateSink* target) {
    produced = 0;
    stopped = false;
    sink = target;
    if (!buffer) buffer = new (std::nothrow) unsigned char[bufferSize];
    if (!litTable) litTable = new (std::nothrow) QoHuffmanTable;
    if (!distTable) distTable = new (std::nothrow) QoHuffmanTable;
    if (!buffer || !litTable || !distTable) return QoInflateResult::OutOfMemory;
    out = pending = buffer;

    if (!data || size < 2) return QoInflateResult::Truncated;
    const int method = data[0] & 15;
    const int info = data[0] >> 4;
    const bool presetDictionary = (data[1] & 0x20) != 0;
    if (method != 8 || presetDictionary) return QoInflateResult::BadHeader;
    // Distances never exceed 32 KiB, so a larger declared window changes nothing.
    window = info >= 7 ? maxWindow : 1 << (info + 8);

    Bits in{data + 2, data + size};
    QoInflateResult result = inflateBlocks(in);
    if (!flush() && result == QoInflateResult::Done) result = QoInflateResult::Stopped;
    return result;
}

bool QoPngUncompressor::buildFixedTables() {
    if (fixedLit && fixedDist) return true;
    if (!fixedLit) fixedLit = new (std::nothrow) QoHuffmanTable;
    if (!fixedDist) fixedDist = new (std::nothrow) QoHuffmanTable;
    if (!fixedLit || !fixedDist) return false;
    unsigned char lengths[288];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    QoBuildHuffmanTable(*fixedLit, lengths, 288, 0);
    std::fill(lengths, lengths + 32, 5);
    QoBuildHuffmanTable(*fixedDist, lengths, 32, 1);
    return true;
}

QoInflateResult QoPngUncompressor::inflateBlocks(Bits& in) {
    for (;;) {
        in.refillSlow();
        const uint32_t final = in.take(1);
        const uint32_t type = in.take(2);
        if (in.overrun()) return QoInflateResult::Truncated;

        QoInflateResult r;
        if (type == 0) {
            r = storedBlock(in);
        } else if (type == 1) {
            if (!buildFixedTables()) return QoInflateResult::OutOfMemory;
            r = huffmanBlock(in, *fixedLit, *fixedDist);
        } else if (type == 2) {
            r = readDynamicTables(in);
            if (r == QoInflateResult::Done) r = huffmanBlock(in, *litTable, *distTable);
        } else {
            return QoInflateResult::BadBlockType;
        }
        if (r != QoInflateResult::Done) return r;
        if (final) return QoInflateResult::Done;
    }
}

QoInflateResult QoPngUncompressor::storedBlock(Bits& in) {
    // Give back the whole bytes still held in the bit buffer, then read bytes directly.
    in.consume(in.count & 7);
    if (in.overrun()) return QoInflateResult::Truncated;
    in.next -= (in.count - in.pad) / 8;
    in.buf = 0;
    in.count = 0;
    in.pad = 0;

    if (in.end - in.next < 4) return QoInflateResult::Truncated;
    const int len = in.next[0] | (in.next[1] << 8);
    const int nlen = in.next[2] | (in.next[3] << 8);
    in.next += 4;
    if (len != (~nlen & 0xffff)) return QoInflateResult::BadStoredLength;

    int left = len;
    while (left > 0 && in.next < in.end) {
        const unsigned char* limit = buffer + maxWindow + chunkSize;
        if (out >= limit) {
            if (!flush()) return QoInflateResult::Stopped;
            continue;
        }
        int n = static_cast<int>(std::min<std::ptrdiff_t>({left, limit - out, in.end - in.next}));
        memcpy(out, in.next, static_cast<size_t>(n));
        out += n;
        in.next += n;
        left -= n;
    }
    return left > 0 ? QoInflateResult::Truncated : QoInflateResult::Done;
}

QoInflateResult QoPngUncompressor::readDynamicTables(Bits& in) {
    in.refillSlow();
    const int litCount = static_cast<int>(in.take(5)) + 257;
    const int distCount = static_cast<int>(in.take(5)) + 1;
    const int codeLengthCount = static_cast<int>(in.take(4)) + 4;
    if (in.overrun()) return QoInflateResult::Truncated;

    unsigned char lengths[288 + 32] = {};
    for (int i = 0; i < codeLengthCount; i++) {
        in.refillSlow();
        lengths[codeLengthOrder[i]] = static_cast<unsigned char>(in.take(3));
    }
    if (in.overrun()) return QoInflateResult::Truncated;
    if (!QoBuildHuffmanTable(*litTable, lengths, 19, 2)) return QoInflateResult::BadCodeLengths;

    // Literal/length and distance code lengths form one sequence; repeats may cross over.
    const int total = litCount + distCount;
    unsigned char all[288 + 32] = {};
    for (int n = 0; n < total;) {
        in.refillSlow();
        const uint32_t e = in.decode(*litTable);
        if (in.overrun()) return QoInflateResult::Truncated;
        if (entryKind(e) != kCodeLength) return QoInflateResult::BadCodeLengths;
        const uint32_t symbol = entryValue(e);
        if (symbol < 16) {
            all[n++] = static_cast<unsigned char>(symbol);
            continue;
        }
        unsigned char value = 0;
        int repeat;
        if (symbol == 16) {
            if (n == 0) return QoInflateResult::BadCodeLengths;
            value = all[n - 1];
            repeat = 3 + static_cast<int>(in.take(2));
        } else if (symbol == 17) {
            repeat = 3 + static_cast<int>(in.take(3));
        } else {
            repeat = 11 + static_cast<int>(in.take(7));
        }
        if (in.overrun()) return QoInflateResult::Truncated;
        if (n + repeat > total) return QoInflateResult::BadCodeLengths;
        std::fill(all + n, all + n + repeat, value);
        n += repeat;
    }
    if (!QoBuildHuffmanTable(*litTable, all, litCount, 0) ||
        !QoBuildHuffmanTable(*distTable, all + litCount, distCount, 1))
        return QoInflateResult::BadCodeLengths;
    return QoInflateResult::Done;
}

bool QoPngUncompressor::fastSymbols(Bits& in, const QoHuffmanTable& lit, const QoHuffmanTable& dist,
                                    QoInflateResult& result) {
    // Everything the loop touches lives in locals: stores through the output pointer could
    // otherwise alias the members and force reloads after every byte.
    const uint64_t litMask = (1u << lit.primaryBits) - 1;
    const uint64_t distMask = (1u << dist.primaryBits) - 1;
    const uint32_t* const litEntries = lit.entries;
    const uint32_t* const distEntries = dist.entries;
    const int litBits = lit.primaryBits;
    const int distBits = dist.primaryBits;
    const unsigned char* next = in.next;
    const unsigned char* const end = in.end;
    uint64_t buf = in.buf;
    unsigned count = in.count;
    unsigned char* o = out;
    unsigned char* const outLimit = buffer + maxWindow + chunkSize;
    unsigned char* const history = buffer;
    const uint32_t windowSize = static_cast<uint32_t>(window);
    bool finished = false;

    auto refill = [&] {
        buf |= loadLE64(next) << count;
        next += (63 - count) >> 3;
        count |= 56;
    };
    auto decode = [&](const uint32_t* entries, uint64_t mask, int primaryBits) {
        uint32_t e = entries[buf & mask];
        if (isSubTable(e))
            e = entries[entryValue(e) +
                        (static_cast<uint32_t>(buf >> primaryBits) & ((1u << entryExtra(e)) - 1))];
        const unsigned n = entryLength(e);
        buf >>= n;
        count -= n;
        return e;
    };
    // One or two literal bytes; the second byte is always written and counted only when
    // the entry holds two.
    auto putLiterals = [&](uint32_t e) {
        const uint32_t v = entryValue(e);
        o[0] = static_cast<unsigned char>(v);
        o[1] = static_cast<unsigned char>(v >> 8);
        o += entryExtra(e) & 15;
    };
    auto take = [&](unsigned n) {
        const auto v = static_cast<uint32_t>(buf & ((1ull << n) - 1));
        buf >>= n;
        count -= n;
        return v;
    };

    // Two refills per round, each advancing at most 7 bytes, need 16 readable bytes.
    while (end - next >= 16 && o < outLimit) {
        refill();
        uint32_t e = decode(litEntries, litMask, litBits);
        if (isLiteral(e)) {
            // After a refill at least 56 bits are held: room for three literal codes.
            putLiterals(e);
            e = decode(litEntries, litMask, litBits);
            if (isLiteral(e)) {
                putLiterals(e);
                e = decode(litEntries, litMask, litBits);
                if (isLiteral(e)) {
                    putLiterals(e);
                    continue;
                }
            }
            refill();
        }
        const uint32_t kind = entryKind(e);
        if (kind == kLength) {
            // Length extra bits, distance code and distance extra bits: at most 33 bits.
            const uint32_t length = entryValue(e) + take(entryExtra(e));
            const uint32_t d = decode(distEntries, distMask, distBits);
            const uint32_t distance = entryValue(d) + take(entryExtra(d));
            if (entryKind(d) != kDistance) {
                result = QoInflateResult::BadSymbol;
                finished = true;
                break;
            }
            if (distance > static_cast<uint32_t>(o - history) || distance > windowSize) {
                result = QoInflateResult::DistanceTooFar;
                finished = true;
                break;
            }
            o = copyMatch(o, distance, length);
            continue;
        }
        if (kind == kIgnored) continue;
        result = kind == kEndOfBlock ? QoInflateResult::Done : QoInflateResult::BadSymbol;
        finished = true;
        break;
    }
    in.next = next;
    in.buf = buf;
    in.count = count;
    out = o;
    return finished;
}

QoInflateResult QoPngUncompressor::huffmanBlock(Bits& in, const QoHuffmanTable& lit,
                                                const QoHuffmanTable& dist) {
    unsigned char* const outLimit = buffer + maxWindow + chunkSize;
    for (;;) {
        QoInflateResult result;
        if (fastSymbols(in, lit, dist, result)) return result;
        if (out >= outLimit) {
            if (!flush()) return QoInflateResult::Stopped;
            continue;
        }
        // Near the end of the input: one symbol at a time, checking for a cut-off stream.
        in.refillSlow();
        const uint32_t e = in.decode(lit);
        const uint32_t kind = entryKind(e);
        if (kind == kLength) {
            const uint32_t length = entryValue(e) + in.take(entryExtra(e));
            const uint32_t d = in.decode(dist);
            const uint32_t distance = entryValue(d) + in.take(entryExtra(d));
            if (in.overrun()) return QoInflateResult::Truncated;
            if (entryKind(d) != kDistance) return QoInflateResult::BadSymbol;
            if (distance > static_cast<uint32_t>(out - buffer) ||
                distance > static_cast<uint32_t>(window))
                return QoInflateResult::DistanceTooFar;
            out = copyMatch(out, distance, length);
            continue;
        }
        if (in.overrun()) return QoInflateResult::Truncated;
        if (kind == kLiteral) {
            *out++ = static_cast<unsigned char>(entryValue(e));
        } else if (kind == kEndOfBlock) {
            return QoInflateResult::Done;
        } else if (kind != kIgnored) {
            return QoInflateResult::BadSymbol;
        }
    }
}
