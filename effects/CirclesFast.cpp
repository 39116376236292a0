// The circles of the program: the bytes of the plain loops in Circles.cpp, at
// a photo's speed.
#include "effects/Circles.h"

#include "effects/CircleParts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace effects {

namespace {

// One coordinate of a step, unit x radius + centre truncated toward zero, where
// unit is the step's cosine or sine. The plain loop evaluates it in extended
// precision; a double sum gives the same whole number except near one. Each of
// the two roundings of the double sum is at most half a unit in the last place
// of a value below 2^17 (the radius is below 32767 x 1.1412 < 2^16), so that
// sum lies within 2^-35 of the exact value, and the extended one within 2^-47.
// When the double sum is farther than 2^-30 from every whole number, the exact
// and the extended values lie strictly between the same two whole numbers and
// truncate alike; closer than that, the extended expression itself decides.
inline int coordinate(double unit, int radius, int centre)
{
    constexpr double kNear = 0x1p-30;
    const double value = unit * radius + centre;
    const int whole = static_cast<int>(value);
    const double fraction = std::fabs(value - whole); // exact, in [0, 1)
    if (fraction > kNear && fraction < 1 - kNear)
        return whole;
    return static_cast<int>(static_cast<long double>(unit) * radius + centre);
}

// What one step does, planned before the pixels of its batch move: a byte
// offset from row 0 takes the next source pixel and lays it there;
constexpr std::int32_t kOutside = -1; // takes the next source pixel, lays it nowhere;
constexpr std::int32_t kRepeat = -2; // lands where the step taken before did: takes nothing.

// Steps are planned in blocks of this many.
constexpr int kBlockSteps = 64;

struct Circle {
    double radius;
    double centreX;
    double centreY;
    unsigned width;
    unsigned height;
    int bytesPerLine;
};

// Plans one block of steps of a circle as PlanStep below does one by one
// (`previous` holds the target of the step before the block and gets that of
// its last step), and returns the pixels they take. Each double sum is
// truncated 2^-30 below and 2^-30 above itself: where both give the same whole
// number, so do the exact and the extended sums, which lie between (see
// coordinate). Where they differ, the block returns -1 instead, with
// `previous` left as it was, and is planned step by step. These loops are
// plain on purpose: the compiler turns each into vector code, with four lanes
// of doubles on the processors that have AVX2.
[[gnu::target_clones("avx2", "default")]] int planBlock(const double* __restrict cosines,
                                                        const double* __restrict sines, const Circle& circle,
                                                        bool skipRepeats, int* previous, std::int32_t* __restrict plan)
{
    constexpr double kNear = 0x1p-30;
    int xs[kBlockSteps + 1]; // xs[j + 1], ys[j + 1]: the target of step j
    int ys[kBlockSteps + 1];
    int xAbove[kBlockSteps];
    int yAbove[kBlockSteps];
    for (int j = 0; j < kBlockSteps; ++j) {
        const double x = cosines[j] * circle.radius + circle.centreX;
        const double y = sines[j] * circle.radius + circle.centreY;
        xs[j + 1] = static_cast<int>(x - kNear);
        ys[j + 1] = static_cast<int>(y - kNear);
        xAbove[j] = static_cast<int>(x + kNear);
        yAbove[j] = static_cast<int>(y + kNear);
    }
    int near = 0;
    for (int j = 0; j < kBlockSteps; ++j)
        near |= (xs[j + 1] ^ xAbove[j]) | (ys[j + 1] ^ yAbove[j]);
    if (near != 0)
        return -1;
    xs[0] = previous[0];
    ys[0] = previous[1];
    const unsigned width = circle.width;
    const unsigned height = circle.height;
    const int bytesPerLine = circle.bytesPerLine;
    int repeats = 0;
    for (int j = 0; j < kBlockSteps; ++j) {
        const int x = xs[j + 1];
        const int y = ys[j + 1];
        const bool inside = unsigned(x) < width && unsigned(y) < height;
        const bool repeat = skipRepeats && x == xs[j] && y == ys[j];
        plan[j] = repeat ? kRepeat : inside ? y * bytesPerLine + 3 * x : kOutside;
        repeats += repeat;
    }
    previous[0] = xs[kBlockSteps];
    previous[1] = ys[kBlockSteps];
    return kBlockSteps - repeats;
}

// Circles are planned and laid in batches of neighbouring radii, and the
// steps of a batch in chunks of time (see Lay).
constexpr int kBatch = 16;
constexpr int kChunk = 128;
// The writes of the steps go all over the image; each asks the processor for
// the target of the step kAhead places further in the plans, so that its line
// is at hand when the step comes. (The plans end with kAhead entries of 0.)
constexpr int kAhead = 64;

// The circles laid in the order of radius and each in the order of angle touch
// a new image row at every step of a large circle, and the rows of one circle
// again only a whole circle later: the work would go at the speed of memory.
// So a batch of neighbouring circles is laid as a wavefront instead: step i of
// the k-th circle of the batch at time i + k x separation, circle by circle
// within a short span of time, and a row stays in the cache from one circle to
// the next. That order lays every pair of steps that land on the same pixel in
// the order of the plain loops, and so gives the same bytes:
// - Two points of a truncation cell differ by less than 2 in each coordinate
//   (the widest cell, -1 ... 1, is 2 wide), so they lie less than 2 sqrt 2
//   apart. Points at radii r, r' >= r0 with an angle t between them lie at least
//   2 r0 sin(t / 2) apart, since their squared distance is
//   (r - r')^2 + 2 r r' (1 - cos t). Steps of a batch starting at radius r0 that
//   land on the same pixel are therefore less than 2 asin(sqrt 2 / r0) apart in
//   angle, fewer than `separation` steps (which has a margin of 2).
// - Near angle 0, where step numbers wrap, the last steps of a circle have a
//   negative sine and the first ones of a later circle a sine of 0 or more. In
//   an image two rows high or more, the first land above the centre row and
//   the others on it or below. In an image one row high, both reach row 0 only
//   while r x |sine| < 1: the last steps of circle r then land left of cx + r,
//   the first ones of a larger circle r' at cx + r' - 1 or further right, since
//   r' x cosine > sqrt(r'^2 - 1) > r' - 1. So they never meet.
class CircleRun {
public:
    CircleRun(TBitmap& bitmap, const CircleSteps& steps, bool skipRepeats)
        : image_(bitmap),
          steps_(steps),
          skipRepeats_(skipRepeats),
          count_(int(steps.cosines.size())),
          centreX_(image_.width >> 1),
          centreY_(image_.height >> 1),
          pixels_(bitmap.ScanLine(0)),
          bytesPerLine_(bitmap.BytesPerLine()),
          plans_(std::size_t(kBatch) * std::size_t(count_) + kAhead)
    {
        // A step lands in the image when both of its sums lie above -1 (a
        // value between -1 and 0 truncates to 0) and below the width or
        // height. Beyond this distance from the centre none does.
        const double dx = std::max(centreX_ + 1, image_.width - centreX_);
        const double dy = std::max(centreY_ + 1, image_.height - centreY_);
        reach_ = std::sqrt(dx * dx + dy * dy) + 1;
    }

    void Lay()
    {
        int row = 0; // the source row of the cursor at the start of circle r
        // Beyond reach_ no circle lays a pixel, however the cursor moves.
        for (int r = 1; HasCircle(r, image_.width) && r <= reach_;) {
            int circles = 0;
            int startRows[kBatch];
            while (circles < kBatch && HasCircle(r + circles, image_.width) && r + circles <= reach_) {
                startRows[circles] = row;
                const int taken = Plan(r + circles, &plans_[std::size_t(circles) * std::size_t(count_)]);
                row = int((row + std::int64_t(taken / image_.width)) % image_.height);
                ++circles;
            }
            Replay(circles, Separation(r), startRows);
            r += circles;
        }
    }

private:
    int Separation(int r0) const
    {
        const double sine = std::sqrt(2.0) / r0;
        if (sine >= 0.5)
            return count_;
        const double steps = std::ceil(2 * std::asin(sine) / steps_.smallestStep) + 2;
        return int(std::min<double>(count_, steps));
    }

    // The target of every step of circle r into the plan; returns the number
    // of source pixels the circle takes.
    int Plan(int r, std::int32_t* plan)
    {
        const Circle circle{
            double(r),         double(centreX_), double(centreY_), unsigned(image_.width), unsigned(image_.height),
            int(bytesPerLine_)};
        int taken = 0;
        int i = 0;
        for (; i + kBlockSteps <= count_; i += kBlockSteps) {
            int previous[2] = {lastX_, lastY_};
            const int blockTaken = planBlock(&steps_.cosines[std::size_t(i)], &steps_.sines[std::size_t(i)], circle,
                                             skipRepeats_, previous, plan + i);
            if (blockTaken < 0) {
                for (int j = i; j < i + kBlockSteps; ++j)
                    taken += PlanStep(r, j, plan);
            } else {
                taken += blockTaken;
                lastX_ = previous[0];
                lastY_ = previous[1];
            }
        }
        for (; i < count_; ++i)
            taken += PlanStep(r, i, plan);
        return taken;
    }

    // The target of step i of circle r into the plan: its byte offset, or
    // kOutside, or kRepeat when skipping repeats and the step lands where the
    // step before did. (The last step that took a pixel landed there too, since
    // the steps in between did.) Returns the pixels the step takes.
    int PlanStep(int r, int i, std::int32_t* plan)
    {
        const int x = coordinate(steps_.cosines[std::size_t(i)], r, centreX_);
        const int y = coordinate(steps_.sines[std::size_t(i)], r, centreY_);
        const bool inside = unsigned(x) < unsigned(image_.width) && unsigned(y) < unsigned(image_.height);
        plan[i] = inside ? std::int32_t(y * bytesPerLine_ + 3 * x) : kOutside;
        if (!skipRepeats_)
            return 1;
        const bool repeat = x == lastX_ && y == lastY_;
        lastX_ = x;
        lastY_ = y;
        if (repeat)
            plan[i] = kRepeat;
        return repeat ? 0 : 1;
    }

    void Replay(int circles, int separation, const int* startRows)
    {
        std::uint8_t* const pixels = pixels_; // a local: the stores need not reload it
        const std::uint8_t* const source = image_.source.get();
        const std::uint8_t* const sourceEnd = source + image_.rowBytes * std::size_t(image_.height);
        // The cursor of each circle: the source copy has no row padding, so
        // the next pixel in row order lies 3 bytes on. A circle starts at
        // column 0 of its row and the cursor moves before each use.
        const std::uint8_t* cursors[kBatch];
        for (int k = 0; k < circles; ++k)
            cursors[k] = source + std::size_t(startRows[k]) * image_.rowBytes;
        const int span = count_ + separation * (circles - 1);
        for (int time = 0; time < span; time += kChunk) {
            for (int k = 0; k < circles; ++k) {
                const int first = std::max(0, time - separation * k);
                const int end = std::min(count_, time + kChunk - separation * k);
                const std::int32_t* plan = &plans_[std::size_t(k) * std::size_t(count_)];
                const std::uint8_t* cursor = cursors[k];
                for (int i = first; i < end; ++i) {
                    const std::int32_t target = plan[i];
                    __builtin_prefetch(pixels + std::max(plan[i + kAhead], 0), 1);
                    if (target == kRepeat)
                        continue;
                    cursor += 3;
                    if (cursor == sourceEnd)
                        cursor = source;
                    if (target >= 0)
                        std::memcpy(pixels + target, cursor, 3);
                }
                cursors[k] = cursor;
            }
        }
    }

    const CircleImage image_;
    const CircleSteps& steps_;
    const bool skipRepeats_;
    const int count_;
    const int centreX_;
    const int centreY_;
    std::uint8_t* const pixels_; // row 0; the others follow every
    const qsizetype bytesPerLine_; // bytesPerLine_ bytes, below 2^30 in all
    std::vector<std::int32_t> plans_;
    double reach_ = 0;
    // The target of the last step that took a pixel, kept from one circle to
    // the next (Cercle2).
    int lastX_ = -255;
    int lastY_ = -255;
};

} // namespace

void Cercle1(TBitmap& bitmap)
{
    if (bitmap.Width() > 0 && bitmap.Height() > 0)
        CircleRun(bitmap, Cercle1Steps(), false).Lay();
}

void Cercle2(TBitmap& bitmap)
{
    if (bitmap.Width() > 0 && bitmap.Height() > 0)
        CircleRun(bitmap, Cercle2Steps(), true).Lay();
}

} // namespace effects
