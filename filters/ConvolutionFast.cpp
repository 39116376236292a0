#include "filters/Convolution.h"

#include "filters/RowWindow.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

// The filters' convolution: the bytes of the plain loop in Convolution.cpp.
// Rows are computed into a padded buffer sixteen bytes at a time in 16-bit
// lanes, then the bytes of the region are copied to the scan line. Every sum
// fits in 16 bits: the absolute weights of the filters add up to 23 at most.

namespace filters {
namespace {

// Division of 0 .. limit by a constant as a multiplication and shifts:
// a / divisor == ((a x multiplier) >> 16) >> shift for every a in range.
struct Reciprocal {
    int multiplier = 0;
    int shift = 0;
};

Reciprocal findReciprocal(int divisor, int limit)
{
    for (int shift = 0; shift < 16; ++shift) {
        const std::int64_t multiplier = ((std::int64_t{1} << (16 + shift)) + divisor - 1) / divisor;
        if (multiplier > 0xFFFF)
            break;
        bool exact = true;
        for (int a = 0; a <= limit && exact; ++a)
            exact = ((a * multiplier) >> (16 + shift)) == a / divisor;
        if (exact)
            return {int(multiplier), shift};
    }
    return {};
}

// How 16-bit sums become bytes, clamp(S / divisor + offset) with the division
// truncating toward zero. The filters either divide, with no offset, or add
// an offset to an undivided sum:
//   Divide: a negative sum ends at 0 whatever its quotient; it is taken as 0
//           first and the sign is not needed;
//   Offset: the divisor is 1.
// The final pack clamps to 0 .. 255.
enum class Finish { Divide, Offset };

struct FinishConstants {
    __m128i multiplier;
    __m128i shift;
    __m128i offset;
};

template <Finish F> [[gnu::always_inline]] inline __m128i finishSum(__m128i sum, const FinishConstants& c)
{
    const __m128i zero = _mm_setzero_si128();
    if constexpr (F == Finish::Divide) {
        sum = _mm_srl_epi16(_mm_mulhi_epu16(_mm_max_epi16(sum, zero), c.multiplier), c.shift);
    }
    return _mm_adds_epi16(sum, c.offset);
}

template <Finish F>
[[gnu::always_inline]] inline void storeFinished(std::uint8_t* out, __m128i low, __m128i high, const FinishConstants& c)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(finishSum<F>(low, c), finishSum<F>(high, c)));
}

__m128i load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Adds weight times the 16-bit sums (plain adds and subtractions for 1 and -1).
[[gnu::always_inline]] inline void addWeighted(__m128i& low, __m128i& high, __m128i sumLow, __m128i sumHigh, int weight)
{
    if (weight == 1) {
        low = _mm_add_epi16(low, sumLow);
        high = _mm_add_epi16(high, sumHigh);
    } else if (weight == -1) {
        low = _mm_sub_epi16(low, sumLow);
        high = _mm_sub_epi16(high, sumHigh);
    } else {
        const __m128i w = _mm_set1_epi16(std::int16_t(weight));
        low = _mm_add_epi16(low, _mm_mullo_epi16(sumLow, w));
        high = _mm_add_epi16(high, _mm_mullo_epi16(sumHigh, w));
    }
}

// Everything a row needs besides its three source rows.
struct RowJob {
    int step;
    int first; // first and last byte of the region in the row
    int last;
    FinishConstants finish;
    std::int16_t* columns; // scratch row for the box path
};

using RowFunction = void (*)(const RowJob&, const std::uint8_t* const rows[3], std::uint8_t* out);

// Nine weights of 1 (the blur): the three rows are summed once per byte into a
// scratch row, then three neighbouring column sums make the total.
void boxRow(const RowJob& job, const std::uint8_t* const rows[3], std::uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const int reach = 3 * job.step;
    std::int16_t* columns = job.columns;
    for (int b = job.first - reach; b <= job.last + reach; b += 16) {
        const __m128i above = load(rows[0] + b);
        const __m128i centre = load(rows[1] + b);
        const __m128i below = load(rows[2] + b);
        const __m128i low =
            _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(above, zero), _mm_unpacklo_epi8(centre, zero)),
                          _mm_unpacklo_epi8(below, zero));
        const __m128i high =
            _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(above, zero), _mm_unpackhi_epi8(centre, zero)),
                          _mm_unpackhi_epi8(below, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + b), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + b + 8), high);
    }
    const auto column = [columns](int b) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns + b)); };
    for (int b = job.first; b <= job.last; b += 16) {
        const __m128i low = _mm_add_epi16(_mm_add_epi16(column(b - reach), column(b)), column(b + reach));
        const __m128i high = _mm_add_epi16(_mm_add_epi16(column(b + 8 - reach), column(b + 8)), column(b + 8 + reach));
        storeFinished<Finish::Divide>(out + b, low, high, job.finish);
    }
}

// The filters' own weights, compiled in so that each row runs as straight
// code.
struct Weights {
    int w[3][3];
};

constexpr Weights kBoxWeights{{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};
constexpr Weights kSharpenWeights{{{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}}};
constexpr Weights kEmbossWeights{{{-1, 0, 0}, {0, 0, 0}, {0, 0, 1}}};
constexpr Weights kDiagonalWeights{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

bool sameWeights(const Kernel& kernel, const Weights& weights)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (kernel.weight[i][j] != weights.w[i][j])
                return false;
    return true;
}

// Adds the bytes of the positions P whose weight is Weight into 16-bit sums.
template <Weights W, int Weight, int... P>
[[gnu::always_inline]] inline void sumPositions(const std::uint8_t* const sources[9], int b, __m128i& low,
                                                __m128i& high, std::integer_sequence<int, P...>)
{
    const __m128i zero = _mm_setzero_si128();
    const auto add = [&](const __m128i bytes) {
        low = _mm_add_epi16(low, _mm_unpacklo_epi8(bytes, zero));
        high = _mm_add_epi16(high, _mm_unpackhi_epi8(bytes, zero));
    };
    ((W.w[P / 3][P % 3] == Weight ? add(load(sources[P] + b)) : void()), ...);
}

// True when position G holds a non-zero weight met at no earlier position:
// each distinct weight is summed and multiplied once.
template <Weights W, int G> constexpr bool firstOfItsWeight()
{
    for (int p = 0; p < G; ++p)
        if (W.w[p / 3][p % 3] == W.w[G / 3][G % 3])
            return false;
    return W.w[G / 3][G % 3] != 0;
}

template <Weights W, int... G> [[gnu::always_inline]] inline void addAllWeights(const std::uint8_t* const sources[9],
                                                                                int b, __m128i& low, __m128i& high,
                                                                                std::integer_sequence<int, G...>)
{
    const auto addGroup = [&]<int Position>() __attribute__((always_inline))
    {
        if constexpr (firstOfItsWeight<W, Position>()) {
            constexpr int weight = W.w[Position / 3][Position % 3];
            __m128i sumLow = _mm_setzero_si128();
            __m128i sumHigh = _mm_setzero_si128();
            sumPositions<W, weight>(sources, b, sumLow, sumHigh, std::make_integer_sequence<int, 9>{});
            addWeighted(low, high, sumLow, sumHigh, weight);
        }
    };
    (addGroup.template operator()<G>(), ...);
}

template <Weights W, Finish F> void fixedRow(const RowJob& job, const std::uint8_t* const rows[3], std::uint8_t* out)
{
    const std::uint8_t* sources[9];
    for (int p = 0; p < 9; ++p)
        sources[p] = rows[p / 3] + job.first + 3 * job.step * (p % 3 - 1);
    const FinishConstants finish = job.finish;
    for (int b = 0; b <= job.last - job.first; b += 16) {
        __m128i low = _mm_setzero_si128();
        __m128i high = _mm_setzero_si128();
        addAllWeights<W>(sources, b, low, high, std::make_integer_sequence<int, 9>{});
        storeFinished<F>(out + job.first + b, low, high, finish);
    }
}

// The row of each filter's kernel.
RowFunction filterRow(const Kernel& kernel)
{
    if (sameWeights(kernel, kBoxWeights))
        return boxRow; // TBlur
    if (sameWeights(kernel, kSharpenWeights))
        return fixedRow<kSharpenWeights, Finish::Divide>; // TSharpen, TAquarelle
    if (sameWeights(kernel, kDiagonalWeights))
        return fixedRow<kDiagonalWeights, Finish::Divide>; // TFlou
    return fixedRow<kEmbossWeights, Finish::Offset>; // TEmboss
}

} // namespace

void Convolve(TBitmap& bitmap, const Kernel& kernel, int firstRow, int lastRow, int firstCol, int lastCol)
{
    if (firstRow > lastRow || firstCol > lastCol)
        return;

    RowJob job{};
    int weightSum = 0;
    for (const auto& row : kernel.weight)
        for (const int weight : row)
            weightSum += std::abs(weight);
    job.step = kernel.step;
    job.first = 3 * firstCol;
    job.last = 3 * lastCol + 2;

    // The filters divide by 9 or 3, for which a reciprocal exists over every
    // sum their weights can make.
    const Reciprocal reciprocal = kernel.divisor > 1 ? findReciprocal(kernel.divisor, weightSum * 255) : Reciprocal{};
    job.finish = {_mm_set1_epi16(std::int16_t(reciprocal.multiplier)), _mm_cvtsi32_si128(reciprocal.shift),
                  _mm_set1_epi16(std::int16_t(kernel.offset))};
    const RowFunction row = filterRow(kernel);

    RowWindow window(bitmap, kernel.step);
    std::vector<std::uint8_t> out(PaddedRowLength(bitmap.Width()));
    std::vector<std::int16_t> columns(row == boxRow ? PaddedRowLength(bitmap.Width()) : 0);
    job.columns = columns.data();
    for (int r = firstRow; r <= lastRow; ++r) {
        window.MoveTo(r);
        const std::uint8_t* const rows[3] = {window.Row(r - kernel.step), window.Row(r), window.Row(r + kernel.step)};
        row(job, rows, out.data());
        std::memcpy(bitmap.ScanLine(r) + job.first, out.data() + job.first, std::size_t(job.last - job.first) + 1);
    }
}

} // namespace filters
