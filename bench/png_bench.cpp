// Decoding speed of our PNG decoder against libpng. Both read the same in-memory files,
// written by libpng at its default zlib level, and both produce 8-bit RGBA rows. After the
// runs the throughput ratio of every image is printed.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRWB_BUILD_BENCH=ON
//   cmake --build build-bench --target png_bench && build-bench/bench/png_bench
#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation/stream.h"
#include "graphics/png/png_decoder.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct ImageKind {
    const char* name;
    int colorType;
    int channels;
    bool noisy; // photo-like grain, or smooth artwork with long matches
};

constexpr ImageKind kinds[] = {
    {"rgba", PNG_COLOR_TYPE_RGB_ALPHA, 4, true},
    {"rgb", PNG_COLOR_TYPE_RGB, 3, true},
    {"grey", PNG_COLOR_TYPE_GRAY, 1, true},
    {"palette", PNG_COLOR_TYPE_PALETTE, 1, true},
    {"rgba_smooth", PNG_COLOR_TYPE_RGB_ALPHA, 4, false},
};
constexpr int sizes[] = {512, 1024, 2048};

/// Smooth gradients and soft rings, with a little noise for photo-like images, so the
/// filters and the compressor have the kind of work that real images give them.
Bytes makeSamples(int size, int channels, bool paletted, bool noisy) {
    Bytes samples(static_cast<size_t>(size) * size * channels);
    uint32_t seed = 12345;
    unsigned char* p = samples.data();
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = noisy ? static_cast<int>((seed >> 24) & 7) - 4 : 0;
            const int dx = x - size / 2;
            const int dy = y - size / 3;
            const int ring = ((dx * dx + dy * dy) / (size * 2)) & 63;
            for (int c = 0; c < channels; c++) {
                int v;
                if (paletted)
                    v = ((x * 16 / size) * 16 + (y * 16 / size)) ^ (ring & 15) ^ (noise & 1);
                else if (c == 3)
                    v = 255 - ring * 2 + noise;
                else
                    v = (x * (c + 1) * 255 / size + y * (3 - c) * 255 / size) / 3 + ring + noise;
                *p++ = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    return samples;
}

void writeToMemory(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void noFlush(png_structp) {}

bool encode(png_structp png, png_infop info, Bytes* out, int size, const ImageKind& kind,
            const Bytes* samples, const Bytes* palette) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, writeToMemory, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
                 kind.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (kind.colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(palette->data()), 256);
    png_write_info(png, info);
    for (int y = 0; y < size; y++)
        png_write_row(png, samples->data() + static_cast<size_t>(y) * size * kind.channels);
    png_write_end(png, nullptr);
    return true;
}

Bytes makePng(int size, const ImageKind& kind) {
    const Bytes samples =
        makeSamples(size, kind.channels, kind.colorType == PNG_COLOR_TYPE_PALETTE, kind.noisy);
    Bytes palette(256 * 3);
    for (int i = 0; i < 256; i++) {
        palette[i * 3] = static_cast<unsigned char>(i);
        palette[i * 3 + 1] = static_cast<unsigned char>(255 - i);
        palette[i * 3 + 2] = static_cast<unsigned char>(i * 7);
    }
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!encode(png, info, &out, size, kind, &samples, &palette)) out.clear();
    png_destroy_write_struct(&png, &info);
    return out;
}

const Bytes& testImage(int size, const ImageKind& kind) {
    static std::map<std::string, Bytes> cache;
    const std::string key = std::string(kind.name) + std::to_string(size);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, makePng(size, kind)).first;
    return it->second;
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

bool decodeLibpng(png_structp png, png_infop info, MemoryReader* reader, Bytes* pixels) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, reader, readFromMemory);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const size_t width = png_get_image_width(png, info);
    const size_t height = png_get_image_height(png, info);
    pixels->assign(width * height * 4, 0);
    for (size_t y = 0; y < height; y++)
        png_read_row(png, pixels->data() + y * width * 4, nullptr);
    png_read_end(png, nullptr);
    return true;
}

void BM_Libpng(benchmark::State& state, const ImageKind& kind, int size) {
    const Bytes& file = testImage(size, kind);
    for (auto _ : state) {
        Bytes pixels;
        MemoryReader reader{&file, 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (!decodeLibpng(png, info, &reader, &pixels)) state.SkipWithError("libpng failed");
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size * size * 4);
}

void BM_Ours(benchmark::State& state, const ImageKind& kind, int size) {
    const Bytes& file = testImage(size, kind);
    CMemoryStream stream;
    stream.write(file.data(), static_cast<int>(file.size()));
    for (auto _ : state) {
        stream.seek(0, 0);
        QoRawPngDecoder decoder;
        decoder.Initialize();
        if (decoder.Decode(&stream) != 1 || decoder.getOutputWidth() != size)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(decoder.getOutputPixels());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size * size * 4);
}

/// Keeps the time per iteration of every run so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                seconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        std::printf("\nthroughput ours / libpng by CPU time (above 1.00: ours is faster)\n");
        for (const ImageKind& kind : kinds) {
            for (int size : sizes) {
                const std::string suffix =
                    "/" + std::string(kind.name) + "/" + std::to_string(size);
                auto ours = seconds.find("Ours" + suffix);
                auto lib = seconds.find("Libpng" + suffix);
                if (ours == seconds.end() || lib == seconds.end()) continue;
                std::printf("  %-12s %5d x %-5d %6.2f\n", kind.name, size, size,
                            lib->second / ours->second);
            }
        }
    }

private:
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    for (const ImageKind& kind : kinds) {
        for (int size : sizes) {
            const std::string suffix = "/" + std::string(kind.name) + "/" + std::to_string(size);
            benchmark::RegisterBenchmark(("Libpng" + suffix).c_str(), BM_Libpng, kind, size)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("Ours" + suffix).c_str(), BM_Ours, kind, size)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
