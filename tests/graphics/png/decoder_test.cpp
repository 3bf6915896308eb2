// Our PNG decoder against libpng over the PngSuite images, and the cases the suite lacks.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../png_bytes.h"
#include "foundation/stream.h"
#include "graphics/png/png_decoder.h"

namespace {

struct RgbaImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    int colorType = 0;
    int bitDepth = 0;
    Bytes pixels; // RGBA, rows top to bottom
};

std::vector<std::string> pngSuiteFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PNGSUITE_DIR))
        if (entry.path().extension() == ".png") names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes suiteFile(const std::string& name) {
    std::ifstream in(std::string(PNGSUITE_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct MemoryReader {
    const Bytes* data;
    size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (r->pos + n > r->data->size()) png_error(png, "read past end");
    memcpy(out, r->data->data() + r->pos, n);
    r->pos += n;
}

void quietWarning(png_structp, png_const_charp) {}

// Runs between setjmp and the end of the read; holds no objects with destructors.
bool readRgba(png_structp png, png_infop info, MemoryReader* reader, RgbaImage* image) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, reader, readFromMemory);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    image->colorType = colorType;
    image->bitDepth = depth;
    const bool grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (grey && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS) && !(grey && depth == 1))
        png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (grey) png_set_gray_to_rgb(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    image->width = static_cast<int>(png_get_image_width(png, info));
    image->height = static_cast<int>(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != static_cast<size_t>(image->width) * 4) return false;
    image->pixels.assign(static_cast<size_t>(image->width) * image->height * 4, 0);
    std::vector<png_bytep> rows(static_cast<size_t>(image->height));
    for (int y = 0; y < image->height; y++)
        rows[static_cast<size_t>(y)] =
            image->pixels.data() + static_cast<size_t>(y) * image->width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

/// libpng expanding to 8-bit RGBA the way our decoder converts: palette and tRNS to alpha
/// (not for 1-bit grey), 16-bit samples to their high byte, grey to RGB, opaque filler.
RgbaImage decodeWithLibpng(const Bytes& file) {
    RgbaImage image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietWarning);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file, 0};
    image.ok = readRgba(png, info, &reader, &image);
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

/// Feeds the decoder one byte at a time, the way the inflater did before runs were used.
class ByteByByteDecoder : public QoRawPngDecoder {
public:
    int OutputBlock(const unsigned char* bytes, int count) override {
        return QoGenericPngDecoder::OutputBlock(bytes, count);
    }
};

struct OurResult {
    int decodeResult = 0;
    int width = 0;
    int height = 0;
    Bytes pixels;
};

/// Our decoder over the bytes, through a memory stream.
OurResult decodeWithOurs(const Bytes& file, bool byteByByte = false) {
    CMemoryStream stream;
    fillStream(&stream, file);
    ByteByByteDecoder slow;
    QoRawPngDecoder fast;
    QoRawPngDecoder& decoder = byteByByte ? slow : fast;
    decoder.Initialize();
    OurResult r;
    r.decodeResult = decoder.Decode(&stream);
    r.width = decoder.getOutputWidth();
    r.height = decoder.getOutputHeight();
    if (decoder.getOutputPixels())
        r.pixels.assign(decoder.getOutputPixels(),
                        decoder.getOutputPixels() + static_cast<size_t>(r.width) * r.height * 4);
    return r;
}

/// Colour types and bit depths we decode; other images decode to nothing.
bool weSupport(int colorType, int depth) {
    static const std::set<std::pair<int, int>> supported = {{0, 1}, {0, 8}, {2, 8}, {2, 16},
                                                            {3, 4}, {3, 8}, {4, 8}, {6, 8}};
    return supported.count({colorType, depth}) > 0;
}

/// Index of the first pixel that differs, or -1.
long firstDifference(const Bytes& a, const Bytes& b) {
    auto m = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (m.first == a.end() && m.second == b.end()) return -1;
    return static_cast<long>((m.first - a.begin()) / 4);
}

} // namespace

TEST(PngSuite, ImagesDecodeToTheSameRgbaAsLibpngOrToNothingWhenUnsupported) {
    int compared = 0, unsupported = 0;
    for (const std::string& name : pngSuiteFiles()) {
        if (name[0] == 'x') continue; // damaged files: the PNG fuzz corpus replays them
        SCOPED_TRACE(name);
        const Bytes file = suiteFile(name);
        const RgbaImage reference = decodeWithLibpng(file);
        ASSERT_TRUE(reference.ok);
        const OurResult ours = decodeWithOurs(file);
        EXPECT_EQ(ours.decodeResult, 1);
        if (!weSupport(reference.colorType, reference.bitDepth)) {
            EXPECT_EQ(ours.width, 0);
            EXPECT_EQ(ours.height, 0);
            EXPECT_TRUE(ours.pixels.empty());
            unsupported++;
            continue;
        }
        ASSERT_EQ(ours.width, reference.width);
        ASSERT_EQ(ours.height, reference.height);
        EXPECT_EQ(firstDifference(ours.pixels, reference.pixels), -1);
        // Feeding the rows one byte at a time must not change a pixel.
        EXPECT_EQ(firstDifference(decodeWithOurs(file, true).pixels, ours.pixels), -1);
        compared++;
    }
    // Every supported colour type and depth, plain and interlaced, is in the suite.
    EXPECT_GE(compared, 80);
    EXPECT_GE(unsupported, 40);
}

// What the PngSuite does not hold: a 16-bit RGB key that matches on all sixteen bits and an
// 8-bit grey key.
TEST(PngDecoder, TransparencyKeysOfSixteenBitColourAndEightBitGrey) {
    struct Case {
        const char* name;
        int depth, colorType;
        Bytes trns, row, rgba;
    };
    const Bytes key16 = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    Bytes row16 = {0}; // the key colour, then the same high bytes with another low byte
    row16.insert(row16.end(), key16.begin(), key16.end());
    row16.insert(row16.end(), {0x12, 0x99, 0x56, 0x78, 0x9A, 0xBC});
    const Bytes rgba16 = {0x12, 0x56, 0x9A, 0, 0x12, 0x56, 0x9A, 255};
    const Bytes rgbaGrey = {0x40, 0x40, 0x40, 0, 0x41, 0x41, 0x41, 255};
    const Case cases[] = {
        {"16-bit RGB key", 16, 2, key16, row16, rgba16},
        {"grey key", 8, 0, {0, 0x40}, {0, 0x40, 0x41}, rgbaGrey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned width = static_cast<unsigned>(c.rgba.size() / 4);
        PngBuilder file;
        file.header(width, 1, c.depth, c.colorType);
        const OurResult r =
            decodeWithOurs(file.chunk("tRNS", c.trns).imageData(c.row).end().bytes());
        EXPECT_EQ(r.pixels, c.rgba);
    }
}

// Sizes beyond the limit are refused before anything is allocated, also where the size would
// turn negative as an int.
TEST(PngDecoder, SizesBeyondTheLimitAreRefused) {
    using Size = std::pair<unsigned, unsigned>;
    for (Size s :
         {Size{16385, 1}, Size{1, 16385}, Size{0x80000000u, 0x80000000u}, Size{0xFFFFFFFFu, 2}}) {
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
}

// An IDAT claiming more than the file holds ends the walk but keeps the image data before it,
// and the rows that never came stay blank.
TEST(PngDecoder, CutOffImageKeepsTheRowsThatCame) {
    const Bytes file = PngBuilder().header(4, 4, 8, 0).imageData({0, 9, 9, 9, 9}).bytes();
    Bytes firstRowOnly = {9, 9, 9, 255, 9, 9, 9, 255, 9, 9, 9, 255, 9, 9, 9, 255};
    firstRowOnly.resize(4 * 4 * 4, 0);
    for (uint32_t claimed : {0xFFFFFFF0u, 100u}) {
        Bytes bad = file;
        for (int shift = 24; shift >= 0; shift -= 8)
            bad.push_back(static_cast<unsigned char>(claimed >> shift));
        bad.insert(bad.end(), {'I', 'D', 'A', 'T', 1, 2, 3});
        const OurResult r = decodeWithOurs(bad);
        EXPECT_EQ(r.decodeResult, 1);
        EXPECT_EQ(r.pixels, firstRowOnly) << claimed;
    }
}
