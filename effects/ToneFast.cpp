// The byte maps of the program: the bytes of the plain table loops in
// Tone.cpp at the speed of memory. A table costs a load per byte and runs
// several times slower on a photo than arithmetic on whole vectors of bytes.
#include "effects/Tone.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace effects {

namespace {

// Sixteen pixels: byte j of a block is channel j % 3 (0 blue, 1 green, 2 red).
constexpr std::size_t kBlockBytes = 48;

// Rewrites every row through `block`, a plain loop over the 48 bytes of one
// block that the compiler turns into vector code. The bytes after the last
// whole block go through it in a spare block.
template <typename Block> void rewriteRows(TBitmap& bitmap, Block block)
{
    const int height = bitmap.Height();
    const std::size_t rowBytes = 3 * std::size_t(bitmap.Width());
    const std::size_t wholeBytes = rowBytes / kBlockBytes * kBlockBytes;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (std::size_t i = 0; i < wholeBytes; i += kBlockBytes)
            block(row + i);
        if (wholeBytes < rowBytes) {
            std::uint8_t spare[kBlockBytes] = {};
            std::memcpy(spare, row + wholeBytes, rowBytes - wholeBytes);
            block(spare);
            std::memcpy(row + wholeBytes, spare, rowBytes - wholeBytes);
        }
    }
}

// Each channel scaled by its own gain out of 128, saturated at 255.
void scaleChannels(TBitmap& bitmap, std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    const std::uint8_t gains[3] = {blue, green, red};
    std::int16_t gain[kBlockBytes];
    for (std::size_t j = 0; j < kBlockBytes; ++j)
        gain[j] = gains[j % 3];
    // The block is not the gains (__restrict): the compiler need not check
    // that the stores leave them as they were.
    rewriteRows(bitmap, [&gain](std::uint8_t* __restrict bytes) {
        // 255 x 255 fits 16 unsigned bits, and once shifted, at most 508,
        // 16 signed ones.
        for (std::size_t j = 0; j < kBlockBytes; ++j) {
            const auto scaled = std::int16_t(std::uint16_t(bytes[j] * gain[j]) >> 7);
            bytes[j] = std::uint8_t(scaled > 255 ? 255 : scaled);
        }
    });
}

} // namespace

void AdjustColor(TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    // The blue channel takes the third gain and the red channel the first.
    scaleChannels(bitmap, b, g, r);
}

void AdjustContrast(TBitmap& bitmap, std::uint8_t c) { scaleChannels(bitmap, c, c, c); }

void AdjustLuminosite(TBitmap& bitmap, std::int32_t d)
{
    // Beyond -255 ... 255 every byte saturates, or the 32-bit sum wraps past
    // its top: the plain loop's table says which.
    if (d < -255 || d > 255) {
        plain::AdjustLuminosite(bitmap, d);
        return;
    }
    const auto offset = std::int16_t(d);
    rewriteRows(bitmap, [offset](std::uint8_t* bytes) {
        for (std::size_t j = 0; j < kBlockBytes; ++j) {
            const auto sum = std::int16_t(bytes[j] + offset);
            bytes[j] = std::uint8_t(sum < 0 ? 0 : sum > 255 ? 255 : sum);
        }
    });
}

void InverseColor(TBitmap& bitmap)
{
    rewriteRows(bitmap, [](std::uint8_t* bytes) {
        for (std::size_t j = 0; j < kBlockBytes; ++j)
            bytes[j] = std::uint8_t(255 - bytes[j]);
    });
}

} // namespace effects
