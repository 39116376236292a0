#include "ToolScene.h"
#include "tools/Tformes.h"
#include "tools/Tpinceau.h"
#include "tools/Tpot.h"
#include "tools/Tselectrect.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>

using namespace toolscene;

namespace {

const int kCoords[] = {INT_MIN, -100000, -17, -1, 0, 1, 2, 3, 4, 16, 100000, INT_MAX};

using Factory = std::function<std::unique_ptr<TOutil>(Scene&)>;

template <class Tool> Factory factory()
{
    return [](Scene& scene) -> std::unique_ptr<TOutil> { return scene.Make<Tool>(); };
}

} // namespace

// A 3 x 2 image in a larger window, its middle column protected: whatever the
// points and anchors, no tool touches memory outside the image or the mask
// (the sanitizer build checks), and no protected pixel changes.
TEST(BadInput, NoToolGoesOutsideTheImageOrChangesProtectedPixels)
{
    const std::vector<std::pair<const char*, Factory>> tools = {
        {"brush", factory<TPinceau>()},        {"eraser", factory<TGomme>()},   {"line", factory<TLine>()},
        {"rectangle", factory<TRectangle>()},  {"ellipse", factory<TCercle>()}, {"bucket", factory<TPot>()},
        {"selection", factory<TSelectRect>()},
    };
    for (const auto& [name, make] : tools) {
        for (int windowSide : {8, 1}) {
            Scene scene(3, 2, RGBColor(9, 9, 9));
            scene.window.SetSize(windowSide, windowSide);
            scene.Mask(1, 0, 2, 2, 0);
            auto tool = make(scene);
            tool->SetCouleur1(RGBColor(200, 0, 0));
            tool->SetCouleur2(RGBColor(0, 200, 0));
            for (int x : kCoords)
                for (int y : kCoords) {
                    tool->Clic(x, y, mbLeft, scene.Window());
                    for (int a : {INT_MIN, -5, 1, 7, INT_MAX}) {
                        int ax = a, ay = ~a; // mixed signs, INT_MIN paired with INT_MAX
                        tool->Trace(&ax, &ay, x, y, mbRight, scene.Window());
                        ax = a, ay = a;
                        tool->Trace(&ax, &ay, x, y, mbLeft, nullptr);
                    }
                }
            if (std::string(name) != "selection") {
                for (int y = 0; y < 2; ++y)
                    EXPECT_EQ(testimg::At(*scene.image, 1, y), RGBColor(9, 9, 9)) << name;
            }
        }
    }
}

TEST(BadInput, AToolWithoutAnImageDoesNothing)
{
    Scene scene(4, 4);
    std::vector<std::unique_ptr<TOutil>> tools;
    tools.push_back(std::make_unique<TPinceau>(nullptr, nullptr));
    tools.push_back(std::make_unique<TGomme>(nullptr, nullptr));
    tools.push_back(std::make_unique<TLine>(nullptr, nullptr));
    tools.push_back(std::make_unique<TRectangle>(nullptr, nullptr));
    tools.push_back(std::make_unique<TCercle>(nullptr, nullptr));
    tools.push_back(std::make_unique<TPot>(nullptr, nullptr));
    tools.push_back(std::make_unique<TSelectRect>(nullptr, nullptr));
    for (auto& tool : tools) {
        int ax = 0, ay = 0;
        tool->Clic(1, 1, mbLeft, scene.Window());
        tool->Trace(&ax, &ay, 2, 2, mbLeft, scene.Window());
        tool->Trace(&ax, &ay, 3, 3, mbLeft, nullptr);
        EXPECT_EQ(tool->GetBmp(), nullptr);
    }
    EXPECT_EQ(Where(scene.window, clWhite).size(), 16u);
}
