// The circles as plain loops, one angle step at a time. The program runs the
// faster version in CirclesFast.cpp; the tests hold it to these loops.
#include "effects/Circles.h"

#include "effects/CircleParts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace effects {

namespace {

CircleSteps circleSteps(double step)
{
    CircleSteps steps;
    steps.smallestStep = step * 2;
    float previous = 0;
    for (float angle = 0; static_cast<long double>(angle) < 6.283185307;
         angle = static_cast<float>(static_cast<long double>(angle) + step)) {
        steps.cosines.push_back(std::cos(static_cast<double>(angle)));
        steps.sines.push_back(std::sin(static_cast<double>(angle)));
        if (steps.cosines.size() > 1)
            steps.smallestStep = std::min(steps.smallestStep, double(angle) - double(previous));
        previous = angle;
    }
    return steps;
}

} // namespace

CircleImage::CircleImage(TBitmap& bitmap)
    : width(bitmap.Width()),
      height(bitmap.Height()),
      rowBytes(3 * std::size_t(width)),
      rows(static_cast<std::size_t>(height)),
      source(AllocateLargeArray<std::uint8_t>(rowBytes * std::size_t(height)))
{
    if (!source)
        throw std::bad_alloc();
    for (int y = 0; y < height; ++y) {
        rows[std::size_t(y)] = bitmap.ScanLine(y);
        std::memcpy(source.get() + std::size_t(y) * rowBytes, rows[std::size_t(y)], rowBytes);
    }
}

const CircleSteps& Cercle1Steps()
{
    static const CircleSteps steps = circleSteps(0.0007);
    return steps;
}

const CircleSteps& Cercle2Steps()
{
    static const CircleSteps steps = circleSteps(0.0008);
    return steps;
}

namespace plain {

namespace {

// Circles r = 1, 2, ... while r < width x 1.1412, each laid step by step in
// the order of its angles. The source cursor reads the image as it was before
// the first circle; it moves before it is used, and its column starts again
// from 0 with each circle, its row does not.
void layCircles(TBitmap& bitmap, const CircleSteps& steps, bool skipRepeats)
{
    if (bitmap.Width() == 0 || bitmap.Height() == 0)
        return;
    const CircleImage image(bitmap);
    const int width = image.width;
    const int height = image.height;
    const int centreX = width >> 1;
    const int centreY = height >> 1;
    std::uint8_t* const* const rows = image.rows.data();
    const std::uint8_t* const source = image.source.get();
    const std::size_t rowBytes = image.rowBytes;

    const std::size_t count = steps.cosines.size();
    int sourceRow = 0;
    int lastX = -255; // the target of the last step taken, kept from one
    int lastY = -255; // circle to the next (Cercle2)
    for (int r = 1; HasCircle(r, width); ++r) {
        int sourceColumn = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const int x = static_cast<int>(static_cast<long double>(steps.cosines[i]) * r + centreX);
            const int y = static_cast<int>(static_cast<long double>(steps.sines[i]) * r + centreY);
            if (skipRepeats) {
                if (x == lastX && y == lastY)
                    continue;
                lastX = x;
                lastY = y;
            }
            if (++sourceColumn == width) {
                sourceColumn = 0;
                if (++sourceRow == height)
                    sourceRow = 0;
            }
            if (x >= 0 && x < width && y >= 0 && y < height)
                std::memcpy(rows[y] + 3 * std::size_t(x),
                            source + std::size_t(sourceRow) * rowBytes + 3 * std::size_t(sourceColumn), 3);
        }
    }
}

} // namespace

void Cercle1(TBitmap& bitmap) { layCircles(bitmap, Cercle1Steps(), false); }

void Cercle2(TBitmap& bitmap) { layCircles(bitmap, Cercle2Steps(), true); }

} // namespace plain

} // namespace effects
