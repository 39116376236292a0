#pragma once

#include "raster/TBitmap.h"

#include <cstdint>

// Tone and colour changes of every pixel, in place. The three channels are
// unsigned bytes; each operation maps them independently except NB.
namespace effects {

// Black and white: each pixel becomes the truncated gray
// (B x 0.11 + G x 0.59) + R x 0.3, evaluated in extended precision. The weights
// add up to slightly less than one, so white becomes 254.
void NB(TBitmap& bitmap);

// Separate gains out of 128 for red, green and blue: v becomes (v x gain) >> 7,
// at most 255. 128 leaves a channel unchanged.
void AdjustColor(TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b);

// The same gain c out of 128 for all three channels; there is no pivot.
void AdjustContrast(TBitmap& bitmap, std::uint8_t c);

// Adds d to every channel (a 32-bit signed sum) and clamps to 0 ... 255.
void AdjustLuminosite(TBitmap& bitmap, std::int32_t d);

// Negative: v becomes 255 - v.
void InverseColor(TBitmap& bitmap);

// The byte maps as plain loops: every channel byte through a 256-entry table
// of its channel. The four above give the same bytes, faster.
namespace plain {
void AdjustColor(TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b);
void AdjustContrast(TBitmap& bitmap, std::uint8_t c);
void AdjustLuminosite(TBitmap& bitmap, std::int32_t d);
void InverseColor(TBitmap& bitmap);
} // namespace plain

} // namespace effects
