#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

#include "png_reference.h"

namespace {

/// Colour types and bit depths we decode; other images decode to nothing.
bool weSupport(int colorType, int depth) {
    static const std::set<std::pair<int, int>> supported = {{0, 1}, {0, 8}, {2, 8}, {2, 16},
                                                            {3, 4}, {3, 8}, {4, 8}, {6, 8}};
    return supported.count({colorType, depth}) > 0;
}

bool isCorruptSample(const std::string& name) {
    return name[0] == 'x';
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
        if (isCorruptSample(name)) continue;
        SCOPED_TRACE(name);
        const Bytes file = readFileBytes(pngSuitePath(name));
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

TEST(PngSuite, CorruptFilesAreRefusedOrDecodedWithoutHarm) {
    // Broken signatures are refused (-1); impossible colour types or depths give no image (0); a
    // bad CRC is not checked and a missing IDAT leaves a blank image of the header's size (32).
    const std::map<std::string, int> expectedSide = {
        {"xcrn0g04.png", -1}, {"xlfn0g04.png", -1}, {"xs1n0g01.png", -1}, {"xs2n0g01.png", -1},
        {"xs4n0g01.png", -1}, {"xs7n0g01.png", -1}, {"xc1n0g08.png", 0},  {"xc9n2c08.png", 0},
        {"xd0n2c08.png", 0},  {"xd3n2c08.png", 0},  {"xd9n2c08.png", 0},  {"xcsn0g01.png", 32},
        {"xhdn0g08.png", 32}, {"xdtn0g01.png", 32},
    };
    int seen = 0;
    for (const std::string& name : pngSuiteFiles()) {
        if (!isCorruptSample(name)) continue;
        SCOPED_TRACE(name);
        ASSERT_EQ(expectedSide.count(name), 1u);
        const int side = expectedSide.at(name);
        const OurResult ours = decodeWithOurs(readFileBytes(pngSuitePath(name)));
        EXPECT_EQ(ours.decodeResult, side < 0 ? -1 : 1);
        EXPECT_EQ(ours.width, std::max(side, 0));
        EXPECT_EQ(ours.height, std::max(side, 0));
        if (name == "xdtn0g01.png") {
            EXPECT_EQ(ours.pixels, Bytes(32 * 32 * 4, 0));
        }
        seen++;
    }
    EXPECT_EQ(seen, 14);
}
