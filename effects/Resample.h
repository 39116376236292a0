#pragma once

#include "raster/TBitmap.h"

#include <QImage>
#include <cstdint>
#include <vector>

// Resizing the whole image to a new width and height.
namespace effects {

// How a resized pixel is made from the source pixels around it. Lanczos with
// a = 3 (sinc(x) sinc(x / 3) within three pixels), Keys' bicubic with
// a = -0.5 (within two pixels), the bilinear triangle (within one pixel), or
// the nearest pixel alone.
enum class ResampleFilter { Lanczos, Bicubic, Bilinear, Nearest };

// The image resized to width x height; null when the size is over the limits
// (see ResultSizeAllowed in Geometry.h) or the memory cannot be had. The two
// directions are resampled one after the other, through a float image:
// horizontally then vertically, or the other way round when that is less work.
// Result pixel x takes the source around x' = (x + 0.5) scale - 0.5, with
// scale = source size / result size (pixel centres aligned). When shrinking,
// the filter is widened by the scale, so that it covers as many source pixels
// as it covers result pixels. Weights are normalised to sum to 1, and taps that
// fall outside the image are dropped, the remaining weights normalised again.
// Nearest takes source pixel floor((x + 0.5) scale), computed exactly. Each
// channel is rounded to nearest and clamped to 0 to 255 once, at the end.
// Rows of the result are shared among up to QThread::idealThreadCount()
// threads; the bytes do not depend on how many.
QImage Resize(const TBitmap& bitmap, int width, int height, ResampleFilter filter);

namespace resample {

// The weights of one result pixel along one direction: source pixels first to
// first + weights.size() - 1.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

// The taps of every result pixel of a line of `from` source pixels resized to
// `to` pixels (the identity when both are equal). Computed in double,
// normalised, then rounded to float.
std::vector<Taps> TapsFor(int from, int to, ResampleFilter filter);

// True when the vertical pass should come first, for a source `fromWidth`
// wide and `fromHeight` tall: it is less work, or the rows that the other
// order keeps at once would take too much memory.
bool VerticalFirst(int fromWidth, int fromHeight, const std::vector<Taps>& across, const std::vector<Taps>& down);

// Source pixel floor((x + 0.5) from / to) of every result pixel x, for the
// nearest filter.
std::vector<int> NearestFor(int from, int to);

// The bitmap resized into `result` (already made, of the result's size) by
// the nearest filter; returns it.
QImage Nearest(const TBitmap& bitmap, QImage result);

// A channel's sum as a byte: rounded to nearest, clamped to 0 to 255.
inline std::uint8_t ToByte(float sum)
{
    if (!(sum > 0.0f))
        return 0;
    if (sum >= 255.0f)
        return 255;
    return std::uint8_t(int(sum + 0.5f));
}

} // namespace resample

namespace plain {
// Resize as plain loops, one channel of one pixel at a time, in one thread.
// Resize gives the same bytes, faster.
QImage Resize(const TBitmap& bitmap, int width, int height, ResampleFilter filter);
} // namespace plain

} // namespace effects
