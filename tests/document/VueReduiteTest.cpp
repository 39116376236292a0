// The reduced copies of a window canvas: exact averages, and updates of the
// changed rows that leave them as a full recomputation would.
#include "document/TVueReduite.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

QImage Noise(int width, int height, unsigned seed)
{
    QImage image(width, height, QImage::Format_BGR888);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x)
            image.scanLine(y)[x] = std::uint8_t(random());
    return image;
}

bool SameLevels(const TVueReduite& a, const TVueReduite& b)
{
    for (int level = 1; level <= TVueReduite::kLevels; ++level)
        for (int y = 0; y < a.Level(level).height(); ++y)
            if (std::memcmp(a.Level(level).constScanLine(y), b.Level(level).constScanLine(y),
                            std::size_t(3 * a.Level(level).width())) != 0)
                return false;
    return true;
}

} // namespace

TEST(VueReduite, AveragesTheBlocksThatExistAtOddSizes)
{
    // 3 x 1: the first half-size pixel averages two pixels, the second one.
    QImage image(3, 1, QImage::Format_BGR888);
    const std::uint8_t bytes[9] = {10, 20, 30, 11, 21, 31, 200, 100, 0};
    std::memcpy(image.scanLine(0), bytes, 9);
    TVueReduite copies;
    ASSERT_TRUE(copies.Allocate(3, 1));
    copies.Update(image);
    const std::uint8_t* half = copies.Level(1).constScanLine(0);
    EXPECT_EQ(std::vector<int>(half, half + 6), (std::vector<int>{11, 21, 31, 200, 100, 0}));
    EXPECT_EQ(copies.Level(4).size(), QSize(1, 1));
    // (11 + 200 + 1) / 2 = 106 at a quarter, then the same single pixel below.
    EXPECT_EQ(copies.Level(4).constScanLine(0)[0], 106);
}

TEST(VueReduite, UpdatingTheChangedRowsEqualsRebuilding)
{
    QImage image = Noise(37, 29, 1);
    TVueReduite kept;
    ASSERT_TRUE(kept.Allocate(37, 29));
    kept.Update(image);
    std::mt19937 random(2);
    const QRect changes[] = {{0, 0, 1, 1},   {36, 28, 1, 1}, {5, 7, 20, 1},  {13, 2, 1, 25},
                             {0, 0, 37, 29}, {30, 20, 7, 9}, {-4, -4, 8, 8}, {33, 27, 10, 10}};
    for (const QRect& change : changes) {
        SCOPED_TRACE(change.x());
        const QRect area = change & image.rect();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = 3 * area.left(); x < 3 * (area.right() + 1); ++x)
                image.scanLine(y)[x] = std::uint8_t(random());
        kept.Changed(change);
        kept.Update(image);
        TVueReduite fresh;
        ASSERT_TRUE(fresh.Allocate(37, 29));
        fresh.Update(image);
        EXPECT_TRUE(SameLevels(kept, fresh));
    }
    // A diagonal drawn pixel by pixel.
    for (int i = 0; i < 29; ++i) {
        image.scanLine(i)[3 * i] ^= 0xFF;
        kept.Changed(QRect(i, i, 1, 1));
    }
    kept.Update(image);
    TVueReduite fresh;
    ASSERT_TRUE(fresh.Allocate(37, 29));
    fresh.Update(image);
    EXPECT_TRUE(SameLevels(kept, fresh));
}

TEST(VueReduite, TakeLessThanAThirdOfTheImageOrNothing)
{
    // Memory that is not there leaves no copy.
    TVueReduite impossible;
    EXPECT_FALSE(impossible.Allocate(1 << 29, 1 << 29));
    EXPECT_FALSE(impossible.IsAllocated());
    EXPECT_EQ(impossible.Bytes(), 0u);

    for (const QSize size : {QSize(6000, 4000), QSize(1, 1), QSize(32767, 1)}) {
        TVueReduite copies;
        ASSERT_TRUE(copies.Allocate(size.width(), size.height()));
        const std::size_t image = std::size_t(QImage(size, QImage::Format_BGR888).sizeInBytes());
        if (size.height() > 1) {
            EXPECT_LE(3 * copies.Bytes(), image) << size.width();
        }
        EXPECT_EQ(copies.Level(TVueReduite::kLevels).size(),
                  QSize((size.width() + 15) / 16, (size.height() + 15) / 16));
    }
}

// Each screen pixel weighs the image pixels by how much of them it covers:
// in units of 1 / num image pixel, screen pixel z spans [z den, (z + 1) den)
// and image pixel i spans [i num, (i + 1) num).
TEST(VueReduite, ThirdsAndTwoThirdsAverageWhatEachScreenPixelCovers)
{
    const QImage image = Noise(29, 17, 3);
    TVueReduite copies;
    ASSERT_TRUE(copies.Allocate(29, 17));
    copies.Update(image);
    for (const auto& [num, den] : {std::pair{1, 3}, std::pair{2, 3}}) {
        SCOPED_TRACE(num);
        const int width = (29 * num + den - 1) / den, height = (17 * num + den - 1) / den;
        std::vector<std::uint32_t> out(std::size_t(width * height));
        copies.Render(image, num, den, 0, 0, width, height, out.data(), width);
        const auto overlap = [&](int z, int i) {
            return std::max(0, std::min((z + 1) * den, (i + 1) * num) - std::max(z * den, i * num));
        };
        for (int zy = 0; zy < height; ++zy)
            for (int zx = 0; zx < width; ++zx) {
                int sum[3] = {0, 0, 0}, total = 0;
                for (int y = 0; y < 17; ++y)
                    for (int x = 0; x < 29; ++x) {
                        const int w = overlap(zx, x) * overlap(zy, y);
                        for (int c = 0; c < 3; ++c)
                            sum[c] += w * image.constScanLine(y)[3 * x + c];
                        total += w;
                    }
                const std::uint32_t expected = 0xFF000000u | std::uint32_t((sum[2] + total / 2) / total) << 16 |
                                               std::uint32_t((sum[1] + total / 2) / total) << 8 |
                                               std::uint32_t((sum[0] + total / 2) / total);
                ASSERT_EQ(out[std::size_t(zy * width + zx)], expected) << zx << "," << zy;
            }
    }
}
