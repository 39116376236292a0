#pragma once

#include "commands/CommandTable.h"

// The Reshape functions of the command table's rows (see CommandTable.h).
namespace commands::reshapes {

// The rectangle between (X0, Y0) and (X1, Y1), which must lie in the image.
QImage crop(const TBitmap& image, const TSelection& mask, const Values& values, TColor background);
// Without the border rows and columns of the top-left pixel's colour.
QImage autocrop(const TBitmap& image, const TSelection& mask, const Values& values, TColor background);
// To the Size values L and H, with the filter of the third value.
QImage resize(const TBitmap& image, const TSelection& mask, const Values& values, TColor background);
// A canvas of L x H pixels, the image at the anchor, the rest of 0xRRGGBB.
QImage canvasSize(const TBitmap& image, const TSelection& mask, const Values& values, TColor background);
// By hundredths of a degree, clockwise; the corners take `background`.
QImage rotate(const TBitmap& image, const TSelection& mask, const Values& values, TColor background);

} // namespace commands::reshapes
