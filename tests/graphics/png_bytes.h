// Small PNG files built in memory: raw rows in stored deflate blocks, so tests can state the
// exact pixels they expect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/stream.h"

using Bytes = std::vector<unsigned char>;

inline void putBE(Bytes& out, uint32_t v) {
    for (int i = 3; i >= 0; i--)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void putChunk(Bytes& out, const char* type, const Bytes& data) {
    putBE(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBE(out, 0); // the reader does not check CRCs
}

/// rows: each row's raw bytes without the filter byte (filter 0 is added).
inline Bytes makePng(int w, int h, int depth, int colorType, const std::vector<Bytes>& rows,
                     const Bytes& plte = {}, const Bytes& trns = {}) {
    Bytes out = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    Bytes ihdr;
    putBE(ihdr, static_cast<uint32_t>(w));
    putBE(ihdr, static_cast<uint32_t>(h));
    ihdr.insert(ihdr.end(), {static_cast<unsigned char>(depth),
                             static_cast<unsigned char>(colorType), 0, 0, 0});
    putChunk(out, "IHDR", ihdr);
    if (!plte.empty()) putChunk(out, "PLTE", plte);
    if (!trns.empty()) putChunk(out, "tRNS", trns);
    Bytes raw;
    for (const Bytes& row : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    Bytes z = {0x78, 0x01, 0x01}; // one final stored block
    auto len = static_cast<uint16_t>(raw.size());
    z.insert(z.end(), {static_cast<unsigned char>(len), static_cast<unsigned char>(len >> 8),
                       static_cast<unsigned char>(~len), static_cast<unsigned char>(~len >> 8)});
    z.insert(z.end(), raw.begin(), raw.end());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    putBE(z, (b << 16) | a);
    putChunk(out, "IDAT", z);
    putChunk(out, "IEND", {});
    return out;
}

inline void fillStream(CMemoryStream* s, const Bytes& bytes) {
    s->write(bytes.data(), static_cast<int>(bytes.size()));
    s->seek(0, 0);
}

inline void writeFile(const std::string& path, const Bytes& bytes) {
    CMemoryStream s;
    fillStream(&s, bytes);
    s.saveToFile(path.c_str());
}
