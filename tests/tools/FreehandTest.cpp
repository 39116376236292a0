#include "ToolScene.h"
#include "tools/Tpinceau.h"

#include <gtest/gtest.h>

using namespace toolscene;

namespace {
constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);

Points unite(std::initializer_list<Points> parts)
{
    Points all;
    for (const Points& p : parts)
        all.insert(p.begin(), p.end());
    return all;
}
} // namespace

TEST(ToolColours, NewToolDrawsBlackWithTheLeftButtonAndWhiteWithTheOthers)
{
    Scene scene(8, 8, RGBColor(1, 2, 3));
    TPinceau brush(scene.image.get(), scene.selection.GetRows());
    EXPECT_EQ(brush.Couleur1(), clBlack);
    EXPECT_EQ(brush.Couleur2(), clWhite);
    brush.Clic(1, 1, mbLeft, scene.Window());
    brush.Clic(2, 2, mbRight, scene.Window());
    brush.Clic(3, 3, mbMiddle, scene.Window());
    EXPECT_EQ(testimg::At(*scene.image, 1, 1), clBlack);
    EXPECT_EQ(testimg::At(*scene.image, 2, 2), clWhite);
    EXPECT_EQ(testimg::At(*scene.image, 3, 3), clWhite);
}

TEST(Brush, AClickChangesOnePixelAndShowsItAtOnce)
{
    Scene scene(20, 20);
    auto brush = scene.Make<TPinceau>();
    brush->SetCouleur1(kRed);
    brush->Clic(4, 7, mbLeft, scene.Window());
    EXPECT_EQ(Where(*scene.image, kRed), Points({{4, 7}}));
    EXPECT_EQ(Where(scene.window, kRed), Points({{4, 7}}));

    scene.Mask(5, 5, 6, 6, 0);
    brush->Clic(5, 5, mbLeft, scene.Window());
    EXPECT_EQ(Where(*scene.image, kRed).size(), 1u);
    EXPECT_EQ(Where(scene.window, kRed).size(), 1u);
}

TEST(Brush, StrokesAreChainsOfSegmentsInTheButtonsColour)
{
    for (TMouseButton button : {mbLeft, mbRight}) {
        Scene scene(40, 40);
        auto brush = scene.Make<TPinceau>();
        brush->SetCouleur1(kRed);
        brush->SetCouleur2(kBlue);
        scene.Stroke(*brush, {{2, 3}, {9, 7}, {20, 30}, {35, 12}}, button);
        const Points expected = unite({LineSet(2, 3, 9, 7), LineSet(9, 7, 20, 30), LineSet(20, 30, 35, 12)});
        EXPECT_EQ(Where(*scene.image, button == mbLeft ? kRed : kBlue), expected);
        EXPECT_EQ(Changed(*testimg::Uniform(40, 40, clWhite), *scene.image), expected);
        // The brush moves the anchor to the end of each segment.
        EXPECT_EQ(scene.anchorX, 35);
        EXPECT_EQ(scene.anchorY, 12);
    }
}

TEST(Brush, AStrokeAcrossAProtectedBandSkipsItAndGoesOn)
{
    Scene scene(40, 20);
    scene.Mask(10, 0, 15, 20, 0);
    auto brush = scene.Make<TPinceau>();
    scene.Stroke(*brush, {{5, 5}, {20, 8}, {3, 15}});
    Points expected;
    for (const Point& p : unite({LineSet(5, 5, 20, 8), LineSet(20, 8, 3, 15)}))
        if (p.first < 10 || p.first >= 15)
            expected.insert(p);
    EXPECT_EQ(Where(*scene.image, clBlack), expected);
    EXPECT_TRUE(expected.count({20, 8}) && expected.count({9, 6}) && expected.count({15, 7}));
}

TEST(Brush, LeavingTheImageAndComingBackJoinsTheLastPointInside)
{
    Scene scene(30, 30);
    auto brush = scene.Make<TPinceau>();
    scene.Press(*brush, 5, 5);
    scene.Move(*brush, 8, 9);
    scene.Move(*brush, -3, 20); // outside: ignored, the anchor stays at (8, 9)
    EXPECT_EQ(scene.anchorX, 8);
    scene.Move(*brush, 31, 40); // outside too
    scene.Move(*brush, 25, 15);
    scene.Release(*brush, 25, 15);
    EXPECT_EQ(Where(*scene.image, clBlack), unite({LineSet(5, 5, 8, 9), LineSet(8, 9, 25, 15)}));
}

TEST(Brush, TraceToAPointOutsideDrawsNothingAndKeepsTheAnchor)
{
    Scene scene(10, 10);
    auto brush = scene.Make<TPinceau>();
    for (Point p : {Point{10, 5}, {5, 10}, {-1, 5}, {5, -1}}) {
        int ax = 2, ay = 2;
        brush->Trace(&ax, &ay, p.first, p.second, mbLeft, scene.Window());
        EXPECT_EQ(ax, 2);
        EXPECT_EQ(ay, 2);
    }
    EXPECT_TRUE(Where(*scene.image, clBlack).empty());
}

// With both buttons held the document calls the brush twice per point, left
// first: the left pass draws the segment from the last joint in couleur1 and
// moves the anchor, so the right pass draws only the point, in couleur2. The
// next left pass starts at that point and paints it over, so only the last
// point of the stroke stays in couleur2.
TEST(Brush, WithBothButtonsOnlyTheLastPointKeepsTheSecondColour)
{
    Scene scene(30, 30);
    auto brush = scene.Make<TPinceau>();
    brush->SetCouleur1(kRed);
    brush->SetCouleur2(kBlue);
    scene.Press(*brush, 2, 2);
    for (Point p : {Point{6, 4}, {10, 9}, {15, 11}})
        scene.Move(*brush, p.first, p.second, true, true);
    scene.Release(*brush, 15, 11); // shares the anchor: does not reach the brush
    EXPECT_EQ(Where(*scene.image, kBlue), Points({{15, 11}}));
    Points red = unite({LineSet(2, 2, 6, 4), LineSet(6, 4, 10, 9), LineSet(10, 9, 15, 11)});
    red.erase({15, 11});
    EXPECT_EQ(Where(*scene.image, kRed), red);
}

TEST(Eraser, PaintsA16By16SquareInTheSecondColourWhateverTheButton)
{
    Scene scene(40, 40, clBlack);
    auto eraser = scene.Make<TGomme>();
    eraser->SetCouleur1(kRed);
    eraser->SetCouleur2(kBlue);
    eraser->Clic(10, 12, mbLeft, scene.Window());
    Points square;
    for (int x = 10; x < 26; ++x)
        for (int y = 12; y < 28; ++y)
            square.insert({x, y});
    EXPECT_EQ(Where(*scene.image, kBlue), square);
    EXPECT_EQ(Where(scene.window, kBlue), square);
    EXPECT_EQ(testimg::At(*scene.image, 26, 12), clBlack);
    EXPECT_TRUE(Where(*scene.image, kRed).empty());
}

TEST(Eraser, IsClippedAtTheImageEdgesAndByTheMask)
{
    Scene scene(40, 30, clBlack);
    auto eraser = scene.Make<TGomme>();
    eraser->Clic(35, 25, mbRight, scene.Window());
    EXPECT_EQ(Where(*scene.image, clWhite).size(), 25u);
    EXPECT_EQ(*Where(*scene.image, clWhite).begin(), Point(35, 25));

    Scene corner(40, 30, clBlack);
    auto other = corner.Make<TGomme>();
    other->Clic(-10, -12, mbLeft, corner.Window());
    EXPECT_EQ(Where(*corner.image, clWhite).size(), 6u * 4u);

    Scene masked(40, 30, clBlack);
    masked.Mask(0, 0, 40, 8, 0);
    auto third = masked.Make<TGomme>();
    third->Clic(2, 2, mbLeft, masked.Window());
    EXPECT_EQ(Where(*masked.image, clWhite).size(), 16u * 10u);
    EXPECT_EQ(Where(masked.window, clWhite).size(), 16u * 10u);
}

TEST(Eraser, DragPaintsSeparateSquaresAndNeverMovesTheAnchor)
{
    Scene scene(80, 40, clBlack);
    auto eraser = scene.Make<TGomme>();
    scene.Press(*eraser, 0, 0);
    scene.Move(*eraser, 40, 20);
    EXPECT_EQ(Where(scene.window, clWhite).size(), 2u * 256u); // drawn on the window too
    scene.Move(*eraser, 60, 2);
    EXPECT_EQ(scene.anchorX, 0);
    int ax = 0, ay = 0;
    eraser->Trace(&ax, &ay, 20, 20, mbLeft, nullptr); // the release: bitmap only
    EXPECT_EQ(testimg::At(scene.window, 21, 35), clBlack);
    EXPECT_EQ(testimg::At(*scene.image, 21, 35), clWhite);
    EXPECT_EQ(Where(*scene.image, clWhite).size(), 4u * 256u);
}
