// Rotation by any angle, as a plain loop: each result pixel, each channel, the
// 4 x 4 source pixels around where it comes from, in double precision. The
// program's rotation is the faster version in RotateFast.cpp.
#include "effects/Geometry.h"
#include "effects/RotateMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace effects {

namespace rotation {

Map MapFor(int width, int height, double degrees, QSize size)
{
    const double radians = std::fmod(degrees, 360.0) * (std::numbers::pi / 180.0);
    Map map;
    map.size = size;
    map.cos = std::cos(radians);
    map.sin = std::sin(radians);
    // Result pixel (0, 0) lies (0.5 - W / 2, 0.5 - H / 2) from the result's
    // centre; turned back, it lies (dx cos + dy sin, -dx sin + dy cos) from
    // the source's centre, which is at ((w - 1) / 2, (h - 1) / 2).
    const double dx = 0.5 - size.width() / 2.0;
    const double dy = 0.5 - size.height() / 2.0;
    map.x0 = (width - 1) / 2.0 + dx * map.cos + dy * map.sin;
    map.y0 = (height - 1) / 2.0 - dx * map.sin + dy * map.cos;
    return map;
}

bool QuarterTurns(double degrees) { return std::fmod(degrees, 90.0) == 0.0; }

QImage Turned(const TBitmap& bitmap, double degrees)
{
    switch (int(std::fmod(degrees, 360.0) / 90.0 + 4) % 4) {
    case 1: return TurnClockwise(bitmap);
    case 2: return TurnHalf(bitmap);
    case 3: return TurnCounterClockwise(bitmap);
    default: return Crop(bitmap, QRect(0, 0, bitmap.Width(), bitmap.Height()));
    }
}

void Sample(const TBitmap& bitmap, double sx, double sy, const std::uint8_t fill[3], std::uint8_t* out)
{
    const double fx = std::floor(sx);
    const double fy = std::floor(sy);
    double wx[4];
    double wy[4];
    CubicWeights(sx - fx, wx);
    CubicWeights(sy - fy, wy);
    for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int j = 0; j < 4; ++j) {
            const double row = fy - 1 + j;
            double across = 0;
            for (int i = 0; i < 4; ++i) {
                const double column = fx - 1 + i;
                const bool inside = column >= 0 && column < bitmap.Width() && row >= 0 && row < bitmap.Height();
                across += wx[i] * (inside ? bitmap.ScanLine(int(row))[3 * int(column) + c] : fill[c]);
            }
            sum += wy[j] * across;
        }
        out[c] = std::uint8_t(std::clamp(std::floor(sum + 0.5), 0.0, 255.0));
    }
}

} // namespace rotation

namespace plain {

QImage Rotate(const TBitmap& bitmap, double degrees, TColor fill)
{
    const QSize size = RotatedSize(bitmap.Width(), bitmap.Height(), degrees);
    if (size.isEmpty())
        return QImage();
    if (rotation::QuarterTurns(degrees))
        return rotation::Turned(bitmap, degrees);
    QImage result = NewResultImage(size.width(), size.height());
    if (result.isNull())
        return result;
    const rotation::Map map = rotation::MapFor(bitmap.Width(), bitmap.Height(), degrees, size);
    const std::uint8_t fillBytes[3] = {GetBValue(fill), GetGValue(fill), GetRValue(fill)};
    for (int y = 0; y < size.height(); ++y) {
        std::uint8_t* out = result.scanLine(y);
        for (int x = 0; x < size.width(); ++x, out += 3)
            rotation::Sample(bitmap, map.x0 + x * map.cos + y * map.sin, map.y0 - x * map.sin + y * map.cos, fillBytes,
                             out);
    }
    return result;
}

} // namespace plain

} // namespace effects
