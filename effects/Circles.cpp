#include "effects/Circles.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace effects {

namespace {

// The angles of one circle, the same for every radius: a single-precision
// angle from 0, each step added in extended precision and rounded back to
// single precision, while it stays below this limit. Rounding makes that 8977
// steps of 0.0007 and 7854 steps of 0.0008.
constexpr double kAngleLimit = 6.283185307;
// Circles are laid while the radius is below the width times this factor.
constexpr double kRadiusFactor = 1.1412;

struct CircleSteps {
    std::vector<double> cosines;
    std::vector<double> sines;
    double smallestStep = 0;  // the smallest difference of two angles in a row
};

CircleSteps circleSteps(double step)
{
    CircleSteps steps;
    float angle = 0;
    float previous = 0;
    steps.smallestStep = step * 2;
    while (static_cast<long double>(angle) < kAngleLimit) {
        steps.cosines.push_back(std::cos(static_cast<double>(angle)));
        steps.sines.push_back(std::sin(static_cast<double>(angle)));
        if (steps.cosines.size() > 1)
            steps.smallestStep = std::min(steps.smallestStep, double(angle) - double(previous));
        previous = angle;
        angle = static_cast<float>(static_cast<long double>(angle) + step);
    }
    return steps;
}

// One coordinate of a sample: unit x radius + centre, evaluated in extended
// precision and truncated toward zero, with unit the double cosine or sine.
int exactCoordinate(double unit, int radius, int centre)
{
    return static_cast<int>(static_cast<long double>(unit) * radius + centre);
}

// The same coordinate without an extended operation in the common case. In
// double precision the sum is within 2^-36 of the exact value, and the extended
// one within 2^-47 of it, since every magnitude stays below 2^17. When the
// double sum is farther than kMargin from every whole number, both truncate
// alike; otherwise the extended expression decides.
constexpr double kMargin = 1.0 / (1 << 24);

inline int coordinate(double unit, int radius, int centre)
{
    const double approximate = unit * radius + centre;
    const int whole = static_cast<int>(approximate);
    const double fraction = std::fabs(approximate - whole);  // exact
    if (fraction > kMargin && fraction < 1 - kMargin)
        return whole;
    return exactCoordinate(unit, radius, centre);
}

// Everything one run needs: the source pixels and the rows they go to.
class CircleLayer {
public:
    explicit CircleLayer(TBitmap& bitmap)
        : width_(bitmap.Width()),
          height_(bitmap.Height()),
          rowBytes_(3 * std::size_t(width_)),
          centreX_(width_ >> 1),
          centreY_(height_ >> 1),
          source_(std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes_ * std::size_t(height_))),
          rows_(std::size_t(height_))
    {
        // The cursor reads the image as it was; the circles are laid straight
        // into it, so a position no circle reaches keeps its pixel.
        for (int y = 0; y < height_; ++y) {
            rows_[std::size_t(y)] = bitmap.ScanLine(y);
            std::memcpy(source_.get() + std::size_t(y) * rowBytes_, rows_[std::size_t(y)], rowBytes_);
        }
        // A sample lands in the image when both of its sums lie above -1 (a
        // value between -1 and 0 truncates to 0) and below the width or height.
        // Beyond this distance from the centre none does.
        const double dx = std::max(centreX_ + 1, width_ - centreX_);
        const double dy = std::max(centreY_ + 1, height_ - centreY_);
        reach_ = std::sqrt(dx * dx + dy * dy) + 1;
    }

    // True while radius r gets a circle.
    bool HasCircle(int r) const
    {
        return static_cast<long double>(r) < static_cast<long double>(width_) * kRadiusFactor;
    }
    // True when no sample of circle r can land in the image.
    bool Outside(int r) const { return r > reach_; }

    // The cursor starts every circle at column 0 of the row where it stands and
    // is advanced before each use, so the first pixel a circle takes is column 1.
    void StartCircle() { column_ = 0; }
    // Moves the cursor over `count` pixels of a circle that lays nothing.
    void SkipCircle(int count)
    {
        row_ = int((row_ + std::int64_t(count / width_)) % height_);
        column_ = count % width_;
    }
    void Advance()
    {
        if (++column_ == width_) {
            column_ = 0;
            if (++row_ == height_)
                row_ = 0;
        }
    }
    // Lays the pixel under the cursor at (x, y) when that lies in the image.
    void Lay(int x, int y)
    {
        if (unsigned(x) < unsigned(width_) && unsigned(y) < unsigned(height_))
            std::memcpy(rows_[std::size_t(y)] + 3 * std::size_t(x),
                        source_.get() + std::size_t(row_) * rowBytes_ + 3 * std::size_t(column_), 3);
    }

    int CentreX() const { return centreX_; }
    int CentreY() const { return centreY_; }

private:
    int width_;
    int height_;
    std::size_t rowBytes_;
    int centreX_;
    int centreY_;
    std::unique_ptr<std::uint8_t[]> source_;
    std::vector<std::uint8_t*> rows_;
    double reach_ = 0;
    int column_ = 0;  // source cursor
    int row_ = 0;
};

} // namespace

void Cercle1(TBitmap& bitmap)
{
    if (bitmap.Width() == 0 || bitmap.Height() == 0)
        return;
    static const CircleSteps steps = circleSteps(0.0007);
    const std::size_t count = steps.cosines.size();
    CircleLayer layer(bitmap);
    const int cx = layer.CentreX();
    const int cy = layer.CentreY();
    for (int r = 1; layer.HasCircle(r); ++r) {
        // Every step takes a source pixel, whether or not it lands in the image.
        if (layer.Outside(r)) {
            layer.SkipCircle(int(count));
            continue;
        }
        layer.StartCircle();
        for (std::size_t i = 0; i < count; ++i) {
            const int x = coordinate(steps.cosines[i], r, cx);
            const int y = coordinate(steps.sines[i], r, cy);
            layer.Advance();
            layer.Lay(x, y);
        }
    }
}

void Cercle2(TBitmap& bitmap)
{
    if (bitmap.Width() == 0 || bitmap.Height() == 0)
        return;
    static const CircleSteps steps = circleSteps(0.0008);
    const std::size_t count = steps.cosines.size();
    CircleLayer layer(bitmap);
    const int cx = layer.CentreX();
    const int cy = layer.CentreY();
    // The target of the last sample that took a pixel, kept from one circle to
    // the next.
    int previousX = -255;
    int previousY = -255;
    for (int r = 1; layer.HasCircle(r); ++r) {
        // Once two steps in a row lie more than 2 sqrt 2 apart, one coordinate
        // differs by more than 2 and so does its truncation (whose widest cell,
        // -1 ... 1, is 2 wide): every step lands on a new target. The first step
        // of a circle, at x = cx + r, differs from the last of the one before,
        // which lies left of cx + r. So an outside circle then takes one pixel
        // per step and its last target is never compared again.
        if (layer.Outside(r) && r * steps.smallestStep >= 3) {
            layer.SkipCircle(int(count));
            continue;
        }
        layer.StartCircle();
        for (std::size_t i = 0; i < count; ++i) {
            const int x = coordinate(steps.cosines[i], r, cx);
            const int y = coordinate(steps.sines[i], r, cy);
            // A step that lands where the last one did takes nothing.
            if (x == previousX && y == previousY)
                continue;
            layer.Advance();
            layer.Lay(x, y);
            previousX = x;
            previousY = y;
        }
    }
}

} // namespace effects
