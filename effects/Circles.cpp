#include "effects/Circles.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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
    double smallestStep = 0; // the smallest difference of two angles in a row
    double smallestChord = 0; // the distance between their points on the unit circle
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
        if (steps.cosines.size() > 1)
            steps.smallestStep = std::min(steps.smallestStep, double(angle) - double(previous));
        previous = angle;
        angle = static_cast<float>(static_cast<long double>(angle) + step);
    }
    steps.smallestChord = 2 * std::sin(steps.smallestStep / 2);
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

// The same coordinate in double precision. Each of the two roundings of the
// double sum unit x radius + centre is at most half a unit in the last place of
// a value below 2^17 (the radius is below 32767 x 1.1412 < 2^16), so that sum
// lies within 2^-35 of the exact value, and the extended one within 2^-47.
// When the double sum is farther than 2^-30 from every whole number, the exact
// and the extended values lie strictly between the same two whole numbers and
// truncate alike; closer than that, the extended expression itself decides.
// The fraction f of the sum (its difference from its truncation, exact, in
// (-1, 1)) is far enough when kNear < |f| < 1 - kNear.
constexpr double kNear = 0x1p-30;

inline int coordinate(double unit, int radius, int centre)
{
    const double value = unit * radius + centre;
    const int whole = static_cast<int>(value);
    const double fraction = std::fabs(value - whole);
    if (fraction > kNear && fraction < 1 - kNear)
        return whole;
    return exactCoordinate(unit, radius, centre);
}

// What one step of a circle does, planned before any pixel of the batch moves:
// a byte offset from the first row (y x bytes per line + 3x) takes the next
// source pixel and lays it at (x, y) in the image;
constexpr std::int32_t kOutside = -1; // takes the next source pixel, lays it nowhere;
constexpr std::int32_t kRepeat = -2; // lands where the step before did: takes nothing.

// Four steps at a time, in the generic vectors of the compiler: four lanes of
// double sums, truncations and distance tests, then four lanes of targets.
typedef double Doubles __attribute__((vector_size(32)));
typedef std::int64_t DoubleMasks __attribute__((vector_size(32)));
typedef std::int32_t Ints __attribute__((vector_size(16)));

struct CircleBlock {
    const double* cosines;
    const double* sines;
    double radius;
    double centreX;
    double centreY;
    double bytesPerLine;
    int width;
    int height;
};

template <bool kSkipRepeats> [[gnu::always_inline]] inline int planFourAtATime(const CircleBlock& block, int first,
                                                                               int end, std::int32_t* plan,
                                                                               int* previous)
{
    constexpr std::int64_t kMagnitude = 0x7FFFFFFFFFFFFFFF; // all bits but the sign
    // Locals, so that the stores into the plan need not reload them.
    const double* const cosines = block.cosines;
    const double* const sines = block.sines;
    const double radius = block.radius;
    const double centreX = block.centreX;
    const double centreY = block.centreY;
    const double bytesPerLine = block.bytesPerLine;
    const int width = block.width;
    const int height = block.height;
    const Doubles lastRow = Doubles{} + (height - 1);
    const Doubles lastColumn = Doubles{} + (width - 1);
    DoubleMasks near = {};
    Ints repeats = {}; // -1 per repeat in each lane
    Ints lastX = {0, 0, 0, previous[0]};
    Ints lastY = {0, 0, 0, previous[1]};
    for (int i = first; i < end; i += 4) {
        Doubles unitX, unitY;
        std::memcpy(&unitX, cosines + i, sizeof unitX);
        std::memcpy(&unitY, sines + i, sizeof unitY);
        const Doubles sumX = unitX * radius + centreX;
        const Doubles sumY = unitY * radius + centreY;
        const Ints x = __builtin_convertvector(sumX, Ints);
        const Ints y = __builtin_convertvector(sumY, Ints);
        const Doubles wholeX = __builtin_convertvector(x, Doubles);
        const Doubles wholeY = __builtin_convertvector(y, Doubles);
        const Doubles fractionX = (Doubles)((DoubleMasks)(sumX - wholeX) & kMagnitude);
        const Doubles fractionY = (Doubles)((DoubleMasks)(sumY - wholeY) & kMagnitude);
        near |= (fractionX <= kNear) | (fractionX >= 1 - kNear) | (fractionY <= kNear) | (fractionY >= 1 - kNear);
        // The offset, from coordinates held within the image so that it stays
        // exact and below 2^31, counts only when inside.
        const Ints inside = (x > -1) & (x < width) & (y > -1) & (y < height);
        const Doubles row = wholeY < 0 ? 0 : wholeY < lastRow ? wholeY : lastRow;
        const Doubles column = wholeX < 0 ? 0 : wholeX < lastColumn ? wholeX : lastColumn;
        const Ints offset = __builtin_convertvector(row * bytesPerLine + column * 3.0, Ints);
        Ints target = (offset & inside) | ~inside;
        if (kSkipRepeats) {
            const Ints repeat = (x == __builtin_shufflevector(lastX, x, 3, 4, 5, 6)) &
                                (y == __builtin_shufflevector(lastY, y, 3, 4, 5, 6));
            target = (repeat & kRepeat) | (target & ~repeat);
            repeats += repeat;
            lastX = x;
            lastY = y;
        }
        std::memcpy(plan + i, &target, sizeof target);
    }
    if ((near[0] | near[1] | near[2] | near[3]) != 0)
        return -1;
    previous[0] = lastX[3];
    previous[1] = lastY[3];
    return end - first + repeats[0] + repeats[1] + repeats[2] + repeats[3];
}

// Plans steps first ... end - 1 of a circle, end - first a multiple of 4, as
// PlanStep below does one by one (`previous` holds the coordinates of the step
// before first, and gets those of step end - 1), and returns the pixels they take;
// returns -1 instead, and leaves `previous` as it was, when a sum lies too
// close to a whole number. A copy for processors with AVX2 does four lanes in
// one instruction; the other one does them in pairs.
#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target_clones("avx2", "default")]]
#endif
int planFour(const CircleBlock& block, int first, int end, std::int32_t* plan, int* previous, bool skipRepeats)
{
    return skipRepeats ? planFourAtATime<true>(block, first, end, plan, previous)
                       : planFourAtATime<false>(block, first, end, plan, previous);
}

// Circles are planned and laid in batches of neighbouring radii.
constexpr int kBatch = 16;
// Wavefront steps laid per circle before moving on to the next circle.
constexpr int kChunk = 128;

struct FreeBytes {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
using Scratch = std::unique_ptr<std::uint8_t[], FreeBytes>;

// An uninitialised buffer. A large one is asked for on huge pages where the
// system offers them: writing a fresh copy of a photo page by page costs a
// page fault per 4 KiB, more than laying all the circles.
Scratch scratch(std::size_t bytes)
{
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    const bool large = bytes >= kHugePage;
    const std::size_t size = large ? (bytes + kHugePage - 1) / kHugePage * kHugePage : bytes;
    void* memory = large ? std::aligned_alloc(kHugePage, size) : std::malloc(size);
    if (!memory)
        throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    if (large)
        madvise(memory, size, MADV_HUGEPAGE); // only advice: ordinary pages otherwise
#endif
    return Scratch(static_cast<std::uint8_t*>(memory));
}

// The writes of the steps go all over the image; each asks the processor for
// the target of the step kAhead places further in the plans, so that its line
// is at hand when the step comes. (The plans end with kAhead entries of 0.)
constexpr int kAhead = 64;

inline void prefetchTarget(std::uint8_t* image, std::int32_t target)
{
    __builtin_prefetch(image + std::max(target, 0), 1);
}

// One run of Cercle1 or Cercle2 on an image. It gives the bytes of the plain
// loops: for r = 1, 2, ... while r < width x 1.1412, and for the single-
// precision angles a = 0, a + step, ... below 6.283185307 (a step of 0.0007,
// or 0.0008 for Cercle2):
//     x = (int)(cos a x r + cx), y = (int)(sin a x r + cy), in extended precision;
//     Cercle2 only: if (x, y) is the target of the last step taken, next angle;
//     move the source cursor one pixel on, in row order, wrapping at the end
//     (its column starts again from 0 with each circle, its row does not);
//     if (x, y) lies in the image, pixel (x, y) = the source pixel under it,
// the source being the image as it was before the first circle.
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
          source_(scratch(rowBytes_ * std::size_t(height_))),
          image_(bitmap.ScanLine(0)),
          bytesPerLine_(bitmap.BytesPerLine()),
          plans_(std::size_t(kBatch) * std::size_t(count_) + kAhead),
          blocks_((count_ + kBlockSteps - 1) / kBlockSteps),
          empty_(std::size_t(kBatch) * std::size_t(blocks_))
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
                const int taken = Plan(r + circles, &plans_[std::size_t(circles) * std::size_t(count_)],
                                       &empty_[std::size_t(circles) * std::size_t(blocks_)]);
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

    // True when no step of block b of circle r lands where the step before it
    // did. Two steps in a row lie more than sqrt 2 apart, so one of their
    // coordinates differs by more than 1; the only truncation cell wider than
    // 1 is (-1, 1), and all the x sums and all the y sums of the block lie
    // outside it (a margin covers the rounding). The first step of a circle, at
    // x = cx + r, never lands where the last one of the circle before did (left
    // of cx + r) either.
    bool NoRepeats(int r, int b) const
    {
        const CircleSteps::Block& block = steps_.blocks[std::size_t(b)];
        constexpr double kSlack = 1e-6;
        const auto clear = [](double low, double high) { return low >= 1 + kSlack || high <= -1 - kSlack; };
        return r * steps_.smallestChord > std::sqrt(2.0) + kSlack &&
               clear(centreX_ + r * block.minCosine, centreX_ + r * block.maxCosine) &&
               clear(centreY_ + r * block.minSine, centreY_ + r * block.maxSine);
    }

    // Works out where every step of circle r goes; returns how many source
    // pixels the circle takes. Marks in `empty` the blocks of kBlockSteps steps
    // in which every step takes a pixel and lays it nowhere.
    int Plan(int r, std::int32_t* plan, std::uint8_t* empty)
    {
        int taken = 0;
        for (int first = 0; first < count_; first += kBlockSteps) {
            const int end = std::min(count_, first + kBlockSteps);
            if (BlockOutside(r, first / kBlockSteps) && (!skipRepeats_ || NoRepeats(r, first / kBlockSteps))) {
                std::fill(plan + first, plan + end, kOutside);
                taken += end - first;
                empty[first / kBlockSteps] = 1;
                previousX_ = coordinate(steps_.cosines[std::size_t(end - 1)], r, centreX_);
                previousY_ = coordinate(steps_.sines[std::size_t(end - 1)], r, centreY_);
                continue;
            }
            taken += skipRepeats_ ? PlanSteps<true>(r, first, end, plan) : PlanSteps<false>(r, first, end, plan);
            empty[first / kBlockSteps] =
                std::all_of(plan + first, plan + end, [](std::int32_t t) { return t == kOutside; });
        }
        return taken;
    }

    // The target of step i of circle r into the plan: its byte offset, or
    // kOutside, or kRepeat when skipping repeats and the step lands where the
    // step before did. (The last step that took a pixel landed there too, since
    // the steps in between did.) Returns the pixels the step takes.
    template <bool kSkipRepeats> int PlanStep(int r, int i, std::int32_t* plan)
    {
        const int x = coordinate(steps_.cosines[std::size_t(i)], r, centreX_);
        const int y = coordinate(steps_.sines[std::size_t(i)], r, centreY_);
        const bool inside = unsigned(x) < unsigned(width_) && unsigned(y) < unsigned(height_);
        plan[i] = inside ? std::int32_t(y * bytesPerLine_ + 3 * x) : kOutside;
        if (!kSkipRepeats)
            return 1;
        const bool repeat = x == previousX_ && y == previousY_;
        previousX_ = x;
        previousY_ = y;
        plan[i] = repeat ? kRepeat : plan[i];
        return repeat ? 0 : 1;
    }

    // PlanStep for steps first ... end - 1: four at a time, and one by one for
    // the last few, or for all of them when a sum lies too close to a whole
    // number (the first steps of every circle, whose sine is 0).
    template <bool kSkipRepeats> int PlanSteps(int r, int first, int end, std::int32_t* plan)
    {
        const int fours = first + (end - first) / 4 * 4;
        const CircleBlock block{steps_.cosines.data(), steps_.sines.data(),   double(r), double(centreX_),
                                double(centreY_),      double(bytesPerLine_), width_,    height_};
        int previous[2] = {previousX_, previousY_};
        int taken = planFour(block, first, fours, plan, previous, kSkipRepeats);
        int i = fours;
        if (taken < 0) {
            taken = 0;
            i = first;
        } else {
            previousX_ = previous[0];
            previousY_ = previous[1];
        }
        for (; i < end; ++i)
            taken += PlanStep<kSkipRepeats>(r, i, plan);
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
        const std::size_t sourceBytes = rowBytes_ * std::size_t(height_);
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
                const std::uint8_t* empty = &empty_[std::size_t(k) * std::size_t(blocks_)];
                const std::uint8_t* cursor = cursors[k];
                for (int i = first; i < end;) {
                    const int stop = std::min(end, (i / kBlockSteps + 1) * kBlockSteps);
                    const std::size_t moves = std::size_t(stop - i);
                    if (empty[i / kBlockSteps]) {
                        // Each step takes a source pixel and lays it nowhere.
                        std::size_t at = std::size_t(cursor - source) + 3 * moves;
                        if (at >= sourceBytes)
                            at %= sourceBytes;
                        cursor = source + at;
                        i = stop;
                    } else if (!kMayRepeat && std::size_t(sourceEnd - cursor) > 3 * moves) {
                        // Every step takes the pixel after the one before,
                        // and none wraps.
                        for (; i < stop; ++i) {
                            const std::int32_t target = plan[i];
                            cursor += 3;
                            prefetchTarget(image, plan[i + kAhead]);
                            if (target >= 0)
                                std::memcpy(image + target, cursor, 3);
                        }
                    } else {
                        for (; i < stop; ++i) {
                            const std::int32_t target = plan[i];
                            prefetchTarget(image, plan[i + kAhead]);
                            if (kMayRepeat && target == kRepeat)
                                continue;
                            cursor += 3;
                            if (cursor == sourceEnd)
                                cursor = source;
                            if (target >= 0)
                                std::memcpy(image + target, cursor, 3);
                        }
                    }
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
    Scratch source_;
    std::uint8_t* image_; // the first row; the others follow every
    qsizetype bytesPerLine_; // bytesPerLine_ bytes, below 2^30 in all
    std::vector<std::int32_t> plans_;
    int blocks_; // blocks of kBlockSteps steps in a circle
    std::vector<std::uint8_t> empty_;
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
