#include "effects/Tone.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace effects {

namespace {

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

namespace plain {

namespace {

using ByteTable = std::array<std::uint8_t, 256>;

// v x gain >> 7, at most 255.
ByteTable gainTable(std::uint8_t gain)
{
    ByteTable table;
    for (unsigned v = 0; v < 256; ++v) {
        const unsigned scaled = (v * gain) >> 7;
        table[v] = std::uint8_t(scaled > 255 ? 255 : scaled);
    }
    return table;
}

ByteTable offsetTable(std::int32_t d)
{
    ByteTable table;
    for (unsigned v = 0; v < 256; ++v) {
        // A 32-bit signed sum, which wraps past the top of the range as the
        // machine's addition does, then clamped to 0 ... 255.
        const auto sum = static_cast<std::int32_t>(v + static_cast<std::uint32_t>(d));
        table[v] = std::uint8_t(sum < 0 ? 0 : sum > 255 ? 255 : sum);
    }
    return table;
}

ByteTable negativeTable()
{
    ByteTable table;
    for (unsigned v = 0; v < 256; ++v)
        table[v] = std::uint8_t(255 - v);
    return table;
}

void mapChannels(TBitmap& bitmap, const ByteTable& blue, const ByteTable& green, const ByteTable& red)
{
    const int height = bitmap.Height();
    const int width = bitmap.Width();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = blue[p[0]];
            p[1] = green[p[1]];
            p[2] = red[p[2]];
        }
    }
}

} // namespace

void AdjustColor(TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    // The blue channel takes the third gain and the red channel the first.
    mapChannels(bitmap, gainTable(b), gainTable(g), gainTable(r));
}

void AdjustContrast(TBitmap& bitmap, std::uint8_t c)
{
    const ByteTable gain = gainTable(c);
    mapChannels(bitmap, gain, gain, gain);
}

void AdjustLuminosite(TBitmap& bitmap, std::int32_t d)
{
    const ByteTable offset = offsetTable(d);
    mapChannels(bitmap, offset, offset, offset);
}

void InverseColor(TBitmap& bitmap)
{
    static const ByteTable negative = negativeTable();
    mapChannels(bitmap, negative, negative, negative);
}

} // namespace plain

} // namespace effects
