#include "codecs/PngRowFilter.h"

#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

namespace {

using Byte = std::uint8_t;

// The sum of the bytes read as signed values, each taken without its sign.
inline quint64 signedSum(const Byte* bytes, qsizetype count)
{
    quint64 sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += quint64(std::abs(int(std::int8_t(bytes[i]))));
    return sum;
}

// The magnitude of each byte read as signed (128 stays 128), summed by halves
// into the two 64-bit lanes of `sum`.
inline __m128i addMagnitudes(__m128i sum, __m128i v)
{
    const __m128i magnitude = _mm_min_epu8(v, _mm_sub_epi8(_mm_setzero_si128(), v));
    return _mm_add_epi64(sum, _mm_sad_epu8(magnitude, _mm_setzero_si128()));
}

inline quint64 lanes(__m128i sum)
{
    return quint64(_mm_cvtsi128_si64(sum)) + quint64(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sum, sum)));
}

// The Paeth predictor of 8 pixels' bytes in 16-bit lanes: of left (a), up (b)
// and up-left (c), the one closest to a + b - c, ties going to a, then b.
inline __m128i paethLanes(__m128i a, __m128i b, __m128i c)
{
    const auto magnitude = [](__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); };
    const __m128i pa = magnitude(_mm_sub_epi16(b, c));
    const __m128i pb = magnitude(_mm_sub_epi16(a, c));
    const __m128i pc = magnitude(_mm_add_epi16(_mm_sub_epi16(b, c), _mm_sub_epi16(a, c)));
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i notB = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_andnot_si128(notB, b), _mm_and_si128(notB, c));
    return _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bOrC));
}

inline int paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

} // namespace

// The five filters of a row of `count` bytes (3 a pixel), against the row
// above (zeros above the first row): None, Sub, Up, Average and Paeth, each
// written after its type byte into `out[type]`. Returns the type whose bytes,
// read as signed, have the least sum of magnitudes: the usual cheap guess at
// the one deflate codes smallest. With x a byte, a the one on its left (0 for
// the first pixel), b the one above and c above on the left, the plain loop is
//     sub = x - a, up = x - b, average = x - (a + b) / 2, paeth = x - paethPredictor(a, b, c)
// which runs here on 16 bytes at a time, then one by one for the last few.
int FilterPngRow(const Byte* row, const Byte* above, qsizetype count, Byte* const out[5])
{
    Byte* const none = out[0] + 1;
    Byte* const sub = out[1] + 1;
    Byte* const up = out[2] + 1;
    Byte* const average = out[3] + 1;
    Byte* const paeth = out[4] + 1;
    std::memcpy(none, row, size_t(count));
    qsizetype i = 0;
    for (; i < std::min<qsizetype>(3, count); ++i) {
        sub[i] = row[i];
        up[i] = Byte(row[i] - above[i]);
        average[i] = Byte(row[i] - (above[i] >> 1));
        paeth[i] = Byte(row[i] - above[i]);
    }
    quint64 sums[5] = {signedSum(none, count), signedSum(sub, i), signedSum(up, i), signedSum(average, i),
                       signedSum(paeth, i)};
    __m128i sum[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    const __m128i one = _mm_set1_epi8(1);
    for (; i + 16 <= count; i += 16) {
        const auto load = [](const Byte* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
        const __m128i x = load(row + i), a = load(row + i - 3), b = load(above + i), c = load(above + i - 3);
        const __m128i s = _mm_sub_epi8(x, a);
        const __m128i u = _mm_sub_epi8(x, b);
        // _mm_avg_epu8 rounds up: one less when a + b is odd.
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        const __m128i v = _mm_sub_epi8(x, mean);
        const __m128i zero = _mm_setzero_si128();
        const __m128i low =
            paethLanes(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
        const __m128i high =
            paethLanes(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
        const __m128i p = _mm_sub_epi8(x, _mm_packus_epi16(low, high));
        const auto store = [](Byte* at, __m128i value) { _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value); };
        store(sub + i, s);
        store(up + i, u);
        store(average + i, v);
        store(paeth + i, p);
        sum[0] = addMagnitudes(sum[0], s);
        sum[1] = addMagnitudes(sum[1], u);
        sum[2] = addMagnitudes(sum[2], v);
        sum[3] = addMagnitudes(sum[3], p);
    }
    const qsizetype rest = i;
    for (; i < count; ++i) {
        const int a = row[i - 3], b = above[i], c = above[i - 3];
        sub[i] = Byte(row[i] - a);
        up[i] = Byte(row[i] - b);
        average[i] = Byte(row[i] - ((a + b) >> 1));
        paeth[i] = Byte(row[i] - paethPredictor(a, b, c));
    }
    for (int type = 1; type < 5; ++type)
        sums[type] += lanes(sum[type - 1]) + signedSum(out[type] + 1 + rest, count - rest);
    int best = 0;
    for (int type = 1; type < 5; ++type)
        if (sums[type] < sums[best])
            best = type;
    out[best][0] = Byte(best);
    return best;
}
