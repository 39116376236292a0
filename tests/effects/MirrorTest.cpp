#include "effects/Mirror.h"
#include "Numbered.h"
#include "Reference.h"
#include "support/Images.h"

#include <gtest/gtest.h>

namespace {

struct Size {
    int width;
    int height;
};
const Size kSizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {5, 3}, {6, 7}, {33, 17}};

} // namespace

TEST(MirrorFlip, TwiceRestoresTheImage)
{
    for (const Size size : kSizes) {
        const auto original = testimg::Noise(size.width, size.height, 7);
        auto image = testimg::Copy(*original);
        effects::Mirror(*image);
        effects::Mirror(*image);
        EXPECT_TRUE(testimg::SameBytes(*image, *original)) << size.width << "x" << size.height;
        effects::Flip(*image);
        effects::Flip(*image);
        EXPECT_TRUE(testimg::SameBytes(*image, *original)) << size.width << "x" << size.height;
    }
}

TEST(Mirror, SwapsColumnsAndKeepsTheMiddleOneOfAnOddWidth)
{
    auto image = numbered::Make(7, 3);
    effects::Mirror(*image);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(numbered::OriginAt(*image, x, y), (numbered::Origin{6 - x, y})) << x << "," << y;
}

TEST(Flip, SwapsRowsAndKeepsTheMiddleOneOfAnOddHeight)
{
    auto image = numbered::Make(4, 5);
    effects::Flip(*image);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(numbered::OriginAt(*image, x, y), (numbered::Origin{x, 4 - y})) << x << "," << y;
}

TEST(MirrorFlip, LeaveAnImageOfOnePixelAcrossTheirAxisUnchanged)
{
    const auto column = testimg::Noise(1, 6, 3);
    auto image = testimg::Copy(*column);
    effects::Mirror(*image);
    EXPECT_TRUE(testimg::SameBytes(*image, *column));

    const auto row = testimg::Noise(6, 1, 4);
    image = testimg::Copy(*row);
    effects::Flip(*image);
    EXPECT_TRUE(testimg::SameBytes(*image, *row));
}

TEST(MirrorFlip, MovePixelsWithTheirChannelsInOrder)
{
    auto image = testimg::Uniform(3, 2, clBlack);
    auto paint = [&](int x, int y, TColor c) {
        std::uint8_t* p = image->ScanLine(y) + 3 * x;
        p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
    };
    paint(0, 0, RGBColor(255, 0, 0));
    paint(0, 1, RGBColor(0x12, 0x34, 0x56));
    effects::Mirror(*image);
    EXPECT_EQ(testimg::At(*image, 2, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(testimg::At(*image, 2, 1), RGBColor(0x12, 0x34, 0x56));
    effects::Flip(*image);
    EXPECT_EQ(testimg::At(*image, 2, 1), RGBColor(255, 0, 0));
    EXPECT_EQ(testimg::At(*image, 2, 0), RGBColor(0x12, 0x34, 0x56));
}

// The program's mirror, 16 pixels at a time, against its plain loop and the
// reference loop: widths below, at and around one and two blocks of 16 pixels.
TEST(Mirror, GivesTheBytesOfThePlainLoop)
{
    for (const int width : {0, 1, 2, 3, 15, 16, 17, 31, 32, 33, 47, 48, 49, 95, 96, 97, 1001}) {
        const auto original = testimg::Noise(width, 3, std::uint32_t(width + 1));
        auto fast = testimg::Copy(*original);
        auto plain = testimg::Copy(*original);
        auto expected = testimg::Copy(*original);
        effects::Mirror(*fast);
        effects::plain::Mirror(*plain);
        reference::Mirror(*expected);
        EXPECT_TRUE(testimg::SameBytes(*fast, *plain)) << width;
        EXPECT_TRUE(testimg::SameBytes(*plain, *expected)) << width;
    }
}
