#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "foundation/stream.h"
#include "graphics/png/png_decoder.h"
#include "graphics/png/png_filter.h"
#include "png_reference.h"

namespace {

/// The RGBA of pixel i of a decoded image.
Bytes pixelAt(const OurResult& r, int i) {
    return Bytes(r.pixels.begin() + i * 4, r.pixels.begin() + i * 4 + 4);
}

} // namespace

TEST(PngDecoder, BadSignatureOrPaletteLengthFailsAndAnEmptyFileLoadsNothing) {
    OurResult r = decodeWithOurs({136, 'P', 'N', 'G', 13, 10, 26, 10});
    EXPECT_EQ(r.decodeResult, -1);
    EXPECT_EQ(r.width, 0);

    r = decodeWithOurs(PngBuilder()
                           .header(1, 1, 8, 3)
                           .chunk("PLTE", {1, 2, 3, 4, 5, 6, 7})
                           .imageData({0, 0})
                           .bytes());
    EXPECT_EQ(r.decodeResult, -1);
    EXPECT_EQ(r.width, 0);

    r = decodeWithOurs(PngBuilder().bytes());
    EXPECT_EQ(r.decodeResult, 1);
    EXPECT_TRUE(r.pixels.empty());
}

TEST(PngDecoder, PaletteTransparencyAndIndexesBeyondThePalette) {
    const Bytes palette = {10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42};
    for (int depth : {8, 4}) {
        SCOPED_TRACE(depth);
        // Indexes 0..5; the palette has 4 entries.
        const Bytes row = depth == 8 ? Bytes{0, 0, 1, 2, 3, 4, 5} : Bytes{0, 0x01, 0x23, 0x45};
        const Bytes file = PngBuilder()
                               .header(6, 1, depth, 3)
                               .chunk("PLTE", palette)
                               .chunk("tRNS", {0, 128})
                               .imageData(row)
                               .end()
                               .bytes();
        const OurResult r = decodeWithOurs(file);
        ASSERT_EQ(r.width, 6);
        EXPECT_EQ(pixelAt(r, 0), (Bytes{10, 11, 12, 0}));
        EXPECT_EQ(pixelAt(r, 1), (Bytes{20, 21, 22, 128}));
        EXPECT_EQ(pixelAt(r, 2), (Bytes{30, 31, 32, 255}));
        EXPECT_EQ(pixelAt(r, 3), (Bytes{40, 41, 42, 255}));
        EXPECT_EQ(pixelAt(r, 4), (Bytes{0, 0, 0, 0}));
        EXPECT_EQ(pixelAt(r, 5), (Bytes{0, 0, 0, 0}));
    }
}

TEST(PngDecoder, SixteenBitRgbKeepsHighBytesAndMatchesKeysOnAllSixteenBits) {
    const Bytes row = {0,    0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // the key colour
                       0x12, 0x99, 0x56, 0x78, 0x9A, 0xBC};      // same high bytes, other low byte
    const Bytes file = PngBuilder()
                           .header(2, 1, 16, 2)
                           .chunk("tRNS", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC})
                           .imageData(row)
                           .end()
                           .bytes();
    const OurResult r = decodeWithOurs(file);
    ASSERT_EQ(r.width, 2);
    EXPECT_EQ(pixelAt(r, 0), (Bytes{0x12, 0x56, 0x9A, 0}));
    EXPECT_EQ(pixelAt(r, 1), (Bytes{0x12, 0x56, 0x9A, 255}));
}

TEST(PngDecoder, GreyAndRgbKeysMakePixelsTransparent) {
    OurResult r = decodeWithOurs(PngBuilder()
                                     .header(3, 1, 8, 0)
                                     .chunk("tRNS", {0, 0x40})
                                     .imageData({0, 0x40, 0x41, 0x40})
                                     .end()
                                     .bytes());
    ASSERT_EQ(r.width, 3);
    EXPECT_EQ(pixelAt(r, 0), (Bytes{0x40, 0x40, 0x40, 0}));
    EXPECT_EQ(pixelAt(r, 1), (Bytes{0x41, 0x41, 0x41, 255}));

    r = decodeWithOurs(PngBuilder()
                           .header(2, 1, 8, 2)
                           .chunk("tRNS", {0, 1, 0, 2, 0, 3})
                           .imageData({0, 1, 2, 3, 1, 2, 4})
                           .end()
                           .bytes());
    ASSERT_EQ(r.width, 2);
    EXPECT_EQ(pixelAt(r, 0), (Bytes{1, 2, 3, 0}));
    EXPECT_EQ(pixelAt(r, 1), (Bytes{1, 2, 4, 255}));
}

TEST(PngDecoder, UnknownFilterTypeLeavesTheBytes) {
    const OurResult r =
        decodeWithOurs(PngBuilder().header(2, 2, 8, 0).imageData({7, 5, 6, 2, 1, 1}).end().bytes());
    ASSERT_EQ(r.width, 2);
    EXPECT_EQ(pixelAt(r, 0)[0], 5);
    EXPECT_EQ(pixelAt(r, 1)[0], 6);
    EXPECT_EQ(pixelAt(r, 2)[0], 6); // Up on the kept bytes: 5 + 1
    EXPECT_EQ(pixelAt(r, 3)[0], 7);
}

TEST(PngDecoderHostileInput, OversizedDimensionsAreRefusedBeforeAllocating) {
    struct Size {
        unsigned w, h;
    };
    for (Size s : {Size{16385, 1}, Size{1, 16385}, Size{0x80000000u, 0x80000000u},
                   Size{0xFFFFFFFFu, 2}, Size{0, 5}, Size{5, 0}}) {
        SCOPED_TRACE(s.w);
        const OurResult r = decodeWithOurs(
            PngBuilder().header(s.w, s.h, 8, 6).imageData({0, 1, 2, 3, 4}).end().bytes());
        EXPECT_EQ(r.decodeResult, 1);
        EXPECT_EQ(r.width, 0);
        EXPECT_TRUE(r.pixels.empty());
    }
    const OurResult widest = decodeWithOurs(
        PngBuilder().header(16384, 1, 8, 0).imageData(Bytes(16385, 0)).end().bytes());
    EXPECT_EQ(widest.width, 16384);
}

TEST(PngDecoderHostileInput, ChunkLongerThanTheStreamEndsTheWalk) {
    Bytes file = PngBuilder().header(4, 4, 8, 0).imageData({0, 9, 9, 9, 9}).bytes();
    // An IDAT that claims almost 4 GiB and one that claims just past the end.
    for (uint32_t claimed : {0xFFFFFFF0u, 100u}) {
        Bytes bad = file;
        for (int shift = 24; shift >= 0; shift -= 8)
            bad.push_back(static_cast<unsigned char>(claimed >> shift));
        bad.insert(bad.end(), {'I', 'D', 'A', 'T', 1, 2, 3});
        const OurResult r = decodeWithOurs(bad);
        EXPECT_EQ(r.decodeResult, 1);
        ASSERT_EQ(r.width, 4);
        EXPECT_EQ(pixelAt(r, 0), (Bytes{9, 9, 9, 255})); // the first IDAT still counts
    }
}

TEST(PngDecoderHostileInput, DataBeyondTheLastRowStopsTheInflation) {
    Bytes rows = {0, 1, 2, 0, 3, 4};
    rows.insert(rows.end(), 5000, 0xAA);
    const Bytes file = PngBuilder().header(2, 2, 8, 0).imageData(rows).end().bytes();
    CMemoryStream stream;
    stream.write(file.data(), static_cast<int>(file.size()));
    stream.seek(0, 0);
    QoRawPngDecoder decoder;
    EXPECT_EQ(decoder.Decode(&stream), 1);
    EXPECT_EQ(decoder.getInflateResult(), QoInflateResult::Stopped);
    ASSERT_EQ(decoder.getOutputWidth(), 2);
    EXPECT_EQ(decoder.getOutputPixels()[12], 4);
}

namespace {

int paethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

/// The filter definitions of the PNG standard, byte by byte.
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
