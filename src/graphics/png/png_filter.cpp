#include "graphics/png/png_filter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

inline unsigned char paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<unsigned char>(a);
    if (pb <= pc) return static_cast<unsigned char>(b);
    return static_cast<unsigned char>(c);
}

void unfilterSub(const unsigned char* src, unsigned char* dst, int n, int stride) {
    const int head = stride < n ? stride : n;
    memcpy(dst, src, static_cast<size_t>(head));
    for (int i = stride; i < n; i++)
        dst[i] = static_cast<unsigned char>(src[i] + dst[i - stride]);
}

void unfilterUp(const unsigned char* src, const unsigned char* prev, unsigned char* dst, int n) {
    for (int i = 0; i < n; i++)
        dst[i] = static_cast<unsigned char>(src[i] + prev[i]);
}

void unfilterAverage(const unsigned char* src, const unsigned char* prev, unsigned char* dst, int n,
                     int stride) {
    const int head = stride < n ? stride : n;
    for (int i = 0; i < head; i++)
        dst[i] = static_cast<unsigned char>(src[i] + (prev[i] >> 1));
    for (int i = stride; i < n; i++)
        dst[i] = static_cast<unsigned char>(src[i] + ((dst[i - stride] + prev[i]) >> 1));
}

void unfilterPaeth(const unsigned char* src, const unsigned char* prev, unsigned char* dst, int n,
                   int stride) {
    // At the left edge the left and upper-left neighbours are 0, so Paeth picks the one above.
    const int head = stride < n ? stride : n;
    for (int i = 0; i < head; i++)
        dst[i] = static_cast<unsigned char>(src[i] + prev[i]);
    for (int i = stride; i < n; i++)
        dst[i] =
            static_cast<unsigned char>(src[i] + paeth(dst[i - stride], prev[i], prev[i - stride]));
}

#if defined(__SSE2__) && defined(__x86_64__)
// Sub, Average and Paeth depend on the pixel to the left, so pixels are reconstructed one
// after the other, but all bytes of a pixel at once in vector lanes. Exactly the pixel's
// bytes are read and written, never beyond the row.

// Pixels go through general registers with loads and stores of their exact size: staging
// a 3 or 6-byte pixel in memory and reading it back whole would stall store forwarding.
template <int Stride> inline uint64_t loadBytes(const unsigned char* p) {
    if constexpr (Stride == 2) {
        uint16_t v;
        memcpy(&v, p, 2);
        return v;
    } else if constexpr (Stride == 3) {
        uint16_t low;
        memcpy(&low, p, 2);
        return low | (static_cast<uint64_t>(p[2]) << 16);
    } else if constexpr (Stride == 4) {
        uint32_t v;
        memcpy(&v, p, 4);
        return v;
    } else {
        static_assert(Stride == 6, "pixels of 2, 3, 4 or 6 bytes");
        uint32_t low;
        uint16_t high;
        memcpy(&low, p, 4);
        memcpy(&high, p + 4, 2);
        return low | (static_cast<uint64_t>(high) << 32);
    }
}

template <int Stride> inline void storeBytes(unsigned char* p, uint64_t v) {
    if constexpr (Stride == 2 || Stride == 3) {
        const auto low = static_cast<uint16_t>(v);
        memcpy(p, &low, 2);
        if constexpr (Stride == 3) p[2] = static_cast<unsigned char>(v >> 16);
    } else {
        const auto low = static_cast<uint32_t>(v);
        memcpy(p, &low, 4);
        if constexpr (Stride == 6) {
            const auto high = static_cast<uint16_t>(v >> 32);
            memcpy(p + 4, &high, 2);
        }
    }
}

template <int Stride> inline __m128i loadPixel(const unsigned char* p) {
    return _mm_cvtsi64_si128(static_cast<long long>(loadBytes<Stride>(p)));
}

template <int Stride> inline void storePixel(unsigned char* p, __m128i v) {
    storeBytes<Stride>(p, static_cast<uint64_t>(_mm_cvtsi128_si64(v)));
}

template <int Stride> void subPixels(const unsigned char* src, unsigned char* dst, int n) {
    __m128i a = _mm_setzero_si128();
    for (int i = 0; i < n; i += Stride) {
        a = _mm_add_epi8(a, loadPixel<Stride>(src + i));
        storePixel<Stride>(dst + i, a);
    }
}

template <int Stride>
void averagePixels(const unsigned char* src, const unsigned char* prev, unsigned char* dst, int n) {
    // _mm_avg_epu8 rounds up; the floor that PNG wants is one less where a + b is odd.
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (int i = 0; i < n; i += Stride) {
        const __m128i b = loadPixel<Stride>(prev + i);
        const __m128i avg =
            _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(loadPixel<Stride>(src + i), avg);
        storePixel<Stride>(dst + i, a);
    }
}

inline __m128i abs16(__m128i x) {
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

template <int Stride>
void paethPixels(const unsigned char* src, const unsigned char* prev, unsigned char* dst, int n) {
    // 16-bit lanes hold the differences; pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|.
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowByte = _mm_set1_epi16(0xFF);
    __m128i a = zero;
    __m128i c = zero;
    for (int i = 0; i < n; i += Stride) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Stride>(prev + i), zero);
        const __m128i bc = _mm_sub_epi16(b, c);
        const __m128i ac = _mm_sub_epi16(a, c);
        const __m128i pa = abs16(bc);
        const __m128i pb = abs16(ac);
        const __m128i pc = abs16(_mm_add_epi16(bc, ac));
        const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
        const __m128i takeC = _mm_cmpgt_epi16(pb, pc);
        const __m128i bOrC = _mm_or_si128(_mm_and_si128(takeC, c), _mm_andnot_si128(takeC, b));
        const __m128i predictor =
            _mm_or_si128(_mm_and_si128(notA, bOrC), _mm_andnot_si128(notA, a));
        const __m128i x = _mm_unpacklo_epi8(loadPixel<Stride>(src + i), zero);
        a = _mm_and_si128(_mm_add_epi16(x, predictor), lowByte);
        storePixel<Stride>(dst + i, _mm_packus_epi16(a, a));
        c = b;
    }
}

template <int Stride>
void filterPixels(int type, const unsigned char* src, const unsigned char* prev, unsigned char* dst,
                  int n) {
    if (type == 1)
        subPixels<Stride>(src, dst, n);
    else if (type == 3)
        averagePixels<Stride>(src, prev, dst, n);
    else
        paethPixels<Stride>(src, prev, dst, n);
}

/// Reconstructs Sub, Average or Paeth rows of 2, 3, 4 or 6-byte pixels in vector lanes;
/// false for other pixel sizes.
bool unfilterPixels(int type, const unsigned char* src, const unsigned char* prev,
                    unsigned char* dst, int n, int stride) {
    if (n % stride != 0) return false;
    switch (stride) {
    case 2:
        filterPixels<2>(type, src, prev, dst, n);
        return true;
    case 3:
        filterPixels<3>(type, src, prev, dst, n);
        return true;
    case 4:
        filterPixels<4>(type, src, prev, dst, n);
        return true;
    case 6:
        filterPixels<6>(type, src, prev, dst, n);
        return true;
    default:
        return false;
    }
}
#else
bool unfilterPixels(int, const unsigned char*, const unsigned char*, unsigned char*, int, int) {
    return false;
}
#endif

} // namespace

void QoUnfilterRow(int type, const unsigned char* src, const unsigned char* prev,
                   unsigned char* dst, int n, int stride) {
    if ((type == 1 || type == 3 || type == 4) && stride > 1 &&
        unfilterPixels(type, src, prev, dst, n, stride))
        return;
    switch (type) {
    case 1:
        unfilterSub(src, dst, n, stride);
        break;
    case 2:
        unfilterUp(src, prev, dst, n);
        break;
    case 3:
        unfilterAverage(src, prev, dst, n, stride);
        break;
    case 4:
        unfilterPaeth(src, prev, dst, n, stride);
        break;
    default:
        memcpy(dst, src, static_cast<size_t>(n));
        break;
    }
}
