// The optimised effects against their reference loops, byte for byte, on noise of many sizes: odd ones, ones under 16
// pixels (no wave), tall ones (circles that leave corners) and wide ones.
#include "Reference.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "support/Images.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

struct Size {
    int width;
    int height;
};
const Size kSizes[] = {{1, 1},   {1, 40},  {40, 1},   {2, 3},    {3, 2},     {15, 15},  {16, 16},
                       {17, 33}, {33, 17}, {48, 161}, {101, 51}, {160, 120}, {161, 121}};

using Effect = std::function<void(TBitmap&)>;
struct Pair {
    const char* name;
    Effect fast;
    Effect slow;
};

const Pair kPairs[] = {
    {"Mirror", effects::Mirror, reference::Mirror},
    {"Flip", effects::Flip, reference::Flip},
    {"NB", effects::NB, reference::NB},
    {"AdjustColor", [](TBitmap& b) { effects::AdjustColor(b, 255, 128, 0); },
     [](TBitmap& b) { reference::AdjustColor(b, 255, 128, 0); }},
    {"AdjustColor 2", [](TBitmap& b) { effects::AdjustColor(b, 3, 200, 129); },
     [](TBitmap& b) { reference::AdjustColor(b, 3, 200, 129); }},
    {"AdjustContrast", [](TBitmap& b) { effects::AdjustContrast(b, 77); },
     [](TBitmap& b) { reference::AdjustColor(b, 77, 77, 77); }},
    {"AdjustLuminosite", [](TBitmap& b) { effects::AdjustLuminosite(b, -37); },
     [](TBitmap& b) { reference::AdjustLuminosite(b, -37); }},
    {"AdjustLuminosite 2", [](TBitmap& b) { effects::AdjustLuminosite(b, 100); },
     [](TBitmap& b) { reference::AdjustLuminosite(b, 100); }},
    {"AdjustLuminosite 3", [](TBitmap& b) { effects::AdjustLuminosite(b, 2147483547); },
     [](TBitmap& b) { reference::AdjustLuminosite(b, 2147483547); }},
    {"InverseColor", effects::InverseColor, reference::InverseColor},
    {"VagueY", effects::VagueY, reference::VagueY},
    {"VagueX", effects::VagueX, reference::VagueX},
    {"DoubleVague", effects::DoubleVague,
     [](TBitmap& b) {
         reference::VagueX(b);
         reference::VagueY(b);
     }},
    {"Cercle1", effects::Cercle1, reference::Cercle1},
    {"Cercle2", effects::Cercle2, reference::Cercle2},
};

} // namespace

TEST(AllEffects, GiveTheBytesOfTheirReferenceLoops)
{
    std::uint32_t seed = 1;
    for (const Size size : kSizes) {
        const auto original = testimg::Noise(size.width, size.height, ++seed);
        for (const Pair& pair : kPairs) {
            auto fast = testimg::Copy(*original);
            auto slow = testimg::Copy(*original);
            pair.fast(*fast);
            pair.slow(*slow);
            EXPECT_TRUE(testimg::SameBytes(*fast, *slow)) << pair.name << " on " << size.width << "x" << size.height;
        }
    }
}

TEST(AllEffects, DoNothingOnEmptyImages)
{
    const Size empty[] = {{0, 0}, {0, 20}, {20, 0}};
    for (const Size size : empty)
        for (const Pair& pair : kPairs) {
            TBitmap bitmap;
            bitmap.SetSize(size.width, size.height);
            pair.fast(bitmap);
            EXPECT_EQ(bitmap.Width(), size.width) << pair.name;
            EXPECT_EQ(bitmap.Height(), size.height) << pair.name;
        }
}

// The angle of a circle is single precision, so its steps are not the ones
// exact arithmetic would give. Checked on the reference loops, which the
// comparison above ties to the effects.
TEST(AllEffects, CirclesHave8977And7854AngleSteps)
{
    EXPECT_EQ(reference::AngleSteps(0.0007), 8977);
    EXPECT_EQ(reference::AngleSteps(0.0008), 7854);
}

// The circles on larger noise: a wide, low image (past radius 625 the steps of
// Cercle2 in a row lie more than 1/2 apart, past 1768 more than sqrt 2), an odd
// mid-sized one and a tall one whose corners no circle reaches.
TEST(AllEffects, CirclesGiveTheBytesOfTheirReferenceLoopsOnLargerImages)
{
    struct Case {
        int width, height;
        bool both; // Cercle1 as well as Cercle2
    };
    const Case cases[] = {{1700, 7, false}, {601, 401, true}, {129, 700, true}};
    std::uint32_t seed = 100;
    for (const Case& c : cases) {
        const auto original = testimg::Noise(c.width, c.height, ++seed);
        for (const Pair& pair : kPairs) {
            const std::string name = pair.name;
            if (name != "Cercle2" && (name != "Cercle1" || !c.both))
                continue;
            auto fast = testimg::Copy(*original);
            auto slow = testimg::Copy(*original);
            pair.fast(*fast);
            pair.slow(*slow);
            EXPECT_TRUE(testimg::SameBytes(*fast, *slow)) << pair.name << " on " << c.width << "x" << c.height;
        }
    }
}
