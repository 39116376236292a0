#include "filters/RankSelect.h"
#include "filters/Tfiltre.h"
#include "support/Images.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr TColor grey(int v) { return TColor(v) * 0x010101u; }

// A 10 x 10 image has one pixel in reach of the rank pass, (4, 4). Its 25
// samples (rows and columns 0, 2, 4, 6, 8) get `high` for the first
// `highCount` of them and `low` for the rest; every other pixel is 77.
std::unique_ptr<TBitmap> rankCase(int highCount, int high, int low)
{
    return testimg::Make(10, 10, [=](int x, int y) {
        if (x % 2 || y % 2)
            return grey(77);
        const int index = (y / 2) * 5 + x / 2;
        return grey(index < highCount ? high : low);
    });
}

} // namespace

TEST(Aquarelle, RankPassKeepsTheFourteenthSmallestSample)
{
    struct Case {
        int highCount, high, low, expected;
    };
    // 12 of 200 and 13 of 10 give 200, 13 of 200 and 12 of 10 too, 14 of 10
    // give 10; the same counts on other sample positions.
    for (const Case& c : {Case{12, 200, 10, 200}, Case{13, 200, 10, 200}, Case{11, 200, 10, 10}, Case{14, 10, 200, 10},
                          Case{13, 10, 200, 200}}) {
        SCOPED_TRACE(testing::Message() << c.highCount << " of " << c.high);
        auto image = rankCase(c.highCount, c.high, c.low);
        // What the sharpen pass makes of the image with the rank result in place.
        auto expected = testimg::Copy(*image);
        std::memset(expected->ScanLine(4) + 12, c.expected, 3);
        TSharpen(*expected).Apply();
        TAquarelle(*image).Apply();
        EXPECT_TRUE(testimg::SameBytes(*image, *expected));
    }
}

TEST(Aquarelle, LoneWhitePixelDisappearsAndFlatAreasOnlySharpen)
{
    auto spot = testimg::Make(20, 20, [](int x, int y) { return grey(x == 9 && y == 9 ? 255 : 0); });
    TAquarelle(*spot).Apply();
    EXPECT_TRUE(testimg::SameBytes(*spot, *testimg::Uniform(20, 20, grey(0))));

    for (int v : {90, 255}) {
        auto flat = testimg::Uniform(16, 13, grey(v));
        TAquarelle(*flat).Apply();
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool border = x == 0 || y == 0 || x == 15 || y == 12;
                ASSERT_EQ(testimg::At(*flat, x, y), grey(border ? v : 7 * v / 9)) << x << ", " << y;
            }
    }
}

TEST(Aquarelle, ImagesUnderTenPixelsGetOnlyTheSharpenPass)
{
    for (auto [w, h] : {std::pair{9, 14}, std::pair{14, 9}, std::pair{3, 3}, std::pair{9, 9}}) {
        auto image = testimg::Noise(w, h, 7);
        auto sharpened = testimg::Copy(*image);
        TSharpen(*sharpened).Apply();
        TAquarelle(*image).Apply();
        EXPECT_TRUE(testimg::SameBytes(*image, *sharpened)) << w << " x " << h;
    }
}

TEST(Aquarelle, SelectionNetworkIsRightForEveryInputOfZerosAndOnes)
{
    // A network of comparators selects the right rank from every input if it
    // does from every input of zeros and ones. Bit i of a pattern is sample i
    // (column i / 5, row i % 5); each lane of a vector tries another pattern.
    using namespace filters::rank;
    // Samples 0 .. 3 take the sixteen patterns of four bits across the lanes.
    __m128i lowBits[4];
    for (int i = 0; i < 4; ++i) {
        alignas(16) std::uint8_t lanes[16];
        for (int l = 0; l < 16; ++l)
            lanes[l] = (l >> i) & 1 ? 255 : 0;
        lowBits[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
    }
    for (std::uint32_t base = 0; base < (1u << 25); base += 16) {
        __m128i columns[5][5];
        for (int i = 0; i < 25; ++i)
            columns[i / 5][i % 5] = i < 4 ? lowBits[i] : _mm_set1_epi8((base >> i) & 1 ? char(255) : 0);
        for (auto& column : columns)
            SortFive(column);
        __m128i left[10];
        __m128i middle[10];
        MergeFives(columns[0], columns[1], left);
        MergeFives(columns[2], columns[3], middle);
        alignas(16) std::uint8_t result[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(result), FourteenthOf(left, middle, columns[4]));
        for (int l = 0; l < 16; ++l) {
            // The fourteenth smallest is 255 when at most 13 samples are 0.
            const int zeros = 25 - std::popcount(base + l);
            if (result[l] != (zeros <= 13 ? 255 : 0)) {
                ADD_FAILURE() << "wrong rank for pattern " << base + l;
                return;
            }
        }
    }
}
