// PNG files built in memory, chunk by chunk, with real CRCs so that libpng reads them too.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "foundation/stream.h"

using Bytes = std::vector<unsigned char>;

/// zlib's deflate with the given level, strategy and window bits.
inline Bytes zlibCompress(const Bytes& raw, int level, int strategy, int windowBits = 15) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, strategy) != Z_OK) return {};
    Bytes out(deflateBound(&z, raw.size()) + 64);
    z.next_in = const_cast<Bytef*>(raw.data());
    z.avail_in = static_cast<uInt>(raw.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

class PngBuilder {
public:
    PngBuilder() {
        const char* signature = "\x89PNG\r\n\x1a\n";
        file.assign(signature, signature + 8);
    }
    PngBuilder& header(unsigned width, unsigned height, int bitDepth, int colorType,
                       int interlace = 0) {
        Bytes d;
        for (unsigned v : {width, height})
            putBE(d, v);
        for (int v : {bitDepth, colorType, 0, 0, interlace})
            d.push_back(static_cast<unsigned char>(v));
        return chunk("IHDR", d);
    }
    PngBuilder& chunk(const char* type, const Bytes& data) {
        putBE(file, static_cast<uint32_t>(data.size()));
        const size_t typeAt = file.size();
        file.insert(file.end(), type, type + 4);
        file.insert(file.end(), data.begin(), data.end());
        putBE(file, crc32(0, file.data() + typeAt, static_cast<uInt>(4 + data.size())));
        return *this;
    }
    /// Compresses the filtered rows (each with its filter byte) into one IDAT chunk.
    PngBuilder& imageData(const Bytes& rows) {
        return chunk("IDAT", zlibCompress(rows, 6, Z_DEFAULT_STRATEGY));
    }
    PngBuilder& end() { return chunk("IEND", {}); }
    const Bytes& bytes() const { return file; }

private:
    static void putBE(Bytes& out, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<unsigned char>(v >> shift));
    }
    Bytes file;
};

inline void fillStream(CMemoryStream* s, const Bytes& bytes) {
    s->write(bytes.data(), static_cast<int>(bytes.size()));
    s->seek(0, 0);
}
