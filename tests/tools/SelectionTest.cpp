#include "ToolScene.h"
#include "tools/Tformes.h"
#include "tools/Tpinceau.h"
#include "tools/Tpot.h"
#include "tools/Tselectrect.h"

#include <gtest/gtest.h>

using namespace toolscene;

namespace {

constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);

Points editable(Scene& scene)
{
    Points found;
    for (int y = 0; y < scene.image->Height(); ++y)
        for (int x = 0; x < scene.image->Width(); ++x)
            if (scene.selection.GetRows()[y][x] == 1)
                found.insert({x, y});
    return found;
}

Points box(int x0, int y0, int x1, int y1)
{
    Points found;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            found.insert({x, y});
    return found;
}

} // namespace

TEST(Selection, APressMakesEverythingEditable)
{
    Scene scene(20, 15);
    scene.Mask(0, 0, 20, 15, 0);
    auto select = scene.Make<TSelectRect>();
    scene.Press(*select, 3, 3);
    scene.Release(*select, 3, 3);
    EXPECT_EQ(editable(scene).size(), 300u);
    // A release that shares a coordinate with the press does not reach the tool.
    scene.Press(*select, 3, 3);
    scene.Release(*select, 9, 3);
    EXPECT_EQ(editable(scene).size(), 300u);
}

TEST(Selection, TheReleaseSelectsTheHalfOpenRectangleWhicheverWayItWasDragged)
{
    for (auto [from, to] : {std::pair{Point{10, 10}, Point{14, 13}}, {{14, 13}, {10, 10}}, {{14, 10}, {10, 13}}}) {
        Scene scene(30, 20);
        auto select = scene.Make<TSelectRect>();
        scene.Stroke(*select, {from, {20, 19}, to});
        EXPECT_EQ(editable(scene), box(10, 10, 14, 13));
        EXPECT_TRUE(Where(*scene.image, clWhite).size() == 600u) << "the selection never draws into the image";
    }
}

// Such a rectangle spans no pixel: the whole image stays editable, as the
// press left it, even over a smaller selection made before.
TEST(Selection, AReleaseOnTheAnchorsColumnOrRowLeavesEverythingEditable)
{
    Scene scene(20, 20);
    auto select = scene.Make<TSelectRect>();
    for (const Point& end : {Point{5, 12}, Point{12, 5}, Point{5, 0}}) {
        scene.Stroke(*select, {{2, 2}, {9, 9}});
        ASSERT_EQ(editable(scene), box(2, 2, 9, 9));
        scene.Stroke(*select, {{5, 5}, {7, 9}, end});
        EXPECT_EQ(editable(scene), box(0, 0, 20, 20)) << end.first << "," << end.second;
    }
}

TEST(Selection, PreviewIsTheOutlineInTheButtonsColourOverProtectedPixels)
{
    Scene scene(30, 30);
    auto select = scene.Make<TSelectRect>();
    select->SetCouleur1(kRed);
    select->SetCouleur2(kBlue);
    scene.Mask(0, 0, 30, 30, 0);
    int ax = 10, ay = 10;
    select->Trace(&ax, &ay, 14, 13, mbLeft, scene.Window());
    Points outline;
    for (int c = 10; c <= 13; ++c)
        outline.insert({{c, 10}, {c, 13}});
    for (int r = 10; r <= 12; ++r)
        outline.insert({{10, r}, {14, r}});
    EXPECT_EQ(Where(scene.window, kRed), outline);
    EXPECT_TRUE(editable(scene).empty()); // the preview leaves the mask alone
    scene.Repaint();
    select->Trace(&ax, &ay, 14, 13, mbRight, scene.Window());
    EXPECT_EQ(Where(scene.window, kBlue), outline);
}

TEST(Selection, LaterToolsChangeOnlyPixelsInsideTheRectangle)
{
    Scene scene(40, 30);
    auto select = scene.Make<TSelectRect>();
    scene.Stroke(*select, {{10, 5}, {30, 20}});
    const Points inside = box(10, 5, 30, 20);

    auto pot = scene.Make<TPot>();
    pot->SetCouleur1(kRed);
    scene.Press(*pot, 0, 0); // outside: protected pixels are not crossed
    EXPECT_TRUE(Where(*scene.image, kRed).empty());
    scene.Press(*pot, 15, 10);
    EXPECT_EQ(Where(*scene.image, kRed), inside);

    auto eraser = scene.Make<TGomme>();
    scene.Press(*eraser, 25, 15);
    auto brush = scene.Make<TPinceau>();
    scene.Stroke(*brush, {{0, 0}, {39, 29}});
    auto line = scene.Make<TLine>();
    scene.Stroke(*line, {{39, 0}, {0, 29}});
    const Points changed = Changed(*testimg::Uniform(40, 30, clWhite), *scene.image);
    for (const Point& p : changed)
        EXPECT_TRUE(inside.count(p)) << p.first << "," << p.second;
    EXPECT_GT(Where(*scene.image, clBlack).size(), 20u);
}

TEST(Selection, AnAnchorOutsideATinyImageGivesAClippedRectangle)
{
    Scene scene(4, 3);
    auto select = scene.Make<TSelectRect>();
    int ax = -5, ay = 50;
    select->Trace(&ax, &ay, 2, 1, mbLeft, nullptr);
    EXPECT_EQ(editable(scene), box(0, 1, 2, 3));
}
