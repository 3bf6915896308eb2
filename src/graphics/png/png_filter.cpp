#include "graphics/png/png_filter.h"

#include <cstdlib>
#include <cstring>

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

} // namespace

void QoUnfilterRow(int type, const unsigned char* src, const unsigned char* prev,
                   unsigned char* dst, int n, int stride) {
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
