#pragma once

#include "raster/HugePages.h"
#include "raster/TBitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What the plain and the fast circles share.
namespace effects {

// The angles of one circle, the same for every radius: a single-precision
// angle from 0, each step added in extended precision and rounded back to
// single precision, while it stays below 6.283185307. Rounding makes that 8977
// steps of 0.0007 and 7854 steps of 0.0008. The cosine and sine of each take
// the angle as a double.
struct CircleSteps {
    std::vector<double> cosines;
    std::vector<double> sines;
    double smallestStep = 0; // the smallest difference of two angles in a row
};

const CircleSteps& Cercle1Steps(); // steps of 0.0007
const CircleSteps& Cercle2Steps(); // steps of 0.0008

// True while radius r gets a circle: r < width x 1.1412, in extended precision.
inline bool HasCircle(int r, int width)
{
    return static_cast<long double>(r) < static_cast<long double>(width) * 1.1412;
}

// The image as the circles find it: the address of every row, taken before
// any pixel changes, and a copy of its pixels without row padding, which the
// source cursor reads.
struct CircleImage {
    explicit CircleImage(TBitmap& bitmap);

    int width;
    int height;
    std::size_t rowBytes; // 3 x width
    std::vector<std::uint8_t*> rows;
    LargeBuffer<std::uint8_t> source;
};

} // namespace effects
