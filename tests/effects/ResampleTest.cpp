#include "effects/Resample.h"
#include "support/Images.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

using effects::ResampleFilter;

namespace {

constexpr ResampleFilter kSmooth[] = {ResampleFilter::Lanczos, ResampleFilter::Bicubic, ResampleFilter::Bilinear};

// The textbook resampler, in double precision and two dimensions at once:
// result pixel (x, y) is the average of the source pixels within the filter's
// reach of (x + 0.5) s - 0.5, weighted by the filter (widened by s when
// shrinking) in both directions, over the pixels inside the image.
double sinc(double x) { return x == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

double kernel(ResampleFilter filter, double x)
{
    const double d = std::abs(x);
    switch (filter) {
    case ResampleFilter::Lanczos: return d < 3 ? sinc(x) * sinc(x / 3) : 0;
    case ResampleFilter::Bicubic: {
        const double a = -0.5;
        if (d <= 1)
            return (a + 2) * d * d * d - (a + 3) * d * d + 1;
        return d < 2 ? a * d * d * d - 5 * a * d * d + 8 * a * d - 4 * a : 0;
    }
    default: return d < 1 ? 1 - d : 0;
    }
}

int textbook(const TBitmap& source, int width, int height, ResampleFilter filter, int x, int y, int channel)
{
    const double sw = double(source.Width()) / width;
    const double sh = double(source.Height()) / height;
    const double cx = (x + 0.5) * sw - 0.5;
    const double cy = (y + 0.5) * sh - 0.5;
    const double stretchX = std::max(1.0, sw);
    const double stretchY = std::max(1.0, sh);
    double sum = 0;
    double weights = 0;
    for (int j = 0; j < source.Height(); ++j)
        for (int i = 0; i < source.Width(); ++i) {
            const double w = kernel(filter, (i - cx) / stretchX) * kernel(filter, (j - cy) / stretchY);
            sum += w * source.ScanLine(j)[3 * i + channel];
            weights += w;
        }
    return std::clamp(int(std::floor(sum / weights + 0.5)), 0, 255);
}

struct Case {
    int fromWidth, fromHeight, width, height;
};
// Shrinking by 3.7 and 2, enlarging by 2 and 3, and mixed.
const Case kCases[] = {{37, 26, 10, 7}, {20, 14, 10, 7}, {9, 6, 18, 12}, {5, 7, 15, 21},
                       {20, 9, 7, 27},  {6, 30, 25, 4},  {1, 1, 4, 3},   {8, 1, 3, 5}};

} // namespace

// At most one level apart, and that rarely: float sums and double ones round
// differently only next to a half.
TEST(Resize, EachFilterIsTheTextbookResamplerWithinOneLevel)
{
    for (const Case& c : kCases)
        for (const ResampleFilter filter : kSmooth) {
            const auto source = testimg::Noise(c.fromWidth, c.fromHeight, std::uint32_t(c.width));
            const QImage result = effects::Resize(*source, c.width, c.height, filter);
            ASSERT_EQ(result.size(), QSize(c.width, c.height));
            int apart = 0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    for (int ch = 0; ch < 3; ++ch) {
                        const int d = std::abs(result.constScanLine(y)[3 * x + ch] -
                                               textbook(*source, c.width, c.height, filter, x, y, ch));
                        ASSERT_LE(d, 1) << c.fromWidth << "x" << c.fromHeight << " to " << c.width << "x" << c.height
                                        << " filter " << int(filter) << " at " << x << "," << y;
                        apart += d;
                    }
            EXPECT_LE(apart, 1 + c.width * c.height * 3 / 100)
                << c.fromWidth << "x" << c.fromHeight << " filter " << int(filter);
        }
}

// The program's resize, in threads and vector registers, against the plain
// loops: the same sums in the same order, so the same bytes, padding included.
TEST(Resize, GivesTheBytesOfThePlainLoops)
{
    const Case cases[] = {{37, 26, 10, 7},     {5, 7, 15, 21},     {1, 1, 3, 2},      {701, 403, 211, 120},
                          {123, 97, 400, 301}, {300, 40, 90, 160}, {40, 300, 160, 90}};
    for (const Case& c : cases)
        for (const ResampleFilter filter :
             {ResampleFilter::Lanczos, ResampleFilter::Bilinear, ResampleFilter::Nearest}) {
            const auto source = testimg::Noise(c.fromWidth, c.fromHeight, 6);
            const QImage fast = effects::Resize(*source, c.width, c.height, filter);
            const QImage plain = effects::plain::Resize(*source, c.width, c.height, filter);
            ASSERT_EQ(fast.size(), plain.size());
            EXPECT_EQ(std::memcmp(fast.constBits(), plain.constBits(), std::size_t(fast.sizeInBytes())), 0)
                << c.fromWidth << "x" << c.fromHeight << " to " << c.width << "x" << c.height << " filter "
                << int(filter);
        }
}

TEST(Resize, NearestTakesThePixelUnderEachCentreAndMakesBlocksWhenEnlargingByWholeFactors)
{
    const auto source = testimg::Noise(7, 5, 4);
    for (const Case& c : kCases) {
        const auto from = testimg::Noise(c.fromWidth, c.fromHeight, 2);
        const QImage result = effects::Resize(*from, c.width, c.height, ResampleFilter::Nearest);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const int sx = int(std::floor((x + 0.5) * c.fromWidth / c.width));
                const int sy = int(std::floor((y + 0.5) * c.fromHeight / c.height));
                ASSERT_EQ(std::memcmp(result.constScanLine(y) + 3 * x, from->ScanLine(sy) + 3 * sx, 3), 0)
                    << c.fromWidth << "x" << c.fromHeight << " to " << c.width << "x" << c.height;
            }
    }
    for (const auto& [fx, fy] : {std::pair{2, 2}, std::pair{3, 1}, std::pair{1, 4}, std::pair{5, 3}}) {
        const QImage result = effects::Resize(*source, 7 * fx, 5 * fy, ResampleFilter::Nearest);
        for (int y = 0; y < result.height(); ++y)
            for (int x = 0; x < result.width(); ++x)
                ASSERT_EQ(std::memcmp(result.constScanLine(y) + 3 * x, source->ScanLine(y / fy) + 3 * (x / fx), 3), 0)
                    << fx << "x" << fy << " at " << x << "," << y;
    }
}

// A uniform image stays uniform under every filter and size: the weights of
// every result pixel sum to 1, even where the image's edges cut them.
TEST(Resize, KeepsAUniformImageUniform)
{
    std::mt19937 random(3);
    for (int trial = 0; trial < 60; ++trial) {
        const TColor colour = TColor(random() & 0xFFFFFF);
        const int fromWidth = 1 + int(random() % 40);
        const int fromHeight = 1 + int(random() % 40);
        const int width = 1 + int(random() % 40);
        const int height = 1 + int(random() % 40);
        const auto source = testimg::Uniform(fromWidth, fromHeight, colour);
        for (const ResampleFilter filter :
             {ResampleFilter::Lanczos, ResampleFilter::Bicubic, ResampleFilter::Bilinear, ResampleFilter::Nearest}) {
            const QImage result = effects::Resize(*source, width, height, filter);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const std::uint8_t* p = result.constScanLine(y) + 3 * x;
                    ASSERT_EQ(RGBColor(p[2], p[1], p[0]), colour) << fromWidth << "x" << fromHeight << " to " << width
                                                                  << "x" << height << " filter " << int(filter);
                }
        }
    }
}
