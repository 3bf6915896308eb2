#include "png_reference.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>

#include "foundation/stream.h"
#include "graphics/png/png_decoder.h"

std::string pngSuitePath(const std::string& name) {
    return std::string(PNGSUITE_DIR) + "/" + name;
}

std::vector<std::string> pngSuiteFiles() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(PNGSUITE_DIR)) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

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

} // namespace

RgbaImage decodeWithLibpng(const Bytes& file) {
    RgbaImage image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietWarning);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file, 0};
    image.ok = readRgba(png, info, &reader, &image);
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

namespace {
/// Feeds the decoder one byte at a time, the way the inflater did before runs were used.
class ByteByByteDecoder : public QoRawPngDecoder {
public:
    int OutputBlock(const unsigned char* bytes, int count) override {
        return QoGenericPngDecoder::OutputBlock(bytes, count);
    }
};
} // namespace

OurResult decodeWithOurs(const Bytes& file, bool byteByByte) {
    CMemoryStream stream;
    stream.write(file.data(), static_cast<int>(file.size()));
    stream.seek(0, 0);
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
