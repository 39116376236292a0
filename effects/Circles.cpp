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

// Cosines and sines in fixed point: scaled by 2^40 and rounded.
constexpr int kFixedBits = 40;
constexpr std::int64_t kFixedOne = std::int64_t(1) << kFixedBits;

struct CircleSteps {
    std::vector<double> cosines;
    std::vector<double> sines;
    std::vector<std::int64_t> fixedCosines;
    std::vector<std::int64_t> fixedSines;
    double smallestStep = 0; // the smallest difference of two angles in a row
    // The smallest and largest cosine and sine of each block of kBlockSteps
    // steps.
    struct Block {
        double minCosine, maxCosine, minSine, maxSine;
    };
    std::vector<Block> blocks;
};

constexpr int kBlockSteps = 64;

CircleSteps circleSteps(double step)
{
    CircleSteps steps;
    float angle = 0;
    float previous = 0;
    steps.smallestStep = step * 2;
    while (static_cast<long double>(angle) < kAngleLimit) {
        const double cosine = std::cos(static_cast<double>(angle));
        const double sine = std::sin(static_cast<double>(angle));
        steps.cosines.push_back(cosine);
        steps.sines.push_back(sine);
        steps.fixedCosines.push_back(std::llround(std::ldexp(cosine, kFixedBits)));
        steps.fixedSines.push_back(std::llround(std::ldexp(sine, kFixedBits)));
        if (steps.cosines.size() > 1)
            steps.smallestStep = std::min(steps.smallestStep, double(angle) - double(previous));
        previous = angle;
        angle = static_cast<float>(static_cast<long double>(angle) + step);
    }
    for (std::size_t first = 0; first < steps.cosines.size(); first += kBlockSteps) {
        const std::size_t end = std::min(steps.cosines.size(), first + kBlockSteps);
        const auto [minCosine, maxCosine] = std::minmax_element(&steps.cosines[first], &steps.cosines[0] + end);
        const auto [minSine, maxSine] = std::minmax_element(&steps.sines[first], &steps.sines[0] + end);
        steps.blocks.push_back({*minCosine, *maxCosine, *minSine, *maxSine});
    }
    return steps;
}

// One coordinate of a sample: unit x radius + centre, evaluated in extended
// precision and truncated toward zero, with unit the double cosine or sine.
int exactCoordinate(double unit, int radius, int centre)
{
    return static_cast<int>(static_cast<long double>(unit) * radius + centre);
}

// The same coordinate in 64-bit fixed point. The fixed-point unit is within
// 2^-41 of the double one, so for a radius below 2^16 (the largest is below
// 32767 x 1.1412) the fixed-point sum is within 2^-25 of the exact value of
// unit x radius + centre, and the extended one within 2^-47. When the fixed-
// point sum is farther than 2^-22 from every whole number, the exact and the
// extended values lie strictly between the same two whole numbers and truncate
// alike; closer than that, the extended expression itself decides.
constexpr std::uint64_t kFixedMargin = std::uint64_t(1) << (kFixedBits - 22);

inline int coordinate(std::int64_t fixedUnit, double unit, int radius, int centre)
{
    const std::int64_t value = fixedUnit * radius + (std::int64_t(centre) << kFixedBits);
    const std::uint64_t fraction = std::uint64_t(value) & std::uint64_t(kFixedOne - 1);
    // kFixedMargin < fraction < kFixedOne - kFixedMargin
    if (fraction - (kFixedMargin + 1) < std::uint64_t(kFixedOne) - 2 * kFixedMargin - 1) {
        // The floor, and one more for a negative value: truncation toward zero.
        return int(value >> kFixedBits) - int(value >> 63);
    }
    return exactCoordinate(unit, radius, centre);
}

// What one step of a circle does, planned before any pixel of the batch moves:
// a byte offset from the first row (y x bytes per line + 3x) takes the next
// source pixel and lays it at (x, y) in the image;
constexpr std::int32_t kOutside = -1; // takes the next source pixel, lays it nowhere;
constexpr std::int32_t kRepeat = -2; // lands where the step before did: takes nothing.

// Circles are planned and laid in batches of neighbouring radii.
constexpr int kBatch = 16;
// Wavefront steps laid per circle before moving on to the next circle.
constexpr int kChunk = 128;

// One run of Cercle1 or Cercle2 on an image.
//
// The circles are laid in order of radius and each in order of angle, later
// samples overwriting earlier ones. Laid that way, every step of a large circle
// touches a new image row, and the rows of one circle are touched again only a
// whole circle later, so the work goes at the speed of memory rather than of
// the cache. A batch of neighbouring circles is therefore laid as a wavefront:
// step i of the k-th circle of the batch at time i + k x separation, circle by
// circle within a short span of time. Two steps of different circles land on
// the same pixel only when their points lie within 2 sqrt 2 of each other (a
// truncation cell is at most 2 wide), which for radii of at least r0 bounds the
// angle between them by 2 asin(sqrt 2 / r0), that is by `separation` steps.
// (Near angle 0, where the step numbers wrap, the last steps of a circle have a
// negative sine and the first ones of a later circle a positive one, so they
// land in different rows; in an image one row high, where both truncate to row
// 0, the later circle lands further right.) The wavefront therefore
// lays every pair of steps that meet in the order of the plain loops, and the
// image gets the same bytes.
class CircleRun {
public:
    CircleRun(TBitmap& bitmap, const CircleSteps& steps, bool skipRepeats)
        : steps_(steps),
          count_(int(steps.cosines.size())),
          skipRepeats_(skipRepeats),
          width_(bitmap.Width()),
          height_(bitmap.Height()),
          rowBytes_(3 * std::size_t(width_)),
          centreX_(width_ >> 1),
          centreY_(height_ >> 1),
          source_(std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes_ * std::size_t(height_))),
          image_(bitmap.ScanLine(0)),
          bytesPerLine_(bitmap.BytesPerLine()),
          plans_(std::size_t(kBatch) * std::size_t(count_))
    {
        // The cursor reads the image as it was; the circles are laid straight
        // into it, so a position no circle reaches keeps its pixel.
        for (int y = 0; y < height_; ++y)
            std::memcpy(source_.get() + std::size_t(y) * rowBytes_, bitmap.ScanLine(y), rowBytes_);
        // A sample lands in the image when both of its sums lie above -1 (a
        // value between -1 and 0 truncates to 0) and below the width or height.
        // Beyond this distance from the centre none does.
        const double dx = std::max(centreX_ + 1, width_ - centreX_);
        const double dy = std::max(centreY_ + 1, height_ - centreY_);
        reach_ = std::sqrt(dx * dx + dy * dy) + 1;
    }

    void Lay()
    {
        int r = 1;
        int row = 0; // source row of the cursor at the start of circle r
        while (HasCircle(r)) {
            if (LaysNothing(r)) {
                // Every step takes a source pixel and none lands in the image.
                row = int((row + std::int64_t(count_ / width_)) % height_);
                ++r;
                continue;
            }
            int circles = 0;
            int startRows[kBatch];
            while (circles < kBatch && HasCircle(r + circles) && !LaysNothing(r + circles)) {
                startRows[circles] = row;
                const int taken = Plan(r + circles, &plans_[std::size_t(circles) * std::size_t(count_)]);
                row = int((row + std::int64_t(taken / width_)) % height_);
                ++circles;
            }
            Replay(circles, Separation(r), startRows);
            r += circles;
        }
    }

private:
    // True while radius r gets a circle.
    bool HasCircle(int r) const
    {
        return static_cast<long double>(r) < static_cast<long double>(width_) * kRadiusFactor;
    }

    // True when circle r lays no pixel and takes one per step, so that only
    // the cursor needs moving. Beyond reach_ no step lands in the image. When
    // skipping repeats, every step must also land on a new target: once two
    // steps in a row lie more than 2 sqrt 2 apart, one coordinate differs by
    // more than 2 and so does its truncation (whose widest cell, -1 ... 1, is 2
    // wide). The first step of a circle, at x = cx + r, differs from the last
    // of the one before, which lies left of cx + r. Both tests hold for every
    // larger radius too, so the last target of such a circle is never compared.
    bool LaysNothing(int r) const { return r > reach_ && (!skipRepeats_ || r * steps_.smallestStep >= 3); }

    // Steps apart, two steps of circles of radius r0 or more that can land on
    // the same pixel, plus a margin; the whole circle (laid one after the
    // other) when r0 is too small for a bound.
    int Separation(int r0) const
    {
        const double sine = std::sqrt(2.0) / r0;
        if (sine >= 0.5)
            return count_;
        const double steps = std::ceil(2 * std::asin(sine) / steps_.smallestStep) + 2;
        return int(std::min<double>(count_, steps));
    }

    // True when every step of block b of circle r lands outside the image:
    // all its x sums lie at or below -1 or at or above the width, or all its y
    // sums likewise (a margin covers the rounding of the sums).
    bool BlockOutside(int r, int b) const
    {
        const CircleSteps::Block& block = steps_.blocks[std::size_t(b)];
        constexpr double kSlack = 1e-6;
        return centreX_ + r * block.maxCosine <= -1 - kSlack || centreX_ + r * block.minCosine >= width_ + kSlack ||
               centreY_ + r * block.maxSine <= -1 - kSlack || centreY_ + r * block.minSine >= height_ + kSlack;
    }

    // Works out where every step of circle r goes; returns how many source
    // pixels the circle takes.
    int Plan(int r, std::int32_t* plan)
    {
        // Locals, so that the stores into the plan need not reload them.
        const double* cosines = steps_.cosines.data();
        const double* sines = steps_.sines.data();
        const std::int64_t* fixedCosines = steps_.fixedCosines.data();
        const std::int64_t* fixedSines = steps_.fixedSines.data();
        const int count = count_;
        const unsigned width = unsigned(width_);
        const unsigned height = unsigned(height_);
        const int centreX = centreX_;
        const int centreY = centreY_;
        const auto bytesPerLine = std::int32_t(bytesPerLine_);
        const bool skipRepeats = skipRepeats_;
        int previousX = previousX_;
        int previousY = previousY_;
        int taken = 0;
        for (int first = 0; first < count; first += kBlockSteps) {
            const int end = std::min(count, first + kBlockSteps);
            if (!skipRepeats && BlockOutside(r, first / kBlockSteps)) {
                // Every step of the block takes a source pixel and lays it nowhere.
                std::fill(plan + first, plan + end, kOutside);
                taken += end - first;
                continue;
            }
            for (int i = first; i < end; ++i) {
                const int x = coordinate(fixedCosines[i], cosines[i], r, centreX);
                const int y = coordinate(fixedSines[i], sines[i], r, centreY);
                if (skipRepeats) {
                    // A step that lands where the last one did takes nothing.
                    if (x == previousX && y == previousY) {
                        plan[i] = kRepeat;
                        continue;
                    }
                    previousX = x;
                    previousY = y;
                }
                ++taken;
                const bool inside = unsigned(x) < width && unsigned(y) < height;
                plan[i] = inside ? y * bytesPerLine + 3 * x : kOutside;
            }
        }
        previousX_ = previousX;
        previousY_ = previousY;
        return taken;
    }

    // Lays the planned circles as a wavefront (see the class comment).
    void Replay(int circles, int separation, const int* startRows)
    {
        if (skipRepeats_)
            ReplayPlans<true>(circles, separation, startRows);
        else
            ReplayPlans<false>(circles, separation, startRows);
    }

    template <bool kMayRepeat> void ReplayPlans(int circles, int separation, const int* startRows)
    {
        // Locals, so that the byte stores into the image need not reload them.
        const int count = count_;
        const std::uint8_t* const source = source_.get();
        const std::uint8_t* const sourceEnd = source + rowBytes_ * std::size_t(height_);
        std::uint8_t* const image = image_;
        const std::int32_t* const plans = plans_.data();
        // The source cursor of each circle. The copy of the image has no row
        // padding, so moving the cursor one pixel, to the next row after the
        // last column and back to row 0 after the last row, is moving this
        // pointer 3 bytes and wrapping it at the end. A circle starts at column 0
        // and the cursor moves before each use, so the first pixel a circle
        // takes is column 1.
        const std::uint8_t* cursors[kBatch];
        for (int k = 0; k < circles; ++k)
            cursors[k] = source + std::size_t(startRows[k]) * rowBytes_;
        const int span = count + separation * (circles - 1);
        for (int time = 0; time < span; time += kChunk) {
            for (int k = 0; k < circles; ++k) {
                const int first = std::max(0, time - separation * k);
                const int end = std::min(count, time + kChunk - separation * k);
                const std::int32_t* plan = plans + std::size_t(k) * std::size_t(count);
                const std::uint8_t* cursor = cursors[k];
                for (int i = first; i < end; ++i) {
                    const std::int32_t target = plan[i];
                    if (kMayRepeat && target == kRepeat)
                        continue;
                    cursor += 3;
                    if (cursor == sourceEnd)
                        cursor = source;
                    if (target >= 0)
                        std::memcpy(image + target, cursor, 3);
                }
                cursors[k] = cursor;
            }
        }
    }

    const CircleSteps& steps_;
    int count_;
    bool skipRepeats_;
    int width_;
    int height_;
    std::size_t rowBytes_;
    int centreX_;
    int centreY_;
    std::unique_ptr<std::uint8_t[]> source_;
    std::uint8_t* image_; // the first row; the others follow every
    qsizetype bytesPerLine_; // bytesPerLine_ bytes, below 2^30 in all
    std::vector<std::int32_t> plans_;
    double reach_ = 0;
    // The target of the last step that took a pixel, kept from one circle to
    // the next (Cercle2).
    int previousX_ = -255;
    int previousY_ = -255;
};

} // namespace

void Cercle1(TBitmap& bitmap)
{
    if (bitmap.Width() == 0 || bitmap.Height() == 0)
        return;
    static const CircleSteps steps = circleSteps(0.0007);
    CircleRun(bitmap, steps, false).Lay();
}

void Cercle2(TBitmap& bitmap)
{
    if (bitmap.Width() == 0 || bitmap.Height() == 0)
        return;
    static const CircleSteps steps = circleSteps(0.0008);
    CircleRun(bitmap, steps, true).Lay();
}

} // namespace effects
