#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "graphics/png/png_decoder.h"
#include "graphics/png/png_filter.h"

namespace {

// Adam7: first column and row of each pass and the steps between its pixels.
constexpr int adam7X0[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int adam7Y0[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr int adam7DX[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr int adam7DY[7] = {8, 8, 8, 4, 4, 2, 2};

/// Bits per pixel of the supported colour type and depth pairs, 0 for the others.
int supportedBitsPerPixel(unsigned int colorType, unsigned int depth) {
    switch (colorType) {
    case 0:
        return depth == 1 || depth == 8 ? static_cast<int>(depth) : 0;
    case 2:
        return depth == 8 || depth == 16 ? static_cast<int>(depth) * 3 : 0;
    case 3:
        return depth == 4 || depth == 8 ? static_cast<int>(depth) : 0;
    case 4:
        return depth == 8 ? 16 : 0;
    case 6:
        return depth == 8 ? 32 : 0;
    default:
        return 0;
    }
}

/// One RGBA pixel as a word whose bytes lie in memory as R, G, B, A.
inline uint32_t packPixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return (r << 24) | (g << 16) | (b << 8) | a;
#else
    return r | (g << 8) | (b << 16) | (a << 24);
#endif
}

inline void storePixel(unsigned char* out, uint32_t pixel) {
    memcpy(out, &pixel, 4);
}

/// Transparency keys as stored: grey or red, green, blue samples, or values no sample has.
struct PixelKeys {
    unsigned int red, green, blue;
};

/// Converts one row of n pixels to RGBA, writing every step bytes. Step is the step when it
/// is known at compile time (4 for rows that are not interlaced), 0 otherwise.
template <int Step>
void convertRow(int format, const unsigned char* src, unsigned char* out, int variableStep, int n,
                const PixelKeys& keys, const unsigned char (*palette)[4], int paletteSize) {
    const size_t step = static_cast<size_t>(Step ? Step : variableStep);
    const uint32_t opaque = packPixel(0, 0, 0, 255);
    switch (format) {
    case 1: // grey, 1 bit, most significant bit first
        for (int i = 0; i < n; i++) {
            const uint32_t v = (src[i >> 3] >> (7 - (i & 7))) & 1 ? 255 : 0;
            storePixel(out + i * step, packPixel(v, v, v, 255));
        }
        break;
    case 8: {
        const uint32_t key = keys.red <= 255 ? keys.red : 256;
        for (int i = 0; i < n; i++) {
            const uint32_t g = src[i];
            storePixel(out + i * step, packPixel(g, g, g, g == key ? 0 : 255));
        }
        break;
    }
    case 208:
        if (keys.red > 255 || keys.green > 255 || keys.blue > 255) {
            for (int i = 0; i < n; i++, src += 3)
                storePixel(out + i * step, packPixel(src[0], src[1], src[2], 0) | opaque);
            break;
        }
        for (int i = 0; i < n; i++, src += 3) {
            const bool keyed = src[0] == keys.red && src[1] == keys.green && src[2] == keys.blue;
            storePixel(out + i * step, packPixel(src[0], src[1], src[2], keyed ? 0 : 255));
        }
        break;
    case 216:
        for (int i = 0; i < n; i++, src += 6) {
            const bool keyed = ((src[0] << 8) | src[1]) == static_cast<int>(keys.red) &&
                               ((src[2] << 8) | src[3]) == static_cast<int>(keys.green) &&
                               ((src[4] << 8) | src[5]) == static_cast<int>(keys.blue);
            storePixel(out + i * step, packPixel(src[0], src[2], src[4], keyed ? 0 : 255));
        }
        break;
    case 304: // palette, 4 bits, high nibble first; indexes beyond the palette stay unwritten
        for (int i = 0; i < n; i++) {
            const int index = i & 1 ? src[i >> 1] & 15 : src[i >> 1] >> 4;
            if (index < paletteSize) memcpy(out + i * step, palette[index], 4);
        }
        break;
    case 308:
        for (int i = 0; i < n; i++) {
            const int index = src[i];
            if (index < paletteSize) memcpy(out + i * step, palette[index], 4);
        }
        break;
    case 408:
        for (int i = 0; i < n; i++, src += 2)
            storePixel(out + i * step, packPixel(src[0], src[0], src[0], src[1]));
        break;
    case 608:
        for (int i = 0; i < n; i++, src += 4)
            memcpy(out + i * step, src, 4);
        break;
    default:
        break;
    }
}

} // namespace

QoRawPngDecoder::~QoRawPngDecoder() {
    free(pixels);
    free(rowMemory);
}

int QoRawPngDecoder::PrepareOutput() {
    free(pixels);
    free(rowMemory);
    pixels = rowMemory = nullptr;
    outWidth = outHeight = 0;
    done = true;

    bitsPerPixel = supportedBitsPerPixel(header.colorType, header.bitDepth);
    if (bitsPerPixel == 0) return 0;
    // Refuse empty and oversized images before allocating anything for them.
    if (header.width == 0 || header.height == 0 || header.width > maxDimension ||
        header.height > maxDimension)
        return 0;
    const int width = static_cast<int>(header.width);
    const int height = static_cast<int>(header.height);

    const size_t maxRowBytes = (static_cast<size_t>(width) * bitsPerPixel + 7) / 8;
    pixels = static_cast<unsigned char*>(calloc(static_cast<size_t>(width) * height, 4));
    rowMemory = static_cast<unsigned char*>(malloc(maxRowBytes * 3));
    if (!pixels || !rowMemory) {
        free(pixels);
        free(rowMemory);
        pixels = rowMemory = nullptr;
        return 0;
    }
    staging = rowMemory;
    current = rowMemory + maxRowBytes;
    previous = rowMemory + 2 * maxRowBytes;
    outWidth = width;
    outHeight = height;

    const bool interlaced = header.interlaceMethod == 1;
    passCount = interlaced ? 7 : 1;
    for (int i = 0; i < passCount; i++) {
        Pass& p = passes[i];
        p.x0 = interlaced ? adam7X0[i] : 0;
        p.y0 = interlaced ? adam7Y0[i] : 0;
        p.dx = interlaced ? adam7DX[i] : 1;
        p.dy = interlaced ? adam7DY[i] : 1;
        p.width = width > p.x0 ? (width - p.x0 + p.dx - 1) / p.dx : 0;
        p.height = height > p.y0 ? (height - p.y0 + p.dy - 1) / p.dy : 0;
    }
    filterStride = std::max(1, bitsPerPixel / 8);
    direct = header.colorType == 6 && !interlaced;
    buildPaletteColors();
    done = false;
    startPass(0);
    return 1;
}

void QoRawPngDecoder::buildPaletteColors() {
    paletteSize = header.colorType == 3 ? std::min(palette.count, 256) : 0;
    for (int i = 0; i < paletteSize; i++) {
        const unsigned char* rgb = palette.entries + i * 3;
        const unsigned char a = i < transparency.alphaCount ? transparency.alpha[i] : 255;
        storePixel(paletteColors[i], packPixel(rgb[0], rgb[1], rgb[2], a));
    }
}

void QoRawPngDecoder::startPass(int index) {
    // Passes without pixels carry no rows, not even filter bytes.
    while (index < passCount && (passes[index].width == 0 || passes[index].height == 0))
        index++;
    if (index >= passCount) {
        done = true;
        return;
    }
    pass = index;
    row = 0;
    filled = 0;
    filterType = -1;
    rowBytes = static_cast<int>((static_cast<size_t>(passes[index].width) * bitsPerPixel + 7) / 8);
    memset(previous, 0, static_cast<size_t>(rowBytes));
}

int QoRawPngDecoder::Output(unsigned char byte) {
    return consume(&byte, 1);
}

int QoRawPngDecoder::OutputBlock(const unsigned char* bytes, int count) {
    return consume(bytes, count);
}

int QoRawPngDecoder::consume(const unsigned char* bytes, int count) {
    while (count > 0) {
        if (done) return 0;
        if (filterType < 0) {
            filterType = *bytes++;
            count--;
            continue;
        }
        const int need = rowBytes - filled;
        if (filled == 0 && count >= need) {
            // The whole row is at hand: unfilter it from where it lies.
            finishRow(bytes);
            bytes += need;
            count -= need;
            continue;
        }
        const int take = std::min(need, count);
        memcpy(staging + filled, bytes, static_cast<size_t>(take));
        filled += take;
        bytes += take;
        count -= take;
        if (filled == rowBytes) finishRow(staging);
    }
    return 1;
}

void QoRawPngDecoder::finishRow(const unsigned char* raw) {
    if (direct) {
        const size_t stride = static_cast<size_t>(outWidth) * 4;
        unsigned char* dst = pixels + stride * static_cast<size_t>(row);
        const unsigned char* above = row > 0 ? dst - stride : previous;
        QoUnfilterRow(filterType, raw, above, dst, rowBytes, filterStride);
    } else {
        QoUnfilterRow(filterType, raw, previous, current, rowBytes, filterStride);
        writeRow(current);
        std::swap(current, previous);
    }
    filled = 0;
    filterType = -1;
    if (++row >= passes[pass].height) startPass(pass + 1);
}

void QoRawPngDecoder::writeRow(const unsigned char* src) {
    const Pass& p = passes[pass];
    const size_t y = static_cast<size_t>(p.y0 + row * p.dy);
    unsigned char* out = pixels + (y * static_cast<size_t>(outWidth) + p.x0) * 4;
    const PixelKeys keys{transparency.red, transparency.green, transparency.blue};
    const int format = static_cast<int>(header.colorType * 100 + header.bitDepth);
    // Rows of a plain image are contiguous; a constant step lets the loops vectorize.
    if (p.dx == 1)
        convertRow<4>(format, src, out, 4, p.width, keys, paletteColors, paletteSize);
    else
        convertRow<0>(format, src, out, p.dx * 4, p.width, keys, paletteColors, paletteSize);
}
