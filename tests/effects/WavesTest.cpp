#include "effects/Waves.h"
#include "Numbered.h"
#include "Reference.h"
#include "support/Images.h"

#include <gtest/gtest.h>

using numbered::Origin;
using numbered::OriginAt;

namespace {

// Checks that column x of a numbered W x H image moved by `shift` rows as a
// whole under VagueY: source rows A ... H - A - 1 land `shift` lower, every
// other position keeps its own pixel.
void expectColumnShift(const TBitmap& result, int x, int shift)
{
    const int height = result.Height();
    const int a = height >> 4;
    for (int y = 0; y < height; ++y) {
        const int source = y - shift;
        const bool reached = source >= a && source < height - a;
        EXPECT_EQ(OriginAt(result, x, y), (Origin{x, reached ? source : y})) << "column " << x << ", row " << y;
    }
}

// The same for row y under VagueX, moved by `shift` pixels to the right.
void expectRowShift(const TBitmap& result, int y, int shift)
{
    const int width = result.Width();
    const int a = width >> 4;
    for (int x = 0; x < width; ++x) {
        const int source = x - shift;
        const bool reached = source >= a && source < width - a;
        EXPECT_EQ(OriginAt(result, x, y), (Origin{reached ? source : x, y})) << "row " << y << ", pixel " << x;
    }
}

} // namespace

TEST(VagueY, MovesEachColumnAsAWholeAlongTheSine)
{
    auto image = numbered::Make(160, 120); // amplitude 7
    effects::VagueY(*image);
    // Column 40 sits at C/4, whose sine is just below 1, and column 80 at C/2,
    // just past pi: a tiny negative sine that truncates to one row up.
    expectColumnShift(*image, 0, 0);
    expectColumnShift(*image, 40, 6);
    expectColumnShift(*image, 80, -1);
    expectColumnShift(*image, 120, -7);
}

TEST(VagueY, NeverShowsTheUnusedSourceRowsElsewhere)
{
    auto image = numbered::Make(97, 53); // amplitude 3
    effects::VagueY(*image);
    for (int y = 0; y < 53; ++y)
        for (int x = 0; x < 97; ++x) {
            const Origin from = OriginAt(*image, x, y);
            EXPECT_EQ(from.x, x);
            if (from.y < 3 || from.y >= 50) {
                EXPECT_EQ(from.y, y) << x << "," << y;
            }
        }
}

TEST(VagueY, LeavesAnImageUnder16RowsUnchanged)
{
    const auto original = testimg::Noise(40, 15, 9);
    auto image = testimg::Copy(*original);
    effects::VagueY(*image);
    EXPECT_TRUE(testimg::SameBytes(*image, *original));
}

TEST(VagueX, MovesEachRowAsAWholeOnePixelFurtherRightThanTheSine)
{
    auto image = numbered::Make(160, 120); // amplitude 10
    effects::VagueX(*image);
    expectRowShift(*image, 0, 1);
    expectRowShift(*image, 20, 10);
    expectRowShift(*image, 40, 1);
    expectRowShift(*image, 60, -8);
}

TEST(VagueX, NeverReachesPixelZeroNorShowsTheUnusedSourcePixelsElsewhere)
{
    auto image = numbered::Make(53, 97); // amplitude 3
    effects::VagueX(*image);
    for (int y = 0; y < 97; ++y) {
        EXPECT_EQ(OriginAt(*image, 0, y), (Origin{0, y}));
        for (int x = 0; x < 53; ++x) {
            const Origin from = OriginAt(*image, x, y);
            EXPECT_EQ(from.y, y);
            if (from.x < 3 || from.x >= 50) {
                EXPECT_EQ(from.x, x) << x << "," << y;
            }
        }
    }
}

// Under 16 pixels wide there is no margin: every row moves one pixel right and
// its last pixel, which would land past the end of the row, is dropped.
TEST(VagueX, MovesImagesUnder16PixelsWideOnePixelRight)
{
    for (int width = 1; width < 16; ++width) {
        auto image = numbered::Make(width, 7);
        effects::VagueX(*image);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(OriginAt(*image, x, y), (Origin{x == 0 ? 0 : x - 1, y})) << width << ": " << x << "," << y;
    }
}

// The program's vertical wave against its plain loop, and that against the
// reference loop, on noise: images under 16 rows (no wave), one column wide,
// odd sizes and long columns whose waves reach far.
TEST(VagueY, GivesTheBytesOfThePlainLoop)
{
    const std::pair<int, int> sizes[] = {{1, 1},     {7, 15},   {1, 16},    {3, 17},    {160, 120},
                                         {161, 121}, {97, 531}, {1000, 33}, {33, 1000}, {2, 4000}};
    std::uint32_t seed = 50;
    for (auto [width, height] : sizes) {
        const auto original = testimg::Noise(width, height, ++seed);
        auto fast = testimg::Copy(*original);
        auto plain = testimg::Copy(*original);
        auto expected = testimg::Copy(*original);
        effects::VagueY(*fast);
        effects::plain::VagueY(*plain);
        reference::VagueY(*expected);
        EXPECT_TRUE(testimg::SameBytes(*fast, *plain)) << width << "x" << height;
        EXPECT_TRUE(testimg::SameBytes(*plain, *expected)) << width << "x" << height;
    }
}
