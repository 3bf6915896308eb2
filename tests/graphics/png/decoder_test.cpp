#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "foundation/stream.h"
#include "graphics/png/png_decoder.h"
#include "graphics/png/png_filter.h"
#include "png_reference.h"

// What the PngSuite does not hold: palette indexes beyond the palette (4 and 8 bits), a 16-bit
// RGB key that matches on all sixteen bits and an 8-bit grey key.
TEST(PngDecoder, TransparencyKeysAndIndexesBeyondThePalette) {
    struct Case {
        const char* name;
        int depth, colorType;
        Bytes trns, row, rgba;
    };
    const Bytes paletted = {10, 11, 12, 0,   20, 21, 22, 128, 30, 31, 32, 255,
                            40, 41, 42, 255, 0,  0,  0,  0,   0,  0,  0,  0};
    const Case cases[] = {
        {"palette, 8 bits", 8, 3, {0, 128}, {0, 0, 1, 2, 3, 4, 5}, paletted},
        {"palette, 4 bits", 4, 3, {0, 128}, {0, 0x01, 0x23, 0x45}, paletted},
        {"16-bit RGB key",
         16,
         2,
         {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC},
         {0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x12, 0x99, 0x56, 0x78, 0x9A, 0xBC},
         {0x12, 0x56, 0x9A, 0, 0x12, 0x56, 0x9A, 255}},
        {"grey key",
         8,
         0,
         {0, 0x40},
         {0, 0x40, 0x41},
         {0x40, 0x40, 0x40, 0, 0x41, 0x41, 0x41, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned width = static_cast<unsigned>(c.rgba.size() / 4);
        PngBuilder file;
        file.header(width, 1, c.depth, c.colorType);
        if (c.colorType == 3) file.chunk("PLTE", {10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42});
        const OurResult r =
            decodeWithOurs(file.chunk("tRNS", c.trns).imageData(c.row).end().bytes());
        EXPECT_EQ(r.pixels, c.rgba);
    }
}

// Sizes beyond the limit are refused before anything is allocated; an IDAT claiming more than
// the file holds ends the walk but keeps the image data before it; data beyond the last row
// stops the inflation.
TEST(PngDecoderHostileInput, SizesAndLengthsBeyondTheLimitsOrTheFile) {
    using Size = std::pair<unsigned, unsigned>;
    for (Size s : {Size{16385, 1}, Size{1, 16385}, Size{0x80000000u, 0x80000000u},
                   Size{0xFFFFFFFFu, 2}, Size{0, 5}, Size{5, 0}}) {
        SCOPED_TRACE(s.first);
        const OurResult r = decodeWithOurs(
            PngBuilder().header(s.first, s.second, 8, 6).imageData({0, 1, 2, 3, 4}).end().bytes());
        EXPECT_EQ(r.decodeResult, 1);
        EXPECT_EQ(r.width, 0);
        EXPECT_TRUE(r.pixels.empty());
    }
    EXPECT_EQ(
        decodeWithOurs(PngBuilder().header(16384, 1, 8, 0).imageData(Bytes(16385, 0)).end().bytes())
            .width,
        16384);

    const Bytes file = PngBuilder().header(4, 4, 8, 0).imageData({0, 9, 9, 9, 9}).bytes();
    for (uint32_t claimed : {0xFFFFFFF0u, 100u}) {
        Bytes bad = file;
        for (int shift = 24; shift >= 0; shift -= 8)
            bad.push_back(static_cast<unsigned char>(claimed >> shift));
        bad.insert(bad.end(), {'I', 'D', 'A', 'T', 1, 2, 3});
        const OurResult r = decodeWithOurs(bad);
        EXPECT_EQ(r.decodeResult, 1);
        ASSERT_EQ(r.width, 4);
        EXPECT_EQ(Bytes(r.pixels.begin(), r.pixels.begin() + 4), (Bytes{9, 9, 9, 255}));
    }

    Bytes rows = {0, 1, 2, 0, 3, 4};
    rows.insert(rows.end(), 5000, 0xAA);
    CMemoryStream stream;
    fillStream(&stream, PngBuilder().header(2, 2, 8, 0).imageData(rows).end().bytes());
    QoRawPngDecoder decoder;
    EXPECT_EQ(decoder.Decode(&stream), 1);
    EXPECT_EQ(decoder.getInflateResult(), QoInflateResult::Stopped);
    EXPECT_EQ(decoder.getOutputPixels()[12], 4);
}

namespace {

int paethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

/// The filter definitions of the PNG standard, byte by byte; an unknown type leaves the bytes.
Bytes unfilterByDefinition(int type, const Bytes& src, const Bytes& prev, int stride) {
    Bytes out(src.size());
    for (size_t i = 0; i < src.size(); i++) {
        const int a = i >= static_cast<size_t>(stride) ? out[i - stride] : 0;
        const int b = prev[i];
        const int c = i >= static_cast<size_t>(stride) ? prev[i - stride] : 0;
        int predicted = 0;
        if (type == 1) predicted = a;
        if (type == 2) predicted = b;
        if (type == 3) predicted = (a + b) / 2;
        if (type == 4) predicted = paethPredictor(a, b, c);
        out[i] = static_cast<unsigned char>(src[i] + predicted);
    }
    return out;
}

} // namespace

TEST(PngFilters, EveryTypeAndPixelSizeFollowsTheDefinitions) {
    uint32_t seed = 3;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<unsigned char>(seed >> 24);
    };
    for (int stride : {1, 2, 3, 4, 6, 8}) {
        for (int pixels : {1, 2, 5, 33}) {
            const int n = stride * pixels;
            Bytes src(n), prev(n), dst(n);
            for (int round = 0; round < 20; round++) {
                for (int i = 0; i < n; i++) {
                    src[i] = next();
                    prev[i] = next();
                }
                for (int type = 0; type <= 5; type++) {
                    SCOPED_TRACE(stride * 1000 + pixels * 10 + type);
                    QoUnfilterRow(type, src.data(), prev.data(), dst.data(), n, stride);
                    ASSERT_EQ(dst, unfilterByDefinition(type, src, prev, stride));
                }
            }
        }
    }
}
