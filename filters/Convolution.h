#pragma once

#include "raster/TBitmap.h"

#include <cstdint>

namespace filters {

// A 3 x 3 weighted neighbourhood: the new byte is
//   clamp(S / divisor + offset) with S = sum of weight[i][j] x C(r + step (i - 1), x + step (j - 1)),
// the division truncating toward zero and the clamp to 0 .. 255, each channel
// on its own. C is the image as it was before the pass.
struct Kernel {
    int weight[3][3];
    int step;
    int divisor;
    int offset;
};

// The kernel that weighs with a filter's nine coefficients.
inline Kernel KernelOf(const std::int16_t (&coef)[3][3], int step, int divisor, int offset)
{
    Kernel kernel{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            kernel.weight[i][j] = coef[i][j];
    kernel.step = step;
    kernel.divisor = divisor;
    kernel.offset = offset;
    return kernel;
}

// Applies the kernel to rows firstRow .. lastRow and pixel columns firstCol ..
// lastCol of the bitmap; every other pixel keeps its value. An empty range does
// nothing. The caller keeps every sample inside the bitmap. The kernel is one
// of the filters': nine equal weights of 1 over 9 (the blur), the sharpen
// weights over 9, the diagonal ones over 3 or the emboss ones plus 128.
void Convolve(TBitmap& bitmap, const Kernel& kernel, int firstRow, int lastRow, int firstCol, int lastCol);

namespace plain {
// The same, one byte at a time in plain integers; Convolve above gives the
// same bytes, faster.
void Convolve(TBitmap& bitmap, const Kernel& kernel, int firstRow, int lastRow, int firstCol, int lastCol);
} // namespace plain

} // namespace filters
