#include "effects/Tone.h"
#include "Reference.h"
#include "support/Images.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

// A one-pixel image of that colour, after the effect.
template <typename Effect> TColor after(TColor colour, Effect effect)
{
    auto image = testimg::Uniform(1, 1, colour);
    effect(*image);
    return testimg::At(*image, 0, 0);
}

TColor gray(int v) { return RGBColor(std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)); }

} // namespace

TEST(NB, GivesTheExtendedPrecisionGrays)
{
    struct Case {
        TColor colour;
        int gray;
    };
    // The weights add up to a little less than 1, so a neutral gray v becomes v - 1.
    const Case cases[] = {
        {clWhite, 254},  {clBlack, 0}, {RGBColor(255, 0, 0), 76}, {RGBColor(0, 255, 0), 150}, {RGBColor(0, 0, 255), 28},
        {gray(100), 99}, {gray(1), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(after(c.colour, effects::NB), gray(c.gray)) << std::hex << c.colour;
    EXPECT_EQ(after(gray(100),
                    [](TBitmap& b) {
                        effects::NB(b);
                        effects::NB(b);
                    }),
              gray(98));
}

// Every one of the 2^24 colours against the extended expression itself.
TEST(NB, MatchesTheExtendedExpressionForEveryColour)
{
    TBitmap image;
    image.SetSize(256, 256);
    for (int red = 0; red < 256; ++red) {
        for (int y = 0; y < 256; ++y) {
            std::uint8_t* p = image.ScanLine(y);
            for (int x = 0; x < 256; ++x, p += 3) {
                p[0] = std::uint8_t(x);
                p[1] = std::uint8_t(y);
                p[2] = std::uint8_t(red);
            }
        }
        effects::NB(image);
        int wrong = 0;
        for (int y = 0; y < 256; ++y) {
            const std::uint8_t* p = image.ScanLine(y);
            for (int x = 0; x < 256; ++x, p += 3) {
                const int expected = reference::Gray(x, y, red);
                if (p[0] != expected || p[1] != expected || p[2] != expected)
                    ++wrong;
            }
        }
        ASSERT_EQ(wrong, 0) << "red " << red;
    }
}

TEST(AdjustColor, ScalesEachChannelByItsGainOutOf128)
{
    // Red takes the first gain, blue the third: 200 x 255 >> 7 = 398, clamped.
    EXPECT_EQ(after(RGBColor(200, 100, 50), [](TBitmap& b) { effects::AdjustColor(b, 255, 128, 0); }),
              RGBColor(255, 100, 0));
    EXPECT_EQ(after(RGBColor(50, 100, 200), [](TBitmap& b) { effects::AdjustColor(b, 0, 128, 255); }),
              RGBColor(0, 100, 255));
    EXPECT_EQ(after(RGBColor(127, 128, 129), [](TBitmap& b) { effects::AdjustColor(b, 255, 255, 255); }),
              RGBColor(253, 255, 255));
}

TEST(AdjustContrast, HalvesWith64DroppingTheRemainder)
{
    EXPECT_EQ(after(RGBColor(255, 1, 2), [](TBitmap& b) { effects::AdjustContrast(b, 64); }), RGBColor(127, 0, 1));
    EXPECT_EQ(after(RGBColor(200, 100, 3), [](TBitmap& b) { effects::AdjustContrast(b, 0); }), clBlack);
}

TEST(AdjustLuminosite, AddsTheOffsetAndClamps)
{
    auto lum = [](std::int32_t d) { return [d](TBitmap& b) { effects::AdjustLuminosite(b, d); }; };
    EXPECT_EQ(after(RGBColor(100, 200, 128), lum(-128)), RGBColor(0, 72, 0));
    EXPECT_EQ(after(RGBColor(200, 155, 0), lum(100)), RGBColor(255, 255, 100));
    EXPECT_EQ(after(RGBColor(1, 254, 0), lum(std::numeric_limits<std::int32_t>::min())), clBlack);
    // The sum is a 32-bit signed one: past its top it wraps and clamps to 0.
    EXPECT_EQ(after(RGBColor(0, 1, 255), lum(std::numeric_limits<std::int32_t>::max())), RGBColor(255, 0, 0));
}

TEST(Tone, NeutralSettingsAndTheNegativeTwiceLeaveTheImageUnchanged)
{
    const auto original = testimg::Noise(37, 23, 5);
    auto image = testimg::Copy(*original);
    effects::AdjustColor(*image, 128, 128, 128);
    effects::AdjustContrast(*image, 128);
    effects::AdjustLuminosite(*image, 0);
    EXPECT_TRUE(testimg::SameBytes(*image, *original));
    effects::InverseColor(*image);
    EXPECT_EQ(testimg::At(*image, 3, 4), testimg::At(*original, 3, 4) ^ 0xFFFFFF);
    effects::InverseColor(*image);
    EXPECT_TRUE(testimg::SameBytes(*image, *original));
}

// The byte maps of the program against their plain table loops, and those
// against the reference loops, for every gain and every offset that changes
// something, on an image that holds every byte in every channel and whose rows
// end in part of a block (101 pixels: 6 blocks of 16 and 5 pixels).
TEST(Tone, ByteMapsGiveTheBytesOfTheirPlainTables)
{
    const auto original = testimg::Make(101, 8, [](int x, int y) {
        const int v = (y * 101 + x) % 256;
        return RGBColor(std::uint8_t(v), std::uint8_t(255 - v), std::uint8_t(v * 7));
    });
    using Effect = std::function<void(TBitmap&)>;
    struct Case {
        std::string name;
        Effect fast, plain, reference;
    };
    std::vector<Case> cases;
    for (int c = 0; c < 256; ++c) {
        const auto gain = std::uint8_t(c);
        const auto other = std::uint8_t(255 - c);
        cases.push_back({"AdjustColor " + std::to_string(c),
                         [=](TBitmap& b) { effects::AdjustColor(b, gain, other, std::uint8_t(c / 2)); },
                         [=](TBitmap& b) { effects::plain::AdjustColor(b, gain, other, std::uint8_t(c / 2)); },
                         [=](TBitmap& b) { reference::AdjustColor(b, gain, other, std::uint8_t(c / 2)); }});
        cases.push_back({"AdjustContrast " + std::to_string(c), [=](TBitmap& b) { effects::AdjustContrast(b, gain); },
                         [=](TBitmap& b) { effects::plain::AdjustContrast(b, gain); },
                         [=](TBitmap& b) { reference::AdjustColor(b, gain, gain, gain); }});
    }
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    std::vector<std::int32_t> offsets = {
        std::numeric_limits<std::int32_t>::min(), -40000, -1000, 1000, 40000, kMax - 300, kMax - 100, kMax};
    for (std::int32_t d = -257; d <= 257; ++d)
        offsets.push_back(d);
    for (const std::int32_t d : offsets)
        cases.push_back({"AdjustLuminosite " + std::to_string(d), [=](TBitmap& b) { effects::AdjustLuminosite(b, d); },
                         [=](TBitmap& b) { effects::plain::AdjustLuminosite(b, d); },
                         [=](TBitmap& b) { reference::AdjustLuminosite(b, d); }});
    cases.push_back({"InverseColor", effects::InverseColor, effects::plain::InverseColor, reference::InverseColor});

    for (const Case& c : cases) {
        auto fast = testimg::Copy(*original);
        auto plain = testimg::Copy(*original);
        auto expected = testimg::Copy(*original);
        c.fast(*fast);
        c.plain(*plain);
        c.reference(*expected);
        EXPECT_TRUE(testimg::SameBytes(*fast, *plain)) << c.name;
        EXPECT_TRUE(testimg::SameBytes(*plain, *expected)) << c.name;
    }
}
