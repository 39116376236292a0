#include "filters/Convolution.h"

#include "filters/RowWindow.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace filters {
namespace {

// One non-zero weight: which of the three rows it reads, how many bytes left
// (negative) or right of the target byte, and the weight itself.
struct Tap {
    int row;
    int shift;
    int weight;
};

// Division of 0 .. limit by a constant as a multiplication and shifts:
// a / divisor == ((a x multiplier) >> 16) >> shift for every a in range.
struct Reciprocal {
    bool found = false;
    int multiplier = 0;
    int shift = 0;
};

Reciprocal FindReciprocal(int divisor, int limit)
{
    for (int shift = 0; shift < 16; ++shift) {
        const std::int64_t multiplier = ((std::int64_t{1} << (16 + shift)) + divisor - 1) / divisor;
        if (multiplier > 0xFFFF)
            break;
        bool exact = true;
        for (int a = 0; a <= limit && exact; ++a)
            exact = ((a * multiplier) >> (16 + shift)) == a / divisor;
        if (exact)
            return {true, int(multiplier), shift};
    }
    return {};
}

std::uint8_t clampByte(int value) { return std::uint8_t(std::clamp(value, 0, 255)); }

// Bytes first .. last of one row, sixteen at a time in 16-bit lanes. Every sum
// fits in 16 bits (the absolute weights add up to 128 at most), the division
// works on the magnitude and truncates toward zero, and the final pack clamps
// to 0 .. 255. Writes whole vectors into out, up to 15 bytes past last.
void convolveRowVector(const std::uint8_t* const rows[3], const Tap* taps, int tapCount, int first, int last,
                       int divisor, const Reciprocal& reciprocal, int offset, std::uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i multiplier = _mm_set1_epi16(std::int16_t(reciprocal.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(reciprocal.shift);
    const __m128i bias = _mm_set1_epi16(std::int16_t(offset));
    const auto divide = [&](__m128i sum) {
        const __m128i sign = _mm_srai_epi16(sum, 15);
        const __m128i magnitude = _mm_max_epi16(sum, _mm_sub_epi16(zero, sum));
        const __m128i quotient = _mm_srl_epi16(_mm_mulhi_epu16(magnitude, multiplier), shift);
        return _mm_sub_epi16(_mm_xor_si128(quotient, sign), sign);
    };
    for (int b = first; b <= last; b += 16) {
        __m128i low = zero;
        __m128i high = zero;
        for (int t = 0; t < tapCount; ++t) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[taps[t].row] + b + taps[t].shift));
            const __m128i lowBytes = _mm_unpacklo_epi8(bytes, zero);
            const __m128i highBytes = _mm_unpackhi_epi8(bytes, zero);
            const int weight = taps[t].weight;
            if (weight == 1) {
                low = _mm_add_epi16(low, lowBytes);
                high = _mm_add_epi16(high, highBytes);
            } else if (weight == -1) {
                low = _mm_sub_epi16(low, lowBytes);
                high = _mm_sub_epi16(high, highBytes);
            } else {
                const __m128i w = _mm_set1_epi16(std::int16_t(weight));
                low = _mm_add_epi16(low, _mm_mullo_epi16(lowBytes, w));
                high = _mm_add_epi16(high, _mm_mullo_epi16(highBytes, w));
            }
        }
        if (divisor != 1) {
            low = divide(low);
            high = divide(high);
        }
        low = _mm_adds_epi16(low, bias);
        high = _mm_adds_epi16(high, bias);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b), _mm_packus_epi16(low, high));
    }
}

// The same one byte at a time in plain integers, for weights too large for
// 16-bit lanes.
void convolveRowScalar(const std::uint8_t* const rows[3], const Tap* taps, int tapCount, int first, int last,
                       int divisor, int offset, std::uint8_t* out)
{
    for (int b = first; b <= last; ++b) {
        int sum = 0;
        for (int t = 0; t < tapCount; ++t)
            sum += taps[t].weight * rows[taps[t].row][b + taps[t].shift];
        out[b] = clampByte(sum / divisor + offset);
    }
}

} // namespace

void Convolve(TBitmap& bitmap, const Kernel& kernel, int firstRow, int lastRow, int firstCol, int lastCol)
{
    if (firstRow > lastRow || firstCol > lastCol)
        return;

    Tap taps[9];
    int tapCount = 0;
    int weightSum = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (const int weight = kernel.weight[i][j]; weight != 0) {
                taps[tapCount++] = {i, 3 * kernel.step * (j - 1), weight};
                weightSum += std::abs(weight);
            }

    const int limit = weightSum * 255;
    Reciprocal reciprocal{kernel.divisor == 1, 0, 0};
    if (kernel.divisor > 1 && limit <= 32767)
        reciprocal = FindReciprocal(kernel.divisor, limit);
    const bool vector = limit <= 32767 && reciprocal.found && std::abs(kernel.offset) <= 255;

    const int first = 3 * firstCol;
    const int last = 3 * lastCol + 2;
    RowWindow window(bitmap, kernel.step);
    std::vector<std::uint8_t> out(PaddedRowLength(bitmap.Width()));
    for (int r = firstRow; r <= lastRow; ++r) {
        window.MoveTo(r);
        const std::uint8_t* const rows[3] = {window.Row(r - kernel.step), window.Row(r), window.Row(r + kernel.step)};
        if (vector)
            convolveRowVector(rows, taps, tapCount, first, last, kernel.divisor, reciprocal, kernel.offset, out.data());
        else
            convolveRowScalar(rows, taps, tapCount, first, last, kernel.divisor, kernel.offset, out.data());
        std::memcpy(bitmap.ScanLine(r) + first, out.data() + first, std::size_t(last - first + 1));
    }
}

} // namespace filters
