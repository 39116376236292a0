#pragma once

#include "raster/TBitmap.h"

// Circular distortions: the image is read pixel after pixel in row order, as a
// cursor, and re-laid along concentric circles of radius 1, 2, 3, ... around
// its centre, up to the largest radius below Width x 1.1412. Positions that no
// circle reaches keep the pixel they had.
namespace effects {

// "Tunnel": every angle step of 0.0007 rad takes the next source pixel.
void Cercle1(TBitmap& bitmap);

// Ripple: steps of 0.0008 rad, and a source pixel is taken only when the step
// lands on another target pixel than the last one.
void Cercle2(TBitmap& bitmap);

// The plain loops of the two, one angle step at a time. The two above run a
// faster version that gives the same bytes.
namespace plain {
void Cercle1(TBitmap& bitmap);
void Cercle2(TBitmap& bitmap);
} // namespace plain

} // namespace effects
