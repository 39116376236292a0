#include "effects/Tone.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <emmintrin.h>

namespace effects {

namespace {

// The byte maps run on SSE2, which every x86-64 processor has: sixteen bytes
// at a time, at the speed of memory. A 256-entry table costs a load per byte
// and runs three times slower on a photo.

// Rewrites every row: whole blocks of 48 bytes (16 pixels) through `block`,
// which gets each of the block's three vectors with its index k (the vector
// starts with channel k: 0 blue, 1 green, 2 red, since 16 = 1 mod 3), and the
// bytes after the last block one at a time through `byte`, which gets the
// byte's channel too.
template <typename Block, typename Byte> void rewriteRows(TBitmap& bitmap, Block block, Byte byte)
{
    const int height = bitmap.Height();
    const std::size_t rowBytes = 3 * std::size_t(bitmap.Width());
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        std::size_t i = 0;
        for (; i + 48 <= rowBytes; i += 48) {
            for (int k = 0; k < 3; ++k) {
                auto* p = reinterpret_cast<__m128i*>(row + i + 16 * k);
                _mm_storeu_si128(p, block(_mm_loadu_si128(p), k));
            }
        }
        for (; i < rowBytes; ++i)
            row[i] = byte(row[i], int(i % 3));
    }
}

// v x gain / 128, the remainder dropped, saturated at 255.
std::uint8_t scaleByte(unsigned v, unsigned gain)
{
    const unsigned scaled = (v * gain) >> 7;
    return std::uint8_t(scaled > 255 ? 255 : scaled);
}

// Each channel scaled by its own gain: gains[0] blue, [1] green, [2] red.
void scaleChannels(TBitmap& bitmap, const std::array<std::uint8_t, 3>& gains)
{
    // The gains of the 16-bit lanes of vector k's low and high halves.
    __m128i low[3];
    __m128i high[3];
    for (int k = 0; k < 3; ++k) {
        alignas(16) std::int16_t lanes[16];
        for (int j = 0; j < 16; ++j)
            lanes[j] = gains[std::size_t((16 * k + j) % 3)];
        low[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
        high[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes + 8));
    }
    const __m128i zero = _mm_setzero_si128();
    rewriteRows(
        bitmap,
        [&](__m128i v, int k) {
            // 255 x 255 fits 16 unsigned bits; after the shift at most 508,
            // which the signed-to-unsigned pack saturates at 255.
            const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), low[k]), 7);
            const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), high[k]), 7);
            return _mm_packus_epi16(lo, hi);
        },
        [&](std::uint8_t v, int channel) { return scaleByte(v, gains[std::size_t(channel)]); });
}

// Weights of the gray value in units of 2^-56. The double nearest 0.11 lies in
// [2^-4, 2^-3), so it is a whole number of 2^-56; 0.59 and 0.3 have coarser
// steps still. A channel times a weight, the partial sum and the full sum are
// then whole numbers of 2^-56 below 2^8 (the weights add up to less than 1),
// which the 64-bit significand of the extended type holds exactly: the extended
// evaluation (B x 0.11 + G x 0.59) + R x 0.3 never rounds, and its truncation
// is the integer part of the exact sum. The same sum in 64-bit integers, one
// table per channel, gives the same gray without a floating-point operation per
// pixel. Each entry is made from the extended product itself, so the tables hold
// exactly what the expression adds.
using WeightTable = std::array<std::uint64_t, 256>;
constexpr int kGrayFractionBits = 56;

WeightTable weightTable(double weight)
{
    WeightTable table;
    for (int v = 0; v < 256; ++v)
        table[v] = static_cast<std::uint64_t>(std::ldexp(static_cast<long double>(v) * weight, kGrayFractionBits));
    return table;
}

} // namespace

void NB(TBitmap& bitmap)
{
    static const WeightTable blue = weightTable(0.11);
    static const WeightTable green = weightTable(0.59);
    static const WeightTable red = weightTable(0.3);
    const int height = bitmap.Height();
    const int width = bitmap.Width();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const std::uint64_t sum = blue[p[0]] + green[p[1]] + red[p[2]];
            const auto gray = std::uint8_t(sum >> kGrayFractionBits);
            p[0] = gray;
            p[1] = gray;
            p[2] = gray;
        }
    }
}

void AdjustColor(TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    // The blue channel takes the third gain and the red channel the first.
    scaleChannels(bitmap, {b, g, r});
}

void AdjustContrast(TBitmap& bitmap, std::uint8_t c) { scaleChannels(bitmap, {c, c, c}); }

void AdjustLuminosite(TBitmap& bitmap, std::int32_t d)
{
    // A 32-bit signed sum, which wraps past the top of the range as the
    // machine's addition does, then clamped to 0 ... 255.
    const __m128i offset = _mm_set1_epi32(d);
    const __m128i zero = _mm_setzero_si128();
    rewriteRows(
        bitmap,
        [&](__m128i v, int) {
            const __m128i lo = _mm_unpacklo_epi8(v, zero);
            const __m128i hi = _mm_unpackhi_epi8(v, zero);
            const __m128i sum0 = _mm_add_epi32(_mm_unpacklo_epi16(lo, zero), offset);
            const __m128i sum1 = _mm_add_epi32(_mm_unpackhi_epi16(lo, zero), offset);
            const __m128i sum2 = _mm_add_epi32(_mm_unpacklo_epi16(hi, zero), offset);
            const __m128i sum3 = _mm_add_epi32(_mm_unpackhi_epi16(hi, zero), offset);
            // Signed saturation to 16 bits, then to 0 ... 255: the clamp.
            return _mm_packus_epi16(_mm_packs_epi32(sum0, sum1), _mm_packs_epi32(sum2, sum3));
        },
        [d](std::uint8_t v, int) {
            const auto sum = static_cast<std::int32_t>(v + static_cast<std::uint32_t>(d));
            return std::uint8_t(sum < 0 ? 0 : sum > 255 ? 255 : sum);
        });
}

void InverseColor(TBitmap& bitmap)
{
    const __m128i ones = _mm_set1_epi8(-1);
    rewriteRows(
        bitmap, [&](__m128i v, int) { return _mm_xor_si128(v, ones); },
        [](std::uint8_t v, int) { return std::uint8_t(255 - v); });
}

} // namespace effects
