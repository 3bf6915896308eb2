#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "png_reference.h"

namespace {

bool weSupport(int colorType, int depth) {
    switch (colorType) {
    case 0:
        return depth == 1 || depth == 8;
    case 2:
        return depth == 8 || depth == 16;
    case 3:
        return depth == 4 || depth == 8;
    case 4:
    case 6:
        return depth == 8;
    default:
        return false;
    }
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
    enum Outcome { Refused, Empty, Sized };
    // Broken signatures are refused; impossible colour types or depths give no image; a bad
    // CRC is not checked and a missing IDAT leaves a blank image of the header's size.
    const std::map<std::string, Outcome> expected = {
        {"xcrn0g04.png", Refused}, {"xlfn0g04.png", Refused}, {"xs1n0g01.png", Refused},
        {"xs2n0g01.png", Refused}, {"xs4n0g01.png", Refused}, {"xs7n0g01.png", Refused},
        {"xc1n0g08.png", Empty},   {"xc9n2c08.png", Empty},   {"xd0n2c08.png", Empty},
        {"xd3n2c08.png", Empty},   {"xd9n2c08.png", Empty},   {"xcsn0g01.png", Sized},
        {"xhdn0g08.png", Sized},   {"xdtn0g01.png", Sized},
    };
    int seen = 0;
    for (const std::string& name : pngSuiteFiles()) {
        if (!isCorruptSample(name)) continue;
        SCOPED_TRACE(name);
        ASSERT_EQ(expected.count(name), 1u);
        const OurResult ours = decodeWithOurs(readFileBytes(pngSuitePath(name)));
        switch (expected.at(name)) {
        case Refused:
            EXPECT_EQ(ours.decodeResult, -1);
            EXPECT_EQ(ours.width, 0);
            break;
        case Empty:
            EXPECT_EQ(ours.decodeResult, 1);
            EXPECT_EQ(ours.width, 0);
            EXPECT_TRUE(ours.pixels.empty());
            break;
        case Sized:
            EXPECT_EQ(ours.decodeResult, 1);
            EXPECT_EQ(ours.width, 32);
            EXPECT_EQ(ours.height, 32);
            if (name == "xdtn0g01.png") {
                EXPECT_TRUE(std::all_of(ours.pixels.begin(), ours.pixels.end(),
                                        [](unsigned char v) { return v == 0; }));
            }
            break;
        }
        seen++;
    }
    EXPECT_EQ(seen, 14);
}
