#include "Reference.h"

#include "filters/Tfiltre.h"
#include "support/Images.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Filter {
    std::string name;
    std::function<std::unique_ptr<TFiltre>(TBitmap&)> make;
    std::function<void(TBitmap&)> reference;
    int minWidth, minHeight; // the smallest image the filter changes
};

template <class T> std::unique_ptr<TFiltre> make(TBitmap& bitmap) { return std::make_unique<T>(bitmap); }

const std::int16_t kBox[3][3] = {{100, 100, 100}, {100, 100, 100}, {100, 100, 100}};
const std::int16_t kSharpen[3][3] = {{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}};

const std::vector<Filter>& filters()
{
    static const std::vector<Filter> all = {
        {"TBlur", make<TBlur>, [](TBitmap& b) { reference::Blur(b, kBox); }, 3, 3},
        {"TFlou", make<TFlou>, reference::Flou, 9, 9},
        {"TSharpen", make<TSharpen>, [](TBitmap& b) { reference::Sharpen(b, kSharpen); }, 3, 3},
        {"TEmboss", make<TEmboss>, reference::Emboss, 3, 7},
        {"TAquarelle", make<TAquarelle>, reference::Aquarelle, 3, 3},
    };
    return all;
}

void apply(const Filter& filter, TBitmap& bitmap) { filter.make(bitmap)->Apply(); }

// Rows 3 x width of bytes drawn from `values`, reproducibly.
std::unique_ptr<TBitmap> noiseOf(int width, int height, std::uint32_t seed, const std::vector<int>& values)
{
    auto bitmap = testimg::Noise(width, height, seed);
    for (int y = 0; y < height; ++y)
        for (int b = 0; b < 3 * width; ++b)
            bitmap->ScanLine(y)[b] = std::uint8_t(values[bitmap->ScanLine(y)[b] % values.size()]);
    return bitmap;
}

} // namespace

TEST(Filters, ImagesTooSmallForTheBorderComeOutUnchanged)
{
    for (const Filter& filter : filters()) {
        SCOPED_TRACE(filter.name);
        const int w = filter.minWidth;
        const int h = filter.minHeight;
        for (auto [width, height] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{2, 2}, std::pair{w - 1, h},
                                     std::pair{w, h - 1}, std::pair{w - 1, 40}, std::pair{40, h - 1}}) {
            auto bitmap = testimg::Noise(width, height, 3);
            const auto before = testimg::Copy(*bitmap);
            apply(filter, *bitmap);
            EXPECT_TRUE(testimg::SameBytes(*bitmap, *before)) << width << " x " << height;
        }
        // At the smallest size exactly one pixel changes.
        auto bitmap = testimg::Uniform(w, h, 0x5A5A5A);
        bitmap->ScanLine(h / 2)[3 * (w / 2)] = 0xF0;
        const auto before = testimg::Copy(*bitmap);
        apply(filter, *bitmap);
        int changed = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                changed += testimg::At(*bitmap, x, y) != testimg::At(*before, x, y);
        EXPECT_EQ(changed, 1);
    }
}

TEST(Filters, ChannelsAreFilteredAloneAsGreyImages)
{
    auto colour = testimg::Noise(23, 19, 11);
    for (const Filter& filter : filters()) {
        SCOPED_TRACE(filter.name);
        auto filtered = testimg::Copy(*colour);
        apply(filter, *filtered);
        for (int k = 0; k < 3; ++k) {
            auto grey =
                testimg::Make(23, 19, [&](int x, int y) { return TColor(colour->ScanLine(y)[3 * x + k]) * 0x010101u; });
            apply(filter, *grey);
            for (int y = 0; y < 19; ++y)
                for (int x = 0; x < 23; ++x)
                    ASSERT_EQ(filtered->ScanLine(y)[3 * x + k], grey->ScanLine(y)[3 * x])
                        << k << ": " << x << ", " << y;
        }
    }
}

TEST(Filters, DestroyingAFilterAfterItsBitmapTouchesNothingElse)
{
    // The palette keeps its last filter past the bitmap's life; the sanitizer
    // build reports any access to the freed bitmap.
    for (const Filter& filter : filters()) {
        auto bitmap = testimg::Noise(12, 12, 5);
        std::unique_ptr<TFiltre> last = filter.make(*bitmap);
        last->Apply();
        bitmap.reset();
        last.reset();
    }
}

TEST(Filters, MatchThePlainAlgorithmsByteForByte)
{
    const std::pair<int, int> sizes[] = {
        {3, 3},  {4, 3},  {3, 7},   {3, 8},   {9, 9},   {10, 10}, {11, 10},  {10, 11}, {12, 12}, {13, 17},  {17, 13},
        {21, 5}, {5, 21}, {31, 29}, {37, 14}, {64, 11}, {11, 64}, {101, 23}, {6, 40},  {40, 6},  {400, 12}, {700, 11}};
    const std::vector<std::vector<int>> palettes = {{}, {0, 255}, {0, 10, 200, 255}, {127, 128, 129}};
    for (const Filter& filter : filters()) {
        SCOPED_TRACE(filter.name);
        std::uint32_t seed = 1;
        for (auto [w, h] : sizes)
            for (const auto& palette : palettes) {
                auto image = palette.empty() ? testimg::Noise(w, h, ++seed) : noiseOf(w, h, ++seed, palette);
                auto expected = testimg::Copy(*image);
                filter.reference(*expected);
                apply(filter, *image);
                ASSERT_TRUE(testimg::SameBytes(*image, *expected)) << w << " x " << h << ", seed " << seed;
            }
    }
}
