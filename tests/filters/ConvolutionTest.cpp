#include "filters/Convolution.h"
#include "filters/Tfiltre.h"
#include "support/Images.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor grey(int v) { return TColor(v) * 0x010101u; }

// Every pixel of the rectangle [x0, x1] x [y0, y1] is grey `v`.
void expectGrey(const TBitmap& bmp, int x0, int x1, int y0, int y1, int v)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            ASSERT_EQ(testimg::At(bmp, x, y), grey(v)) << "pixel " << x << ", " << y;
}

bool inside(int x, int y, int x0, int x1, int y0, int y1) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }

} // namespace

TEST(ConvolutionFilters, UniformImages)
{
    // Blur and soften keep a flat area; emboss turns its region to 128 and
    // sharpen darkens its inside to 7/9 (truncated), borders kept.
    for (int v : {0, 1, 9, 90, 200, 255}) {
        SCOPED_TRACE(v);
        auto blur = testimg::Uniform(12, 11, grey(v));
        TBlur(*blur).Apply();
        expectGrey(*blur, 0, 11, 0, 10, v);

        auto flou = testimg::Uniform(12, 11, grey(v));
        TFlou(*flou).Apply();
        expectGrey(*flou, 0, 11, 0, 10, v);

        auto emboss = testimg::Uniform(12, 11, grey(v));
        TEmboss(*emboss).Apply();
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(testimg::At(*emboss, x, y), grey(inside(x, y, 1, 10, 3, 7) ? 128 : v)) << x << ", " << y;

        auto sharpen = testimg::Uniform(12, 11, grey(v));
        TSharpen(*sharpen).Apply();
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(testimg::At(*sharpen, x, y), grey(inside(x, y, 1, 10, 1, 9) ? 7 * v / 9 : v))
                    << x << ", " << y;
    }
    auto ninety = testimg::Uniform(3, 3, grey(90));
    TSharpen(*ninety).Apply();
    EXPECT_EQ(testimg::At(*ninety, 1, 1), grey(70));
}

TEST(ConvolutionFilters, BlurIsTheTruncatedMeanOfTheNeighbourhood)
{
    // 100 hundredths is exactly 1.0f, so the float sum is the integer sum.
    EXPECT_EQ(static_cast<float>(static_cast<long double>(100) * 0.01), 1.0f);

    auto bmp = testimg::Make(3, 3, [](int x, int y) { return grey(1 + x + 3 * y); }); // 1 .. 9
    TBlur(*bmp).Apply();
    EXPECT_EQ(testimg::At(*bmp, 1, 1), grey(5)); // 45 / 9

    auto spot = testimg::Make(5, 5, [](int x, int y) { return x == 2 && y == 2 ? 0xFF00C8u : 0u; });
    TBlur(*spot).Apply();
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x)
            EXPECT_EQ(testimg::At(*spot, x, y), 0x1C0016u) << x << ", " << y; // 255 / 9, 200 / 9
    EXPECT_EQ(testimg::At(*spot, 0, 0), 0u);
}

TEST(ConvolutionFilters, FlouMakesAStaircaseOfStraightEdgesAndKeepsDiagonalOnes)
{
    auto vertical = testimg::Make(40, 20, [](int x, int) { return grey(x < 20 ? 0 : 255); });
    TFlou(*vertical).Apply();
    for (int x = 4; x <= 35; ++x) {
        const int v = x < 16 ? 0 : x < 20 ? 85 : x < 24 ? 170 : 255;
        EXPECT_EQ(testimg::At(*vertical, x, 10), grey(v)) << x;
    }

    auto horizontal = testimg::Make(20, 40, [](int, int y) { return grey(y < 20 ? 255 : 0); });
    TFlou(*horizontal).Apply();
    for (int y = 4; y <= 35; ++y) {
        const int v = y < 16 ? 255 : y < 20 ? 170 : y < 24 ? 85 : 0;
        EXPECT_EQ(testimg::At(*horizontal, 10, y), grey(v)) << y;
    }

    auto diagonal = testimg::Make(30, 30, [](int x, int y) { return grey(x >= y ? 255 : 0); });
    const auto before = testimg::Copy(*diagonal);
    TFlou(*diagonal).Apply();
    EXPECT_TRUE(testimg::SameBytes(*diagonal, *before));
}

TEST(ConvolutionFilters, EmbossClampsTheDifferenceOfTheDiagonalNeighbours)
{
    struct Case {
        int upperLeft, lowerRight, expected;
    };
    for (const Case& c : {Case{200, 10, 0}, Case{10, 200, 255}, Case{60, 100, 168}, Case{100, 60, 88}}) {
        auto bmp = testimg::Make(11, 11, [&](int x, int y) {
            return grey(x == 4 && y == 4 ? c.upperLeft : x == 6 && y == 6 ? c.lowerRight : 50);
        });
        TEmboss(*bmp).Apply();
        EXPECT_EQ(testimg::At(*bmp, 5, 5), grey(c.expected)) << c.upperLeft << " / " << c.lowerRight;
    }
}

TEST(ConvolutionFilters, SharpenOnALoneWhitePixel)
{
    // On black: 15 x 255 / 9 clamps to 255, the direct neighbours fall below 0.
    auto black = testimg::Make(11, 11, [](int x, int y) { return grey(x == 5 && y == 5 ? 255 : 0); });
    TSharpen(*black).Apply();
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(testimg::At(*black, x, y), grey(x == 5 && y == 5 ? 255 : 0)) << x << ", " << y;

    // On grey 90: direct neighbours (15 x 90 - 2 x 255 - 6 x 90) / 9 = 33,
    // diagonal ones 7 x 90 / 9 = 70.
    auto greyed = testimg::Make(11, 11, [](int x, int y) { return grey(x == 5 && y == 5 ? 255 : 90); });
    TSharpen(*greyed).Apply();
    EXPECT_EQ(testimg::At(*greyed, 5, 5), grey(255));
    EXPECT_EQ(testimg::At(*greyed, 4, 5), grey(33));
    EXPECT_EQ(testimg::At(*greyed, 5, 6), grey(33));
    EXPECT_EQ(testimg::At(*greyed, 4, 4), grey(70));
    EXPECT_EQ(testimg::At(*greyed, 0, 5), grey(90));
}

// The filters' convolution against its plain loop, with the four filters'
// kernels, on noise of sizes around the 16-byte vectors and with a border of
// one, three or four rows.
TEST(ConvolutionFilters, KernelsGiveTheBytesOfThePlainLoop)
{
    struct Case {
        const char* name;
        filters::Kernel kernel;
        int border; // rows kept at top and bottom
    };
    const Case cases[] = {
        {"blur", {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 1, 9, 0}, 1},
        {"sharpen", {{{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}}, 1, 9, 0}, 1},
        {"diagonal", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 4, 3, 0}, 4},
        {"emboss", {{{-1, 0, 0}, {0, 0, 0}, {0, 0, 1}}, 1, 1, 128}, 3},
    };
    std::uint32_t seed = 70;
    for (auto [width, height] : {std::pair{9, 9}, std::pair{10, 12}, std::pair{16, 9}, std::pair{17, 20},
                                 std::pair{33, 11}, std::pair{101, 29}, std::pair{400, 10}}) {
        const auto original = testimg::Noise(width, height, ++seed);
        for (const Case& c : cases) {
            const int step = c.kernel.step;
            auto fast = testimg::Copy(*original);
            auto plain = testimg::Copy(*original);
            filters::Convolve(*fast, c.kernel, c.border, height - 1 - c.border, step, width - 1 - step);
            filters::plain::Convolve(*plain, c.kernel, c.border, height - 1 - c.border, step, width - 1 - step);
            EXPECT_TRUE(testimg::SameBytes(*fast, *plain)) << c.name << " on " << width << "x" << height;
        }
    }
}
