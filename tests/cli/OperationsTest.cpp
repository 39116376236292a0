// Every operation of velmora-cli gives the bytes of the plain loops of its
// effect or filter, merged through the selection as plainly.
#include "CliRun.h"

#include "commands/CommandTable.h"
#include "effects/Reference.h"
#include "filters/Reference.h"
#include "support/Images.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

using Edit = std::function<void(TBitmap&)>;

// The filters' coefficients: the box blur and the sharpening.
const std::int16_t kBox[3][3] = {{100, 100, 100}, {100, 100, 100}, {100, 100, 100}};
const std::int16_t kSharpen[3][3] = {{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}};

// The editable area [left, right) x [top, bottom).
struct Area {
    int left, top, right, bottom;
};
constexpr Area kWhole{0, 0, INT_MAX, INT_MAX};

// A filter run by hand: the plain filter on a copy, whose pixels inside `area`
// replace the image's.
Edit filterIn(const Edit& plainFilter, Area area)
{
    return [plainFilter, area](TBitmap& image) {
        auto copy = testimg::Copy(image);
        plainFilter(*copy);
        for (int y = std::max(area.top, 0); y < std::min(area.bottom, image.Height()); ++y) {
            const int left = std::max(area.left, 0), right = std::min(area.right, image.Width());
            if (left < right)
                std::memcpy(image.ScanLine(y) + 3 * left, copy->ScanLine(y) + 3 * left, 3 * std::size_t(right - left));
        }
    };
}

Edit blurIn(Area area)
{
    return filterIn([](TBitmap& b) { reference::Blur(b, kBox); }, area);
}
const Edit kBlur = blurIn(kWhole);

// The contrast dialog's two values: the contrast is the same gain for the three
// channels, the luminosity an offset from 128.
Edit contrast(int c, int l)
{
    return [c, l](TBitmap& b) {
        reference::AdjustColor(b, std::uint8_t(c), std::uint8_t(c), std::uint8_t(c));
        reference::AdjustLuminosite(b, l - 128);
    };
}

// The pixels of `area` (clipped to the image) take `colour`.
Edit fillIn(Area area, TColor colour)
{
    return [area, colour](TBitmap& image) {
        for (int y = std::max(area.top, 0); y < std::min(area.bottom, image.Height()); ++y)
            for (int x = std::max(area.left, 0); x < std::min(area.right, image.Width()); ++x) {
                std::uint8_t* pixel = image.ScanLine(y) + 3 * x;
                pixel[0] = GetBValue(colour);
                pixel[1] = GetGValue(colour);
                pixel[2] = GetRValue(colour);
            }
    };
}

Edit chain(std::vector<Edit> edits)
{
    return [edits](TBitmap& image) {
        for (const Edit& edit : edits)
            edit(image);
    };
}

struct Case {
    std::string name;
    QStringList operations;
    Edit expected;
};

// Runs the operations on `input` and compares the output file with what
// SaveToFile writes for the expected image.
void expectSameAsPlainLoops(const TBitmap& input, const Case& c)
{
    SCOPED_TRACE(c.name);
    const QString in = clirun::Save(input);
    const QString out = testimg::TempDir() + QStringLiteral("/sortie.bmp");
    const clirun::Result result = clirun::Run(QStringList{in, out} + c.operations);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();

    auto expected = testimg::Copy(input);
    c.expected(*expected);
    const QByteArray written = clirun::Bytes(out);
    ASSERT_FALSE(written.isEmpty());
    EXPECT_TRUE(written == clirun::Encoded(*expected));
    // A result equal to the input would prove nothing about the operation.
    if (!c.operations.isEmpty()) {
        EXPECT_FALSE(written == clirun::Encoded(input));
    }
}

} // namespace

TEST(CliOperations, EachOperationOfTheTableGivesItsPlainLoop)
{
    const auto input = testimg::Noise(37, 29, 7);
    const std::vector<Case> cases = {
        {"mirroir", {"mirroir"}, reference::Mirror},
        {"flip", {"flip"}, reference::Flip},
        {"vaguex", {"vaguex"}, reference::VagueX},
        {"vaguey", {"vaguey"}, reference::VagueY},
        {"tunnel", {"tunnel"}, reference::Cercle1},
        {"pouetpouet", {"pouetpouet"}, reference::Cercle2},
        {"negatif", {"negatif"}, reference::InverseColor},
        {"noiretblanc", {"noiretblanc"}, reference::NB},
        {"couleurs 255 128 0",
         {"couleurs", "255", "128", "0"},
         [](TBitmap& b) { reference::AdjustColor(b, 255, 128, 0); }},
        {"couleurs 7 200 99",
         {"couleurs", "7", "200", "099"},
         [](TBitmap& b) { reference::AdjustColor(b, 7, 200, 99); }},
        // The luminosity track bar's middle position 128 adds nothing.
        {"contraste 160 128", {"contraste", "160", "128"}, contrast(160, 128)},
        {"contraste 0 0", {"contraste", "0", "0"}, contrast(0, 0)},
        {"contraste 128 255", {"contraste", "128", "255"}, contrast(128, 255)},
        {"contraste 255 30", {"contraste", "255", "30"}, contrast(255, 30)},
        {"flou", {"flou"}, filterIn(reference::Flou, kWhole)},
        {"blur", {"blur"}, kBlur},
        {"nettete", {"nettete"}, filterIn([](TBitmap& b) { reference::Sharpen(b, kSharpen); }, kWhole)},
        {"estampage", {"estampage"}, filterIn(reference::Emboss, kWhole)},
        {"aquarelle", {"aquarelle"}, filterIn(reference::Aquarelle, kWhole)},
        // A selection alone changes no pixel: the blur after it shows which
        // pixels it leaves editable.
        {"selection", {"selection", "10", "5", "20", "15", "blur"}, blurIn({10, 5, 20, 15})},
        {"tout", {"selection", "10", "5", "20", "15", "tout", "blur"}, kBlur},
        {"remplir",
         {"selection", "10", "5", "20", "15", "remplir", "FF8001"},
         fillIn({10, 5, 20, 15}, RGBColor(0xFF, 0x80, 0x01))},
        {"remplir everything", {"remplir", "0a0B0c"}, fillIn(kWhole, RGBColor(0x0A, 0x0B, 0x0C))},
    };
    // Every command of the table is reached from the command line here, but
    // the changes of size and orientation (ReshapeTest.cpp).
    std::set<std::string> reached;
    for (const Case& c : cases)
        for (const QString& word : c.operations)
            reached.insert(word.toStdString());
    for (const commands::Command& command : commands::AllCommands())
        if (command.selection != commands::SelectionRule::Reshapes) {
            EXPECT_TRUE(reached.count(command.cliName)) << command.cliName;
        }

    for (const Case& c : cases)
        expectSameAsPlainLoops(*input, c);
}

TEST(CliOperations, EffectsIgnoreTheSelectionFiltersKeepToIt)
{
    const auto input = testimg::Noise(37, 29, 8);
    const Area rect{10, 5, 20, 15};
    const std::vector<Case> cases = {
        {"negatif after a selection", {"selection", "10", "5", "20", "15", "negatif"}, reference::InverseColor},
        {"mirroir after a selection", {"selection", "10", "5", "20", "15", "mirroir"}, reference::Mirror},
        {"couleurs after a selection",
         {"selection", "10", "5", "20", "15", "couleurs", "0", "255", "9"},
         [](TBitmap& b) { reference::AdjustColor(b, 0, 255, 9); }},
        {"flou in a rectangle", {"selection", "10", "5", "20", "15", "flou"}, filterIn(reference::Flou, rect)},
        {"estampage in a rectangle",
         {"selection", "10", "5", "20", "15", "estampage"},
         filterIn(reference::Emboss, rect)},
        {"aquarelle in a rectangle",
         {"selection", "10", "5", "20", "15", "aquarelle"},
         filterIn(reference::Aquarelle, rect)},
    };
    for (const Case& c : cases)
        expectSameAsPlainLoops(*input, c);
}

// The mask is the one the selection tool leaves after a press at (X0, Y0) and
// a release at (X1, Y1); a filter after it shows which pixels are editable.
TEST(CliOperations, SelectionFollowsThePressAndReleaseOfTheTool)
{
    const auto input = testimg::Noise(37, 29, 9);
    const Area rect{10, 5, 20, 15};
    const std::vector<Case> cases = {
        {"rectangle", {"selection", "10", "5", "20", "15", "blur"}, blurIn(rect)},
        {"corners reversed", {"selection", "20", "15", "10", "5", "blur"}, blurIn(rect)},
        {"other diagonal", {"selection", "20", "5", "10", "15", "blur"}, blurIn(rect)},
        {"one pixel", {"selection", "3", "4", "4", "5", "blur"}, blurIn({3, 4, 4, 5})},
        // The document keeps a release that shares the press's x or y from
        // the tool: the press alone has made everything editable.
        {"release on the press's column", {"selection", "10", "5", "10", "15", "blur"}, kBlur},
        {"release on the press's row", {"selection", "10", "5", "20", "5", "blur"}, kBlur},
        // The tool ignores a release outside the image.
        {"release right of the image", {"selection", "10", "5", "37", "15", "blur"}, kBlur},
        {"release below the image", {"selection", "10", "5", "20", "29", "blur"}, kBlur},
        {"release left of the image", {"selection", "10", "5", "-1", "15", "blur"}, kBlur},
        {"release above the image", {"selection", "10", "5", "20", "-1", "blur"}, kBlur},
        // A press outside the image gives the rectangle clipped to it.
        {"press outside", {"selection", "-5", "-7", "20", "15", "blur"}, blurIn({0, 0, 20, 15})},
        {"press at the far ends of int",
         {"selection", "-2147483648", "2147483647", "30", "4", "blur"},
         blurIn({0, 4, 30, 29})},
        {"last corner inside",
         {"selection", "0", "0", "36", "28", "estampage"},
         filterIn(reference::Emboss, {0, 0, 36, 28})},
        // Each selection replaces the one before.
        {"second selection",
         {"selection", "1", "1", "30", "20", "selection", "10", "5", "20", "15", "blur"},
         blurIn(rect)},
    };
    for (const Case& c : cases)
        expectSameAsPlainLoops(*input, c);
}

TEST(CliOperations, ChainsApplyInOrderEachFilterThroughTheSelectionOfItsTime)
{
    const auto input = testimg::Noise(67, 45, 10);
    const Area rect{10, 10, 50, 40};
    const std::vector<Case> cases = {
        {"aquarelle in a rectangle, then blur everywhere",
         {"selection", "10", "10", "50", "40", "aquarelle", "tout", "blur"},
         chain({filterIn(reference::Aquarelle, rect), kBlur})},
        {"aquarelle in a rectangle, then the negative of everything",
         {"selection", "10", "10", "50", "40", "aquarelle", "tout", "negatif"},
         chain({filterIn(reference::Aquarelle, rect), reference::InverseColor})},
        {"an effect leaves the selection in force for the next filter",
         {"selection", "10", "10", "50", "40", "negatif", "blur"},
         chain({reference::InverseColor, blurIn(rect)})},
        {"both dialogs",
         {"couleurs", "255", "128", "0", "contraste", "160", "128"},
         chain({[](TBitmap& b) { reference::AdjustColor(b, 255, 128, 0); }, contrast(160, 128)})},
        {"two filters in the same rectangle",
         {"selection", "50", "40", "10", "10", "nettete", "flou"},
         chain({filterIn([](TBitmap& b) { reference::Sharpen(b, kSharpen); }, rect), filterIn(reference::Flou, rect)})},
    };
    for (const Case& c : cases)
        expectSameAsPlainLoops(*input, c);
}

TEST(CliOperations, WithoutOperationTheImageIsWrittenAgain)
{
    const auto input = testimg::Noise(37, 29, 11);
    expectSameAsPlainLoops(*input, {"nothing", {}, [](TBitmap&) {}});
}
