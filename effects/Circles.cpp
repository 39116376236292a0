#include "effects/Circles.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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
    double smallestStep = 0;  // the smallest difference of two angles in a row
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
// (-1, 1)) is far enough when | |f| - 1/2 | < kEdge.
constexpr double kEdge = 0.5 - 0x1p-30;

inline int coordinate(double unit, int radius, int centre)
{
    const double value = unit * radius + centre;
    const int whole = static_cast<int>(value);
    if (std::fabs(std::fabs(value - whole) - 0.5) < kEdge)
        return whole;
    return exactCoordinate(unit, radius, centre);
}

// What one step of a circle does, planned before any pixel of the batch moves:
// a byte offset from the first row (y x bytes per line + 3x) takes the next
// source pixel and lays it at (x, y) in the image;
constexpr std::int32_t kOutside = -1;  // takes the next source pixel, lays it nowhere;
constexpr std::int32_t kRepeat = -2;   // lands where the step before did: takes nothing.

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
        madvise(memory, size, MADV_HUGEPAGE);  // only advice: ordinary pages otherwise
#endif
    return Scratch(static_cast<std::uint8_t*>(memory));
}

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
          source_(scratch(rowBytes_ * std::size_t(height_))),
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
        int row = 0;  // source row of the cursor at the start of circle r
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
    bool LaysNothing(int r) const
    {
        return r > reach_ && (!skipRepeats_ || r * steps_.smallestStep >= 3);
    }

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
        return centreX_ + r * block.maxCosine <= -1 - kSlack || centreX_ + r * block.minCosine >= width_ + kSlack
               || centreY_ + r * block.maxSine <= -1 - kSlack || centreY_ + r * block.minSine >= height_ + kSlack;
    }

    // Works out where every step of circle r goes; returns how many source
    // pixels the circle takes.
    int Plan(int r, std::int32_t* plan)
    {
        int taken = 0;
        for (int first = 0; first < count_; first += kBlockSteps) {
            const int end = std::min(count_, first + kBlockSteps);
            if (skipRepeats_) {
                taken += PlanSteps<true>(r, first, end, plan);
            } else if (BlockOutside(r, first / kBlockSteps)) {
                // Every step of the block takes a source pixel and lays it nowhere.
                std::fill(plan + first, plan + end, kOutside);
                taken += end - first;
            } else {
                taken += PlanSteps<false>(r, first, end, plan);
            }
        }
        return taken;
    }

    // The target of step i of circle r into the plan: its byte offset, or
    // kOutside, or kRepeat when skipping repeats and the step lands where the
    // step before did. (The last step that took a pixel landed there too, since
    // the steps in between did.) Returns the pixels the step takes.
    template <bool kSkipRepeats>
    int PlanStep(int r, int i, std::int32_t* plan)
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

    // PlanStep for steps first ... end - 1, two at a time where the processor
    // has SSE2: the same double sums, truncations, distance tests and
    // comparisons, and PlanStep itself for a pair in which a sum lies too close
    // to a whole number.
    template <bool kSkipRepeats>
    int PlanSteps(int r, int first, int end, std::int32_t* plan)
    {
        int taken = 0;
        int i = first;
#if defined(__SSE2__)
        const double* const cosines = steps_.cosines.data();
        const double* const sines = steps_.sines.data();
        const __m128d radius = _mm_set1_pd(r);
        const __m128d centreX = _mm_set1_pd(centreX_);
        const __m128d centreY = _mm_set1_pd(centreY_);
        const __m128d sign = _mm_set1_pd(-0.0);
        const __m128d half = _mm_set1_pd(0.5);
        const __m128d edge = _mm_set1_pd(kEdge);
        const __m128d three = _mm_set1_pd(3);
        const __m128d bytesPerLine = _mm_set1_pd(double(bytesPerLine_));
        const __m128i width = _mm_set1_epi32(width_);
        const __m128i height = _mm_set1_epi32(height_);
        const __m128i minusOne = _mm_set1_epi32(-1);
        const __m128i repeatTarget = _mm_set1_epi32(kRepeat);
        // The pair (x, y) of the step before, in the low lanes.
        __m128i last = _mm_set_epi32(0, 0, previousY_, previousX_);
        for (; i + 2 <= end; i += 2) {
            const __m128d sumX = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(cosines + i), radius), centreX);
            const __m128d sumY = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(sines + i), radius), centreY);
            const __m128i x = _mm_cvttpd_epi32(sumX);
            const __m128i y = _mm_cvttpd_epi32(sumY);
            const __m128d wholeX = _mm_cvtepi32_pd(x);
            const __m128d wholeY = _mm_cvtepi32_pd(y);
            const __m128d fractionX = _mm_andnot_pd(sign, _mm_sub_pd(sumX, wholeX));
            const __m128d fractionY = _mm_andnot_pd(sign, _mm_sub_pd(sumY, wholeY));
            const __m128d distanceX = _mm_andnot_pd(sign, _mm_sub_pd(fractionX, half));
            const __m128d distanceY = _mm_andnot_pd(sign, _mm_sub_pd(fractionY, half));
            if (_mm_movemask_pd(_mm_or_pd(_mm_cmpge_pd(distanceX, edge), _mm_cmpge_pd(distanceY, edge))) != 0) {
                if (kSkipRepeats) {
                    previousX_ = _mm_cvtsi128_si32(last);
                    previousY_ = _mm_cvtsi128_si32(_mm_shuffle_epi32(last, 0x55));
                }
                taken += PlanStep<kSkipRepeats>(r, i, plan);
                taken += PlanStep<kSkipRepeats>(r, i + 1, plan);
                last = _mm_set_epi32(0, 0, previousY_, previousX_);
                continue;
            }
            // 0 <= x < width and 0 <= y < height; the offset is exact in a
            // double and below 2^31 when inside.
            const __m128i inside = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(x, minusOne), _mm_cmpgt_epi32(width, x)),
                                                 _mm_and_si128(_mm_cmpgt_epi32(y, minusOne), _mm_cmpgt_epi32(height, y)));
            const __m128i offset = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(wholeY, bytesPerLine), _mm_mul_pd(wholeX, three)));
            __m128i target = _mm_or_si128(_mm_and_si128(inside, offset), _mm_andnot_si128(inside, minusOne));
            if (kSkipRepeats) {
                // The pairs (x, y) of both steps, and of the steps before them.
                const __m128i here = _mm_unpacklo_epi32(x, y);
                const __m128i before = _mm_unpacklo_epi64(last, here);
                const __m128i same = _mm_cmpeq_epi32(here, before);
                // Both halves of a pair equal, then one lane per step.
                const __m128i repeat = _mm_shuffle_epi32(_mm_and_si128(same, _mm_shuffle_epi32(same, 0xB1)), 0x08);
                target = _mm_or_si128(_mm_and_si128(repeat, repeatTarget), _mm_andnot_si128(repeat, target));
                taken += 2 - std::popcount(unsigned(_mm_movemask_ps(_mm_castsi128_ps(repeat)) & 3));
                last = _mm_unpackhi_epi64(here, here);
            } else {
                taken += 2;
            }
            _mm_storel_epi64(reinterpret_cast<__m128i*>(plan + i), target);
        }
        if (kSkipRepeats) {
            previousX_ = _mm_cvtsi128_si32(last);
            previousY_ = _mm_cvtsi128_si32(_mm_shuffle_epi32(last, 0x55));
        }
#endif
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

    template <bool kMayRepeat>
    void ReplayPlans(int circles, int separation, const int* startRows)
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
    Scratch source_;
    std::uint8_t* image_;     // the first row; the others follow every
    qsizetype bytesPerLine_;  // bytesPerLine_ bytes, below 2^30 in all
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
