#include "graphics/png/png_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/stream.h"

namespace {

constexpr unsigned char pngSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

constexpr unsigned int chunkType(const char (&name)[5]) {
    return (static_cast<unsigned int>(static_cast<unsigned char>(name[0])) << 24) |
           (static_cast<unsigned int>(static_cast<unsigned char>(name[1])) << 16) |
           (static_cast<unsigned int>(static_cast<unsigned char>(name[2])) << 8) |
           static_cast<unsigned int>(static_cast<unsigned char>(name[3]));
}

constexpr unsigned int typeIHDR = chunkType("IHDR");
constexpr unsigned int typePLTE = chunkType("PLTE");
constexpr unsigned int typeTRNS = chunkType("tRNS");
constexpr unsigned int typeGAMA = chunkType("gAMA");
constexpr unsigned int typeIDAT = chunkType("IDAT");
constexpr unsigned int typeIEND = chunkType("IEND");

unsigned int getUnsignedShort(const unsigned char* b) {
    return (static_cast<unsigned int>(b[0]) << 8) | b[1];
}

/// Passes the inflated runs on to the decoder's output operations.
class DecoderSink : public QoInflateSink {
public:
    explicit DecoderSink(QoGenericPngDecoder* d) : decoder(d) {}
    int Write(const unsigned char* bytes, int count) override {
        return decoder->OutputBlock(bytes, count);
    }

private:
    QoGenericPngDecoder* decoder;
};

} // namespace

/// The concatenated IDAT contents, in a buffer as large as the rest of the stream.
struct QoGenericPngDecoder::ImageData {
    explicit ImageData(int largest)
        : bytes(static_cast<unsigned char*>(malloc(static_cast<size_t>(largest) + 1))),
          capacity(bytes ? largest : 0) {}
    ~ImageData() { free(bytes); }
    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;

    int room() const { return capacity - size; }
    /// Reads up to n more bytes (n <= room()); false when fewer arrived.
    bool append(CStream* stream, int n) {
        const int got = n > 0 ? stream->read(bytes + size, n) : 0;
        size += std::max(got, 0);
        return got == n;
    }

    unsigned char* bytes;
    int capacity;
    int size = 0;
};

unsigned int PngGetUnsignedInt(const unsigned char* bytes) {
    return (static_cast<unsigned int>(bytes[0]) << 24) |
           (static_cast<unsigned int>(bytes[1]) << 16) |
           (static_cast<unsigned int>(bytes[2]) << 8) | static_cast<unsigned int>(bytes[3]);
}

bool QoPngPalette::set(const unsigned char* rgb, int entryCount) {
    delete[] entries;
    entries = nullptr;
    count = 0;
    if (entryCount <= 0) return true;
    entries = new (std::nothrow) unsigned char[static_cast<size_t>(entryCount) * 3];
    if (!entries) return false;
    memcpy(entries, rgb, static_cast<size_t>(entryCount) * 3);
    count = entryCount;
    return true;
}

void QoPngTransparency::reset() {
    red = green = blue = noKey;
    alphaCount = 0;
}

QoGenericPngDecoder::QoGenericPngDecoder() {
    Initialize();
}

void QoGenericPngDecoder::Initialize() {
    gamma = 100000;
    transparency.reset();
}

int QoGenericPngDecoder::OutputBlock(const unsigned char* bytes, int count) {
    for (int i = 0; i < count; i++) {
        if (Output(bytes[i]) != 1) return 0;
    }
    return 1;
}

void QoGenericPngDecoder::readChunk(unsigned int type, const unsigned char* data,
                                    unsigned int length) {
    if (type == typeIHDR && length >= 13) {
        header.width = PngGetUnsignedInt(data);
        header.height = PngGetUnsignedInt(data + 4);
        header.bitDepth = data[8];
        header.colorType = data[9];
        header.compressionMethod = data[10];
        header.filterMethod = data[11];
        header.interlaceMethod = data[12];
    } else if (type == typePLTE) {
        palette.set(data, static_cast<int>(length / 3));
    } else if (type == typeTRNS) {
        if (header.colorType == 0 && length >= 2) {
            transparency.red = getUnsignedShort(data);
        } else if (header.colorType == 2 && length >= 6) {
            transparency.red = getUnsignedShort(data);
            transparency.green = getUnsignedShort(data + 2);
            transparency.blue = getUnsignedShort(data + 4);
        } else if (header.colorType == 3) {
            int n = std::min({static_cast<int>(std::min(length, 256u)), palette.count, 256});
            memcpy(transparency.alpha, data, static_cast<size_t>(n));
            transparency.alphaCount = n;
        }
    } else if (type == typeGAMA && length >= 4) {
        gamma = PngGetUnsignedInt(data);
    }
}

int QoGenericPngDecoder::readChunks(CStream* stream, ImageData& image) {
    const int total = stream->getSize();
    unsigned char* chunk = nullptr;
    int result = 1;
    for (;;) {
        unsigned char head[8];
        if (stream->read(head, 8) != 8) break;
        const unsigned int length = PngGetUnsignedInt(head);
        const unsigned int type = PngGetUnsignedInt(head + 4);
        const int left = total - stream->pos();
        if (left < 0) break;
        if (length > static_cast<unsigned int>(left)) {
            // A cut-off file: keep the image data that is there, so the rows it holds
            // are decoded, and read nothing else.
            if (type == typeIDAT) image.append(stream, std::min(left, image.room()));
            break;
        }
        const int n = static_cast<int>(length);

        if (type == typeIDAT) {
            if (n > image.room() || !image.append(stream, n)) break;
        } else if (type == typeIHDR || type == typePLTE || type == typeTRNS || type == typeGAMA) {
            if (type == typePLTE && length % 3 != 0) {
                result = -1;
                break;
            }
            free(chunk);
            chunk = static_cast<unsigned char*>(malloc(length + 1));
            if (!chunk || stream->read(chunk, n) != n) break;
            readChunk(type, chunk, length);
        } else if (n > 0) {
            stream->seek(n, 1);
        }
        if (type == typeIEND) break;
        unsigned char crc[4];
        if (stream->read(crc, 4) != 4) break;
    }
    free(chunk);
    return result;
}

int QoGenericPngDecoder::Decode(CStream* stream) {
    inflateResult = QoInflateResult::Done;
    unsigned char signature[8];
    if (!stream || stream->read(signature, 8) != 8 || memcmp(signature, pngSignature, 8) != 0)
        return -1;

    // The image data cannot be larger than the rest of the stream.
    ImageData image(std::max(stream->getSize() - stream->pos(), 0));
    const int result = readChunks(stream, image);
    if (result == 1 && PrepareOutput() == 1) {
        QoPngUncompressor inflater;
        DecoderSink sink(this);
        inflateResult = inflater.Uncompress(image.bytes, image.size, &sink);
        EndOutput();
    }
    return result;
}
