#pragma once

#include "raster/TBitmap.h"

#include <cstdint>

// Whole-image reversals. Both work in place on the rows and give the same
// bytes as building the result in a separate image and copying it back.
namespace effects {

// Swaps left and right: pixel x of every row takes pixel Width - 1 - x, its
// three bytes kept in their blue, green, red order.
void Mirror(TBitmap& bitmap);

// Swaps top and bottom: row r takes row Height - 1 - r.
void Flip(TBitmap& bitmap);

namespace plain {
// Reverses the order of the 3-byte pixels of the bytes [left, right).
void ReversePixels(std::uint8_t* left, std::uint8_t* right);
// Mirror, one pixel pair at a time; Mirror above gives the same bytes, faster.
void Mirror(TBitmap& bitmap);
} // namespace plain

} // namespace effects
