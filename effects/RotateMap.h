#pragma once

#include "raster/TBitmap.h"

#include <QImage>
#include <QSize>
#include <cstdint>

// What the rotation's plain loop and its fast version share: where each
// result pixel comes from, and the bicubic weights.
namespace effects::rotation {

// The result pixel (x, y) takes the source at (x0 + x cos + y sin,
// y0 - x sin + y cos), in pixel coordinates where source pixel (i, j) has its
// centre at (i, j): its centre, taken about the result's centre and turned
// back by the angle, about the source's centre.
struct Map {
    QSize size; // the result's
    double cos = 1;
    double sin = 0;
    double x0 = 0;
    double y0 = 0;
};

// The map of a turn by `degrees` clockwise (not a multiple of 90) of a
// width x height image into an image of `size`.
Map MapFor(int width, int height, double degrees, QSize size);

// True for a whole number of quarter turns, which the exact turns make.
bool QuarterTurns(double degrees);
// The bitmap turned by a whole number of quarter turns.
QImage Turned(const TBitmap& bitmap, double degrees);

// Keys' cubic with a = -0.5, at the distances 1 + f, f, 1 - f and 2 - f of
// the four pixels around a position f past pixel i (pixels i - 1 to i + 2):
// the weights sum to 1.
inline void CubicWeights(double f, double weights[4])
{
    // 1.5 d^3 - 2.5 d^2 + 1 within one pixel, -0.5 d^3 + 2.5 d^2 - 4 d + 2
    // between one and two.
    const auto near = [](double d) { return (1.5 * d - 2.5) * d * d + 1; };
    const auto far = [](double d) { return ((-0.5 * d + 2.5) * d - 4) * d + 2; };
    weights[0] = far(1 + f);
    weights[1] = near(f);
    weights[2] = near(1 - f);
    weights[3] = far(2 - f);
}

// The three bytes of the source at (sx, sy), sampled bicubically from the
// 4 x 4 pixels around it in double precision, those outside the bitmap taken
// as `fill` (blue, green, red).
void Sample(const TBitmap& bitmap, double sx, double sy, const std::uint8_t fill[3], std::uint8_t* out);

} // namespace effects::rotation
