#include "effects/Circles.h"
#include "Numbered.h"
#include "Reference.h"
#include "support/Images.h"

#include <gtest/gtest.h>

using numbered::Origin;
using numbered::OriginAt;

namespace {

using Effect = void (*)(TBitmap&);
struct Method {
    const char* name;
    Effect effect;
};
const Method kMethods[] = {{"Cercle1", effects::Cercle1}, {"Cercle2", effects::Cercle2}};

// Pixels of a result from a numbered image that still show their own number.
int keptPixels(const TBitmap& result, int row)
{
    int kept = 0;
    for (int x = 0; x < result.Width(); ++x)
        kept += OriginAt(result, x, row) == (Origin{x, row});
    return kept;
}

} // namespace

// 160 x 1.1412 = 182.6: circles 1 ... 182 cover the whole 160 x 120 image. A
// pixel whose source happens to be itself is indistinguishable from one never
// reached; there are two such pixels under Cercle1 and three under Cercle2.
TEST(Circles, ReachEveryPixelOfA160By120Image)
{
    const int coincidences[] = {2, 3};
    for (int m = 0; m < 2; ++m) {
        auto image = numbered::Make(160, 120);
        kMethods[m].effect(*image);
        int kept = 0;
        for (int y = 0; y < 120; ++y)
            kept += keptPixels(*image, y);
        EXPECT_EQ(kept, coincidences[m]) << kMethods[m].name;

        const auto plain = testimg::Uniform(160, 120, RGBColor(10, 200, 30));
        image = testimg::Copy(*plain);
        kMethods[m].effect(*image);
        EXPECT_TRUE(testimg::SameBytes(*image, *plain)) << kMethods[m].name;
    }
}

// The largest circle has radius 182 whatever the height, so on a tall image of
// that width the circles reach row 200 - 182 = 18 and row 200 + 181 (a sine
// below 1), and the rows beyond keep their pixels.
TEST(Circles, LayCirclesUpToTheLargestRadiusBelowTheWidthTimes1Point1412)
{
    for (const Method& method : kMethods) {
        auto image = numbered::Make(160, 400);
        method.effect(*image);
        for (int y = 0; y < 400; ++y) {
            const bool reached = y >= 18 && y <= 381;
            if (reached) {
                EXPECT_LT(keptPixels(*image, y), 160) << method.name << " row " << y;
            } else {
                EXPECT_EQ(keptPixels(*image, y), 160) << method.name << " row " << y;
            }
        }
    }
}

// An image three times higher than wide: 40 x 1.1412 = 45.6, so the circles
// around (20, 60) stay within rows 15 ... 104 and the top and bottom corners
// keep their pixels.
TEST(Circles, KeepTheCornersOfATallImageThatNoCircleReaches)
{
    for (const Method& method : kMethods) {
        auto image = numbered::Make(40, 120);
        method.effect(*image);
        for (int y = 0; y < 120; ++y) {
            if (y >= 15 && y <= 104) {
                EXPECT_LT(keptPixels(*image, y), 40) << method.name << " row " << y;
            } else {
                EXPECT_EQ(keptPixels(*image, y), 40) << method.name << " row " << y;
            }
        }
    }
}

// On a 640-pixel-wide image a circle of Cercle1 takes 8977 pixels: the rest of
// its starting row from column 1 (the cursor moves before it is used), 13 full
// rows and 18 pixels, so circle k starts on source row 14 (k - 1), wrapping at
// the last row. The pixel (cx + j, cy) is last laid early in circle j + 1, from
// its starting row.
TEST(Cercle1, StartsCircleKOnSourceRow14TimesKMinus1)
{
    const int width = 640, height = 203;
    auto image = numbered::Make(width, height);
    effects::Cercle1(*image);
    const int cx = width / 2, cy = height / 2;
    for (int j = 2; cx + j < width; ++j) {
        const Origin from = OriginAt(*image, cx + j, cy);
        EXPECT_EQ(from.y, 14 * j % height) << "pixel " << cx + j;
        EXPECT_GE(from.x, 1);
    }
}

// One pixel wide, the cursor moves down one source row per step. The only
// circle (1 < 1.1412) lays its steps at (0, cy) while the sine is not negative
// and at (0, cy - 1) after; the last of its 8977 steps took source row 8977.
TEST(Cercle1, MovesOneSourceRowPerStepOnAnImageOnePixelWide)
{
    const int height = 101, cy = 50;
    auto image = numbered::Make(1, height);
    effects::Cercle1(*image);
    for (int y = 0; y < height; ++y) {
        if (y != cy && y != cy - 1) {
            EXPECT_EQ(OriginAt(*image, 0, y), (Origin{0, y}));
        }
    }
    EXPECT_EQ(OriginAt(*image, 0, cy - 1), (Origin{0, 8977 % height}));
}

// Cercle2 takes a pixel only when a step lands on a new target: the first step
// lands outside at (1, cy) with row 1, the second at (0, cy) with row 2, and
// the first step with a negative sine at (0, cy - 1) with row 3; every other
// step repeats its target.
TEST(Cercle2, TakesAPixelOnlyForANewTarget)
{
    const int height = 101, cy = 50;
    auto image = numbered::Make(1, height);
    effects::Cercle2(*image);
    for (int y = 0; y < height; ++y) {
        const int expected = y == cy ? 2 : y == cy - 1 ? 3 : y;
        EXPECT_EQ(OriginAt(*image, 0, y), (Origin{0, expected})) << y;
    }
}

namespace {

struct Kernels {
    const char* name;
    Effect fast;
    Effect plain;
    Effect reference;
};
const Kernels kKernels[] = {
    {"Cercle1", effects::Cercle1, effects::plain::Cercle1, reference::Cercle1},
    {"Cercle2", effects::Cercle2, effects::plain::Cercle2, reference::Cercle2},
};

} // namespace

// The program's circles against the plain loops, on noise: images one row or
// one column across (laid one circle after the other), batches of small
// circles, a wide low image whose larger circles leave it, a square and a tall
// one whose corners no circle reaches, and widths where whole circles lie
// beyond the image.
TEST(Circles, FastKernelsGiveTheBytesOfThePlainLoops)
{
    const std::pair<int, int> sizes[] = {{1, 1},  {2, 1},    {1, 2},     {1700, 1},  {3, 300},
                                         {19, 5}, {1700, 7}, {601, 401}, {129, 700}, {900, 40}};
    std::uint32_t seed = 300;
    for (auto [width, height] : sizes) {
        const auto original = testimg::Noise(width, height, ++seed);
        for (const Kernels& kernels : kKernels) {
            auto fast = testimg::Copy(*original);
            auto plain = testimg::Copy(*original);
            kernels.fast(*fast);
            kernels.plain(*plain);
            EXPECT_TRUE(testimg::SameBytes(*fast, *plain)) << kernels.name << " on " << width << "x" << height;
        }
    }
}

// The plain loops, which lay the circles straight into the image, against the
// reference loops, which build the result in work rows.
TEST(Circles, PlainLoopsGiveTheBytesOfTheReferenceLoops)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 40}, {40, 1}, {2, 3}, {17, 33}, {48, 161}, {161, 121}};
    std::uint32_t seed = 400;
    for (auto [width, height] : sizes) {
        const auto original = testimg::Noise(width, height, ++seed);
        for (const Kernels& kernels : kKernels) {
            auto plain = testimg::Copy(*original);
            auto expected = testimg::Copy(*original);
            kernels.plain(*plain);
            kernels.reference(*expected);
            EXPECT_TRUE(testimg::SameBytes(*plain, *expected)) << kernels.name << " on " << width << "x" << height;
        }
    }
}
