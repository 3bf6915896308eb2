// Test helpers: files of the PngSuite folder, libpng as the reference decoder, and our
// decoder run over a byte vector.
#pragma once

#include <string>
#include <vector>

#include "../png_bytes.h"

struct RgbaImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    int colorType = 0;
    int bitDepth = 0;
    Bytes pixels; // RGBA, rows top to bottom
};

std::string pngSuitePath(const std::string& name);
std::vector<std::string> pngSuiteFiles();
Bytes readFileBytes(const std::string& path);

/// libpng expanding to 8-bit RGBA the way our decoder converts: palette and tRNS to alpha
/// (not for 1-bit grey), 16-bit samples to their high byte, grey to RGB, opaque filler.
RgbaImage decodeWithLibpng(const Bytes& file);

/// Our decoder over the bytes, through a memory stream.
struct OurResult {
    int decodeResult = 0;
    int width = 0;
    int height = 0;
    Bytes pixels;
};
OurResult decodeWithOurs(const Bytes& file, bool byteByByte = false);
