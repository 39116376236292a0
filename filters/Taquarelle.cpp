#include "filters/Tfiltre.h"

#include "filters/Convolution.h"
#include "filters/RankSelect.h"
#include "filters/RowWindow.h"

#include <emmintrin.h>

#include <cstring>
#include <vector>

// The watercolour runs two passes. The rank pass writes to every byte b of
// rows 4 .. H-6, bytes 12 .. 3W-16 (pixel columns 4 .. W-6), the fourteenth
// smallest of the 25 samples of the same channel 0, 2 and 4 rows and pixels
// away: rank 13 from 0, so thirteen samples lie below it and eleven above. It
// leaves four rows and columns at the top and left but five at the bottom and
// right. The sharpen pass then runs on the result, exactly as TSharpen does.

namespace {

using filters::rank::FourteenthOf;
using filters::rank::MergeFives;
using filters::rank::SortFive;

__m128i load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void store(std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

void rankPass(TBitmap& bmp)
{
    const int height = bmp.Height();
    const int width = bmp.Width();
    if (height < 10 || width < 10)
        return;

    // Planes of one row's length, indexed by the byte of the column's (or the
    // pair's first column's) sample:
    //   sorted[k][c]: k-th smallest of the column of five at byte c;
    //   pairs[k][c]:  k-th smallest of the columns at bytes c and c + 6.
    const std::size_t length = filters::PaddedRowLength(width);
    std::vector<std::uint8_t> storage(16 * length, 0);
    std::uint8_t* sorted[5];
    std::uint8_t* pairs[10];
    for (int k = 0; k < 5; ++k)
        sorted[k] = storage.data() + std::size_t(k) * length;
    for (int k = 0; k < 10; ++k)
        pairs[k] = storage.data() + std::size_t(5 + k) * length;
    std::uint8_t* out = storage.data() + 15 * length;

    const int first = 12;
    const int last = 3 * width - 16;
    filters::RowWindow window(bmp, 4);
    for (int r = 4; r <= height - 6; ++r) {
        window.MoveTo(r);
        const std::uint8_t* const rows[5] = {window.Row(r - 4), window.Row(r - 2), window.Row(r), window.Row(r + 2),
                                             window.Row(r + 4)};
        // Outputs first .. last read pairs at first - 12 .. last + 15 and
        // columns up to last + 27; pairs read columns 6 bytes on. The small
        // loops are unrolled so that the samples stay in registers.
        for (int c = first - 12; c <= last + 36; c += 16) {
            __m128i v[5];
#pragma GCC unroll 10
            for (int m = 0; m < 5; ++m)
                v[m] = load(rows[m] + c);
            SortFive(v);
#pragma GCC unroll 10
            for (int k = 0; k < 5; ++k)
                store(sorted[k] + c, v[k]);
        }
        for (int c = first - 12; c <= last + 15; c += 16) {
            __m128i a[5];
            __m128i b[5];
            __m128i merged[10];
#pragma GCC unroll 10
            for (int k = 0; k < 5; ++k) {
                a[k] = load(sorted[k] + c);
                b[k] = load(sorted[k] + c + 6);
            }
            MergeFives(a, b, merged);
#pragma GCC unroll 10
            for (int k = 0; k < 10; ++k)
                store(pairs[k] + c, merged[k]);
        }
        // Byte b uses the pairs at b - 12 (pixels x - 4, x - 2) and b
        // (x, x + 2) and the column at b + 12 (x + 4).
        for (int b = first; b <= last; b += 16) {
            __m128i left[10];
            __m128i middle[10];
            __m128i right[5];
#pragma GCC unroll 10
            for (int k = 0; k < 10; ++k) {
                left[k] = load(pairs[k] + b - 12);
                middle[k] = load(pairs[k] + b);
            }
#pragma GCC unroll 10
            for (int k = 0; k < 5; ++k)
                right[k] = load(sorted[k] + b + 12);
            store(out + b, FourteenthOf(left, middle, right));
        }
        std::memcpy(bmp.ScanLine(r) + first, out + first, std::size_t(last - first) + 1);
    }
}

} // namespace

TAquarelle::TAquarelle(TBitmap& bitmap) : TFiltre(bitmap)
{
    const std::int16_t sharpen[3][3] = {{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}};
    std::memcpy(coef, sharpen, sizeof coef);
}

void TAquarelle::Apply()
{
    rankPass(bmp);
    // The sharpen pass reads the rank pass's result: its working rows are
    // copied from the scan lines only now. Where the rank pass did not reach,
    // it sees the pixels as they were before the run.
    filters::Convolve(bmp, filters::KernelOf(coef, 1, 9, 0), 1, bmp.Height() - 2, 1, bmp.Width() - 2);
}
