#pragma once

#include "raster/TBitmap.h"

#include <cstdint>

// The filters written out as plainly as possible, one byte at a time from a
// full working copy of the image, to hold the fast filters to the byte.
namespace reference {

void Blur(TBitmap& bmp, const std::int16_t (&coef)[3][3]);
void Flou(TBitmap& bmp);
void Sharpen(TBitmap& bmp, const std::int16_t (&coef)[3][3]);
void Emboss(TBitmap& bmp);
void Aquarelle(TBitmap& bmp);

} // namespace reference
