#pragma once

#include "platform/TBitmap.h"

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

} // namespace effects
