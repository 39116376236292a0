#pragma once

#include "platform/TBitmap.h"

// Whole-image reversals. Both work in place on the rows and give the same
// bytes as building the result in a separate image and copying it back.
namespace effects {

// Swaps left and right: pixel x of every row takes pixel Width - 1 - x, its
// three bytes kept in their blue, green, red order.
void Mirror(TBitmap& bitmap);

// Swaps top and bottom: row r takes row Height - 1 - r.
void Flip(TBitmap& bitmap);

} // namespace effects
