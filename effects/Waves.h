#pragma once

#include "raster/TBitmap.h"

// Sine-wave distortions of the whole image, in place. Positions that no source
// pixel reaches keep the pixel they had.
namespace effects {

// Vertical wave: each column moves up or down as a whole, by up to Height / 16
// rows, about one period of the wave across the width. The top and bottom
// Height / 16 rows of the source are not used.
void VagueY(TBitmap& bitmap);

// Horizontal wave: each row moves left or right as a whole, by up to Width / 16
// pixels plus one to the right, about one and a half periods down the height.
// The Width / 16 pixels at each end of a source row are not used; a pixel that
// would land past the end of its row is dropped.
void VagueX(TBitmap& bitmap);

// VagueX, then VagueY on its result.
void DoubleVague(TBitmap& bitmap);

namespace plain {
// The plain loop of VagueY, one pixel at a time from a copy of the image: for
// each column x, wave = sin(3x x 6.2831885307 / 3W) x A in extended precision
// (A = Height / 16), and for each source row y from A to Height - A - 1, pixel
// (x, (int)(wave + y)) takes pixel (x, y) of the image as it was.
void VagueY(TBitmap& bitmap);
} // namespace plain

} // namespace effects
