#include "ToolScene.h"
#include "tools/Tformes.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace toolscene;

namespace {

constexpr TColor kRed = RGBColor(255, 0, 0);

// The points that a drag preview writes on a window, in order, through the
// window canvas's change notifier.
std::vector<Point> previewWrites(Scene& scene, TOutil& tool, int ax, int ay, int x, int y, TMouseButton button = mbLeft)
{
    std::vector<Point> writes;
    scene.Window()->SetChangeNotifier([&](const QRect& r) { writes.push_back({r.x(), r.y()}); });
    tool.Trace(&ax, &ay, x, y, button, scene.Window());
    scene.Window()->SetChangeNotifier({});
    return writes;
}

Points finalShape(int width, int height, int ax, int ay, int x, int y, bool ellipse)
{
    Scene scene(width, height);
    std::unique_ptr<TOutil> tool;
    if (ellipse)
        tool = scene.Make<TCercle>();
    else
        tool = scene.Make<TRectangle>();
    tool->Trace(&ax, &ay, x, y, mbLeft, nullptr);
    return Where(*scene.image, clBlack);
}

} // namespace

TEST(LineTool, AClickLeavesThePressPixelInTheBitmapOnly)
{
    Scene scene(20, 20);
    auto line = scene.Make<TLine>();
    line->SetCouleur2(kRed);
    scene.Press(*line, 3, 4, mbRight);
    EXPECT_TRUE(Where(scene.window, kRed).empty());
    scene.Release(*line, 3, 4, mbRight);
    EXPECT_EQ(Where(*scene.image, kRed), Points({{3, 4}}));
    EXPECT_EQ(Where(*scene.image, clWhite).size(), 399u);
    EXPECT_EQ(Where(scene.window, kRed), Points({{3, 4}}));
}

TEST(LineTool, DrawsFromThePressToTheReleaseAndPreviewsOnTheWindow)
{
    Scene scene(20, 20);
    auto line = scene.Make<TLine>();
    scene.Press(*line, 10, 10);
    scene.Move(*line, 16, 3);
    EXPECT_EQ(Where(scene.window, clBlack), LineSet(10, 10, 16, 3));
    EXPECT_EQ(Where(*scene.image, clBlack), Points({{10, 10}}));
    scene.Move(*line, 13, 11); // the previous preview is gone with the repaint
    EXPECT_EQ(Where(scene.window, clBlack), Points({{10, 10}, {11, 10}, {12, 11}, {13, 11}}));
    scene.Release(*line, 13, 11);
    EXPECT_EQ(Where(*scene.image, clBlack), Points({{10, 10}, {11, 10}, {12, 11}, {13, 11}}));
    EXPECT_EQ(scene.anchorX, 10);
    EXPECT_EQ(scene.anchorY, 10);
}

TEST(LineTool, PreviewAndLineAreInterruptedByTheMask)
{
    Scene scene(30, 10);
    scene.Mask(8, 0, 12, 10, 0);
    auto line = scene.Make<TLine>();
    scene.Press(*line, 2, 1);
    scene.Move(*line, 25, 6);
    Points expected;
    for (const Point& p : LineSet(2, 1, 25, 6))
        if (p.first < 8 || p.first >= 12)
            expected.insert(p);
    EXPECT_EQ(Where(scene.window, clBlack), expected);
    scene.Release(*line, 25, 6);
    EXPECT_EQ(Where(*scene.image, clBlack), expected);
}

TEST(RectangleTool, DrawsTheHalfOpenOutlineWithoutItsFarCorner)
{
    Points expected;
    for (int c = 10; c <= 13; ++c)
        expected.insert({{c, 10}, {c, 13}});
    for (int r = 10; r <= 12; ++r)
        expected.insert({{10, r}, {14, r}});
    EXPECT_EQ(finalShape(30, 30, 10, 10, 14, 13, false), expected);
    EXPECT_EQ(finalShape(30, 30, 14, 13, 10, 10, false), expected);
    EXPECT_EQ(finalShape(30, 30, 14, 10, 10, 13, false), expected);
    EXPECT_EQ(expected.count({14, 13}), 0u);
    // Degenerate boxes: a column, a row, nothing.
    EXPECT_EQ(finalShape(30, 30, 5, 2, 5, 5, false), Points({{5, 2}, {5, 3}, {5, 4}}));
    EXPECT_EQ(finalShape(30, 30, 7, 2, 5, 2, false), Points({{5, 2}, {6, 2}}));
    EXPECT_TRUE(finalShape(30, 30, 5, 2, 5, 2, false).empty());
}

TEST(RectangleTool, PreviewIsWholeOverProtectedPixelsButTheFinalOutlineIsNot)
{
    Scene scene(30, 30);
    scene.Mask(0, 0, 12, 30, 0);
    auto rectangle = scene.Make<TRectangle>();
    scene.Press(*rectangle, 10, 10);
    EXPECT_TRUE(Where(scene.window, clBlack).empty());
    scene.Move(*rectangle, 14, 13);
    const Points preview = Where(scene.window, clBlack);
    EXPECT_EQ(preview.size(), 13u);
    EXPECT_TRUE(preview.count({10, 11}));
    scene.Release(*rectangle, 14, 13);
    Points inside;
    for (const Point& p : preview)
        if (p.first >= 12)
            inside.insert(p);
    EXPECT_EQ(Where(*scene.image, clBlack), inside);
}

TEST(EllipseTool, FillsItsBoxLeaningToTheTopLeft)
{
    const Points big = finalShape(120, 120, 0, 0, 100, 100, true);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (const Point& p : big) {
        minX = std::min(minX, p.first);
        maxX = std::max(maxX, p.first);
        minY = std::min(minY, p.second);
        maxY = std::max(maxY, p.second);
    }
    EXPECT_EQ(minX, 0);
    EXPECT_EQ(maxX, 100);
    EXPECT_EQ(minY, 0);
    EXPECT_EQ(maxY, 99);
    Points column100;
    for (const Point& p : big)
        if (p.first == 100)
            column100.insert(p);
    EXPECT_EQ(column100, Points({{100, 50}}));
    EXPECT_EQ(finalShape(120, 120, 100, 100, 0, 0, true), big);

    const Points small = finalShape(10, 10, 0, 0, 5, 3, true);
    EXPECT_FALSE(small.empty());
    for (const Point& p : small) {
        EXPECT_LT(p.first, 5);
        EXPECT_LT(p.second, 3);
    }
    EXPECT_TRUE(small.count({0, 1}) && small.count({4, 1}) && small.count({2, 0}));
}

TEST(EllipseTool, TakesExactly1257SamplesAndPreviewsThroughTheMask)
{
    Scene scene(101, 101);
    auto ellipse = scene.Make<TCercle>();
    EXPECT_EQ(previewWrites(scene, *ellipse, 0, 0, 100, 100).size(), 1257u);
    EXPECT_TRUE(Where(*scene.image, clBlack).empty());

    scene.Repaint();
    scene.Mask(0, 0, 50, 101, 0);
    const std::vector<Point> masked = previewWrites(scene, *ellipse, 0, 0, 100, 100);
    EXPECT_GT(masked.size(), 500u);
    EXPECT_TRUE(std::all_of(masked.begin(), masked.end(), [](const Point& p) { return p.first >= 50; }));
    // The rectangle's preview ignores the same mask.
    auto rectangle = scene.Make<TRectangle>();
    EXPECT_EQ(previewWrites(scene, *rectangle, 0, 0, 100, 100).size(), 400u);
}

// Samples are 0.005 radians apart: up to a radius of 201 consecutive samples
// touch (8-connected); from 202 on the outline has gaps.
TEST(EllipseTool, OutlineIsClosedUpToRadius201)
{
    Scene scene(501, 501);
    auto ellipse = scene.Make<TCercle>();
    const auto widestStep = [&](int radius) {
        const std::vector<Point> writes = previewWrites(scene, *ellipse, 0, 0, 2 * radius, 2 * radius);
        int widest = 0;
        for (size_t i = 1; i < writes.size(); ++i)
            widest = std::max({widest, std::abs(writes[i].first - writes[i - 1].first),
                               std::abs(writes[i].second - writes[i - 1].second)});
        return widest;
    };
    for (int radius = 1; radius <= 201; ++radius)
        ASSERT_LE(widestStep(radius), 1) << "radius " << radius;
    EXPECT_EQ(widestStep(202), 2);
    EXPECT_EQ(widestStep(250), 2);
}

TEST(Shapes, BothButtonsPreviewTwiceAndTheReleaseDrawsOnce)
{
    Scene scene(30, 30);
    auto rectangle = scene.Make<TRectangle>();
    rectangle->SetCouleur1(kRed);
    scene.Press(*rectangle, 2, 2);
    scene.Move(*rectangle, 8, 9, true, true);
    EXPECT_TRUE(Where(scene.window, kRed).empty()); // wiped by the second repaint
    EXPECT_EQ(Where(scene.window, clWhite).size(), 900u); // the right preview is white on white
    scene.Release(*rectangle, 8, 9, mbLeft);
    EXPECT_EQ(Where(*scene.image, kRed).size(), 25u);
}
