#include "ToolScene.h"
#include "tools/Toutil.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

using namespace toolscene;

namespace {

struct LineCase {
    Point from, to;
    std::vector<Point> plotted; // in the order of the walk
};

std::vector<Point> clipped(int x0, int y0, int x1, int y1, int width, int height)
{
    std::vector<Point> points;
    RasteriseLine(x0, y0, x1, y1, width, height, [&](int x, int y) { points.push_back({x, y}); });
    return points;
}

} // namespace

TEST(Rasteriser, DrawsTheKnownShortLines)
{
    const std::vector<LineCase> cases = {
        {{0, 0}, {3, 1}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {{3, 1}, {0, 0}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {{0, 0}, {1, 3}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}}, // y drives
        {{3, 0}, {0, 1}, {{0, 1}, {1, 1}, {2, 0}, {3, 0}}},
        {{0, 0}, {2, 2}, {{0, 0}, {1, 1}, {2, 2}}}, // a tie: x drives
        {{7, 4}, {7, 4}, {{7, 4}}},
        {{10, 10}, {13, 11}, {{10, 10}, {11, 10}, {12, 11}, {13, 11}}},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(LinePoints(c.from.first, c.from.second, c.to.first, c.to.second), c.plotted)
            << "from (" << c.from.first << ", " << c.from.second << ") to (" << c.to.first << ", " << c.to.second
            << ")";
}

TEST(Rasteriser, RandomSegmentsAreSymmetricConnectedAndHaveMaxPlusOnePoints)
{
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> coord(0, 199);
    for (int n = 0; n < 400; ++n) {
        const int x0 = coord(random), y0 = coord(random), x1 = coord(random), y1 = coord(random);
        const std::vector<Point> forward = LinePoints(x0, y0, x1, y1);
        const Points set(forward.begin(), forward.end());
        const int expected = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
        ASSERT_EQ(int(forward.size()), expected);
        ASSERT_EQ(int(set.size()), expected) << "a point was plotted twice";
        ASSERT_EQ(LineSet(x1, y1, x0, y0), set) << x0 << "," << y0 << " " << x1 << "," << y1;
        EXPECT_TRUE(set.count({x0, y0}) && set.count({x1, y1}));
        for (size_t i = 1; i < forward.size(); ++i)
            ASSERT_LE(std::max(std::abs(forward[i].first - forward[i - 1].first),
                               std::abs(forward[i].second - forward[i - 1].second)),
                      1);
    }
}

// Clipping jumps over the part of a line before the box instead of walking it:
// the points inside must be exactly those of the whole line.
TEST(Rasteriser, ClippingToTheImageKeepsExactlyThePointsInside)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coord(-3000, 3000);
    const int width = 40, height = 30, shift = 3000;
    for (int n = 0; n < 300; ++n) {
        const int x0 = coord(random), y0 = coord(random) / 10, x1 = coord(random) / 50, y1 = coord(random) / 100;
        std::vector<Point> expected;
        for (const Point& p : LinePoints(x0 + shift, y0 + shift, x1 + shift, y1 + shift))
            if (p.first - shift >= 0 && p.first - shift < width && p.second - shift >= 0 && p.second - shift < height)
                expected.push_back({p.first - shift, p.second - shift});
        ASSERT_EQ(clipped(x0, y0, x1, y1, width, height), expected) << x0 << "," << y0 << " " << x1 << "," << y1;
    }
}

TEST(Rasteriser, EndsAtTheLimitsOfIntAreExactAndCheap)
{
    // A 45-degree line from the far corner reaches the box on its diagonal.
    EXPECT_EQ(clipped(INT_MIN, INT_MIN, 5, 5, 10, 10),
              (std::vector<Point>{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}));
    EXPECT_EQ(clipped(INT_MAX, 3, INT_MIN, 3, 4, 4), (std::vector<Point>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
    // Nearly horizontal, from two billion columns away: y made its last step
    // long before the box, which sees only the end row.
    const std::vector<Point> far = clipped(-2000000000, 0, 9, 3, 10, 10);
    ASSERT_EQ(far.size(), 10u);
    EXPECT_EQ(far.back(), Point(9, 3));
    EXPECT_EQ(far.front(), Point(0, 3));
    EXPECT_TRUE(clipped(INT_MIN, INT_MAX, INT_MAX, INT_MIN, 0, 0).empty());
}
