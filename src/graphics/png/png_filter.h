// Reversal of the PNG scanline filters.
#pragma once

/// Undoes filter type (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth) on one row of n bytes:
/// src holds the filtered bytes, prev the reconstructed row above (zeros for the first row
/// of an image or pass), dst receives the reconstructed bytes. stride is the number of bytes
/// of one whole pixel, at least 1. Unknown types copy the bytes as they are. src and dst may
/// not overlap.
void QoUnfilterRow(int type, const unsigned char* src, const unsigned char* prev,
                   unsigned char* dst, int n, int stride);
