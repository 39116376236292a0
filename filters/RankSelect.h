#pragma once

// The watercolour's rank selection, sixteen bytes at a time.
//
// The 25 samples of one output byte form a 5 x 5 grid: five columns (the
// same channel of pixels 4 and 2 columns left, the pixel itself, 2 and 4 columns
// right), each of five rows. The selection runs in three stages so that the
// first two are shared between neighbouring outputs:
//   1. each column of five is sorted (shared by the five outputs that use it);
//   2. two sorted columns that lie 2 pixels apart are merged into a sorted run
//      of ten (shared by the two outputs that use that pair);
//   3. an output merges the runs of its left and middle pairs, as far as ranks
//      8 .. 13 of the twenty, and takes the fourteenth smallest of the 25 from
//      those and its sorted right column.
// The networks are Batcher's odd-even merges with every comparator that cannot
// reach the selected rank removed. Each lane is one byte, compared unsigned.

#include <emmintrin.h>

namespace filters::rank {

// Puts the smaller of each lane pair in lo and the larger in hi.
[[gnu::always_inline]] inline void Order(__m128i& lo, __m128i& hi)
{
    const __m128i smaller = _mm_min_epu8(lo, hi);
    hi = _mm_max_epu8(lo, hi);
    lo = smaller;
}

// Sorts five values ascending (nine comparators).
[[gnu::always_inline]] inline void SortFive(__m128i v[5])
{
    Order(v[0], v[1]);
    Order(v[3], v[4]);
    Order(v[2], v[4]);
    Order(v[2], v[3]);
    Order(v[0], v[3]);
    Order(v[0], v[2]);
    Order(v[1], v[4]);
    Order(v[1], v[3]);
    Order(v[1], v[2]);
}

// Merges two ascending runs of five into one ascending run of ten.
[[gnu::always_inline]] inline void MergeFives(const __m128i a[5], const __m128i b[5], __m128i out[10])
{
    __m128i v[10] = {a[0], a[1], a[2], a[3], a[4], b[0], b[1], b[2], b[3], b[4]};
    Order(v[0], v[5]);
    Order(v[4], v[9]);
    Order(v[4], v[5]);
    Order(v[2], v[7]);
    Order(v[2], v[4]);
    Order(v[7], v[5]);
    Order(v[1], v[6]);
    Order(v[3], v[8]);
    Order(v[3], v[6]);
    Order(v[1], v[2]);
    Order(v[3], v[4]);
    Order(v[6], v[7]);
    Order(v[8], v[5]);
    // The network leaves its result on these positions, smallest first.
    constexpr int kRank[10] = {0, 1, 2, 3, 4, 6, 7, 8, 5, 9};
#pragma GCC unroll 10
    for (int k = 0; k < 10; ++k)
        out[k] = v[kRank[k]];
}

// The fourteenth smallest (rank 13 from 0) of the 25 values held by two
// ascending runs of ten and one ascending run of five.
[[gnu::always_inline]] inline __m128i FourteenthOf(const __m128i left[10], const __m128i middle[10],
                                                   const __m128i right[5])
{
    __m128i v[20];
#pragma GCC unroll 10
    for (int k = 0; k < 10; ++k) {
        v[k] = left[k];
        v[10 + k] = middle[k];
    }
    // Merge of the two runs, pruned to ranks 8 .. 13 of the twenty; where only
    // one side of a comparator is still needed, only that side is computed.
    v[10] = _mm_max_epu8(v[0], v[10]);
    v[8] = _mm_min_epu8(v[8], v[18]);
    Order(v[8], v[10]);
    Order(v[4], v[14]);
    v[8] = _mm_max_epu8(v[4], v[8]);
    Order(v[14], v[10]);
    v[12] = _mm_max_epu8(v[2], v[12]);
    Order(v[6], v[16]);
    Order(v[6], v[12]);
    v[8] = _mm_max_epu8(v[6], v[8]);
    Order(v[12], v[14]);
    v[16] = _mm_min_epu8(v[16], v[10]);
    v[11] = _mm_max_epu8(v[1], v[11]);
    v[9] = _mm_min_epu8(v[9], v[19]);
    Order(v[9], v[11]);
    Order(v[5], v[15]);
    v[9] = _mm_max_epu8(v[5], v[9]);
    v[15] = _mm_min_epu8(v[15], v[11]);
    v[13] = _mm_max_epu8(v[3], v[13]);
    v[7] = _mm_min_epu8(v[7], v[17]);
    Order(v[7], v[13]);
    Order(v[7], v[9]);
    Order(v[13], v[15]);
    v[8] = _mm_max_epu8(v[7], v[8]);
    Order(v[9], v[12]);
    Order(v[13], v[14]);
    v[15] = _mm_min_epu8(v[15], v[16]);
    // Ranks 8 .. 13 of the twenty now lie here.
    const __m128i& m8 = v[8];
    const __m128i& m9 = v[9];
    const __m128i& m10 = v[12];
    const __m128i& m11 = v[13];
    const __m128i& m12 = v[14];
    const __m128i& m13 = v[15];
    // The k-th smallest of two sorted runs X and Y is the least, over every way
    // of taking i values from X and k - i from Y, of the larger of X's i-th and
    // Y's (k - i)-th. Here k = 14 and Y is the right column: i runs 9 .. 14.
    __m128i best = m13;
    best = _mm_min_epu8(best, _mm_max_epu8(m12, right[0]));
    best = _mm_min_epu8(best, _mm_max_epu8(m11, right[1]));
    best = _mm_min_epu8(best, _mm_max_epu8(m10, right[2]));
    best = _mm_min_epu8(best, _mm_max_epu8(m9, right[3]));
    best = _mm_min_epu8(best, _mm_max_epu8(m8, right[4]));
    return best;
}

} // namespace filters::rank
