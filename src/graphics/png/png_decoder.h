// Streaming PNG reader: a chunk walker that inflates the image data, and a scanline
// reconstructor that turns it into an 8-bit RGBA buffer.
#pragma once

#include "graphics/png/png_inflate.h"

class CStream;

/// The 4 bytes as a big-endian unsigned int.
unsigned int PngGetUnsignedInt(const unsigned char* bytes);

struct QoPngHeader {
    unsigned int width = 0;
    unsigned int height = 0;
    unsigned int bitDepth = 0;
    unsigned int colorType = 0;
    unsigned int compressionMethod = 0;
    unsigned int filterMethod = 0;
    unsigned int interlaceMethod = 0;
};

class QoPngPalette {
public:
    QoPngPalette() = default;
    ~QoPngPalette() { delete[] entries; }
    QoPngPalette(const QoPngPalette&) = delete;
    QoPngPalette& operator=(const QoPngPalette&) = delete;

    /// Replaces the palette with count R, G, B triples; false when out of memory.
    bool set(const unsigned char* rgb, int entryCount);

    int count = 0;
    unsigned char* entries = nullptr; // count * 3 bytes
};

struct QoPngTransparency {
    static constexpr unsigned int noKey = 0x7FFFFFFF;
    void reset();

    /// Grey key (colour type 0) or red key (colour type 2), 16-bit as stored.
    unsigned int red = noKey;
    unsigned int green = noKey;
    unsigned int blue = noKey;
    /// Alpha per palette index (colour type 3); entries from alphaCount on are opaque.
    int alphaCount = 0;
    unsigned char alpha[256] = {};
};

/// Walks the chunks of a PNG and hands the inflated image data to Output, byte by byte
/// or in runs. Subclasses turn the bytes into pixels.
class QoGenericPngDecoder {
public:
    QoGenericPngDecoder();
    virtual ~QoGenericPngDecoder() = default;
    QoGenericPngDecoder(const QoGenericPngDecoder&) = delete;
    QoGenericPngDecoder& operator=(const QoGenericPngDecoder&) = delete;

    /// Resets the gamma to 100000 and the transparency to no keys.
    void Initialize();
    /// Decodes a whole PNG from the stream's position: 1, or -1 for a wrong signature or a
    /// PLTE chunk whose length is not a multiple of 3. A damaged image still returns 1.
    int Decode(CStream* stream);

    virtual int PrepareOutput() { return 1; }
    virtual int Output(unsigned char) { return 1; }
    virtual int EndOutput() { return 1; }
    /// Hands over a run of inflated bytes; the base version feeds them to Output one by one.
    /// Returns 1 to go on, anything else stops the inflation.
    virtual int OutputBlock(const unsigned char* bytes, int count);

    const QoPngHeader& getHeader() const { return header; }
    unsigned int getGamma() const { return gamma; }
    /// How the inflation of the last Decode ended.
    QoInflateResult getInflateResult() const { return inflateResult; }

protected:
    QoPngHeader header;
    QoPngPalette palette;
    QoPngTransparency transparency;
    unsigned int gamma = 100000;

private:
    struct ImageData;
    /// Walks the chunks after the signature, gathering the image data: 1, or -1 for a bad
    /// PLTE length.
    int readChunks(CStream* stream, ImageData& image);
    void readChunk(unsigned int type, const unsigned char* data, unsigned int length);
    QoInflateResult inflateResult = QoInflateResult::Done;
};

/// Reconstructs the scanlines into an RGBA buffer, rows top to bottom.
class QoRawPngDecoder : public QoGenericPngDecoder {
public:
    QoRawPngDecoder() = default;
    ~QoRawPngDecoder() override;

    /// Largest width and height accepted.
    static constexpr unsigned int maxDimension = 16384;

    int PrepareOutput() override;
    int Output(unsigned char byte) override;
    int EndOutput() override { return 1; }
    int OutputBlock(const unsigned char* bytes, int count) override;

    int getOutputWidth() const { return outWidth; }
    int getOutputHeight() const { return outHeight; }
    /// RGBA, rows top to bottom, width * height * 4 bytes; null when nothing was decoded.
    const unsigned char* getOutputPixels() const { return pixels; }

private:
    struct Pass {
        int x0, y0, dx, dy; // first pixel and step in the full image
        int width, height;  // size of the pass's sub-image
    };

    /// Takes a run of inflated bytes; 0 once every row is complete.
    int consume(const unsigned char* bytes, int count);
    void startPass(int index);
    void finishRow(const unsigned char* raw);
    void writeRow(const unsigned char* row);
    void buildPaletteColors();

    int outWidth = 0;
    int outHeight = 0;
    unsigned char* pixels = nullptr;

    Pass passes[7] = {};
    int passCount = 0;
    int pass = 0;         // index into passes
    int row = 0;          // row within the pass
    int rowBytes = 0;     // filtered bytes per row of the pass, filter type excluded
    int filled = 0;       // bytes of the current row gathered so far
    int filterType = -1;  // -1 until the row's filter byte arrived
    int filterStride = 1; // bytes per complete pixel, at least 1
    int bitsPerPixel = 0;
    bool done = false;
    bool direct = false; // rows unfilter straight into the RGBA buffer

    unsigned char* rowMemory = nullptr; // staging, current and previous row
    unsigned char* staging = nullptr;
    unsigned char* current = nullptr;
    unsigned char* previous = nullptr;
    unsigned char paletteColors[256][4] = {}; // RGBA per palette index
    int paletteSize = 0;
};
