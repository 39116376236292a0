#pragma once

#include "raster/TBitmap.h"
#include "raster/TColor.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>

// Whole-image changes of size and orientation: crop, canvas size, turns and
// rotation. Each reads the bitmap and returns a new image in the bitmaps'
// format (Format_BGR888, rows padded to 4 bytes with zero bytes), leaving the
// bitmap as it was. A null image means the result's size is over the bitmap
// limits or its memory cannot be had; nothing is allocated for a refused size.
namespace effects {

// True when a result of width x height pixels may be made: each side from 1 to
// kMaxBitmapSide and at most kMaxBitmapBytes of rows.
bool ResultSizeAllowed(qint64 width, qint64 height);

// A width x height image for a result, its padding bytes zero and its pixels
// unwritten; null when ResultSizeAllowed refuses the size or the memory cannot
// be had.
QImage NewResultImage(int width, int height);

// The pixels of `rect` clipped to the image; null when nothing is left.
QImage Crop(const TBitmap& bitmap, QRect rect);

// What is left once the border rows and columns whose pixels all have exactly
// the colour of the top-left pixel are taken away; the whole image when none
// would go or all would (an image of one colour). An empty rectangle for an
// empty bitmap.
QRect AutocropBounds(const TBitmap& bitmap);

// Where CanvasSize puts the old image: three columns by three rows of
// anchors, read like a page.
enum CanvasAnchor {
    anchorTopLeft,
    anchorTop,
    anchorTopRight,
    anchorLeft,
    anchorCentre,
    anchorRight,
    anchorBottomLeft,
    anchorBottom,
    anchorBottomRight
};

// A width x height image holding the old one at `anchor` (0 to 8, see
// CanvasAnchor); centred offsets are rounded down ((new - old) / 2 with floor
// division, so also when the canvas is smaller). What the canvas does not
// reach is cut; what the old image does not cover takes `fill`. Null also for
// an anchor outside 0 to 8.
QImage CanvasSize(const TBitmap& bitmap, int width, int height, int anchor, TColor fill);

// Exact quarter and half turns. Clockwise, pixel (x, y) of the result is pixel
// (y, Height - 1 - x) of the bitmap; counter-clockwise, (Width - 1 - y, x);
// half, (Width - 1 - x, Height - 1 - y).
QImage TurnClockwise(const TBitmap& bitmap);
QImage TurnCounterClockwise(const TBitmap& bitmap);
QImage TurnHalf(const TBitmap& bitmap);

// The size of the image that Rotate gives for a width x height bitmap: ceil of
// |w cos| + |h sin| by ceil of |w sin| + |h cos|, at least 1 x 1; the sides
// swapped or kept for multiples of 90 degrees. May be over the bitmap limits
// (ResultSizeAllowed tells); an empty size for a non-finite angle.
QSize RotatedSize(int width, int height, double degrees);

// Turns the image by `degrees`, clockwise when positive (any finite angle; the
// dialog offers -360 to 360), into an image of RotatedSize that holds the
// whole picture. Multiples of 90 degrees are the exact turns above. Otherwise
// the centre of each result pixel is taken back to the bitmap and sampled
// bicubically (a = -0.5) from the 4 x 4 pixels around it, pixels outside the
// bitmap counting as `fill`: the corners are `fill` and the edges blend into
// it. Null for a non-finite angle.
QImage Rotate(const TBitmap& bitmap, double degrees, TColor fill);

namespace plain {
// Rotate one pixel and one channel at a time in double precision; Rotate gives
// the same image, at most one level apart, faster.
QImage Rotate(const TBitmap& bitmap, double degrees, TColor fill);
} // namespace plain

} // namespace effects
