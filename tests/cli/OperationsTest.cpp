// Every operation of velmora-cli gives the bytes of the core functions it
// stands for, applied directly to the same image.
#include "CliRun.h"

#include "kernels/Tselection.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "filters/Tfiltre.h"
#include "support/Images.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

using Edit = std::function<void(TBitmap&)>;

// The editable area [left, right) x [top, bottom).
struct Area {
    int left, top, right, bottom;
};
constexpr Area kWhole{0, 0, INT_MAX, INT_MAX};

// The editor's filter run: the filter on a copy, merged back through a mask
// that leaves only `area` editable.
template <class Filter> Edit filterIn(Area area)
{
    return [area](TBitmap& image) {
        auto copy = testimg::Copy(image);
        Filter(*copy).Apply();
        TSelection mask(image.Width(), image.Height());
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x)
                mask.GetRows()[y][x] = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
        mask.fusioncalque(copy.get(), &image);
    };
}

template <class Filter> Edit filter() { return filterIn<Filter>(kWhole); }

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
void expectSameAsCore(const TBitmap& input, const Case& c)
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

TEST(CliOperations, EachEffectGivesItsCoreFunctionOnTheWholeImage)
{
    const auto input = testimg::Noise(37, 29, 7);
    const auto contrast = [](int c, int l) {
        return [c, l](TBitmap& b) {
            effects::AdjustContrast(b, std::uint8_t(c));
            effects::AdjustLuminosite(b, l);
        };
    };
    const std::vector<Case> cases = {
        {"mirroir", {"mirroir"}, effects::Mirror},
        {"flip", {"flip"}, effects::Flip},
        {"vaguex", {"vaguex"}, effects::VagueX},
        {"vaguey", {"vaguey"}, effects::VagueY},
        {"tunnel", {"tunnel"}, effects::Cercle1},
        {"pouetpouet", {"pouetpouet"}, effects::Cercle2},
        {"negatif", {"negatif"}, effects::InverseColor},
        {"noiretblanc", {"noiretblanc"}, effects::NB},
        {"couleurs 255 128 0",
         {"couleurs", "255", "128", "0"},
         [](TBitmap& b) { effects::AdjustColor(b, 255, 128, 0); }},
        {"couleurs 7 200 99", {"couleurs", "7", "200", "099"}, [](TBitmap& b) { effects::AdjustColor(b, 7, 200, 99); }},
        // The luminosity track bar's middle position 128 adds nothing.
        {"contraste 160 128", {"contraste", "160", "128"}, contrast(160, 0)},
        {"contraste 0 0", {"contraste", "0", "0"}, contrast(0, -128)},
        {"contraste 128 255", {"contraste", "128", "255"}, contrast(128, 127)},
        {"contraste 255 30", {"contraste", "255", "30"}, contrast(255, -98)},
        // Effects ignore the selection, as in the editor.
        {"negatif after a selection", {"selection", "10", "5", "20", "15", "negatif"}, effects::InverseColor},
        {"mirroir after a selection", {"selection", "10", "5", "20", "15", "mirroir"}, effects::Mirror},
    };
    for (const Case& c : cases)
        expectSameAsCore(*input, c);
}

TEST(CliOperations, EachFilterGivesTheFilterRunOfTheEditor)
{
    const auto input = testimg::Noise(37, 29, 8);
    const std::vector<Case> cases = {
        {"flou", {"flou"}, filter<TFlou>()},
        {"blur", {"blur"}, filter<TBlur>()},
        {"nettete", {"nettete"}, filter<TSharpen>()},
        {"estampage", {"estampage"}, filter<TEmboss>()},
        {"aquarelle", {"aquarelle"}, filter<TAquarelle>()},
    };
    for (const Case& c : cases)
        expectSameAsCore(*input, c);
}

// The mask is the one the selection tool leaves after a press at (X0, Y0) and
// a release at (X1, Y1); a filter after it shows which pixels are editable.
TEST(CliOperations, SelectionFollowsThePressAndReleaseOfTheTool)
{
    const auto input = testimg::Noise(37, 29, 9);
    const Area rect{10, 5, 20, 15};
    const std::vector<Case> cases = {
        {"rectangle", {"selection", "10", "5", "20", "15", "blur"}, filterIn<TBlur>(rect)},
        {"corners reversed", {"selection", "20", "15", "10", "5", "blur"}, filterIn<TBlur>(rect)},
        {"other diagonal", {"selection", "20", "5", "10", "15", "blur"}, filterIn<TBlur>(rect)},
        {"one pixel", {"selection", "3", "4", "4", "5", "blur"}, filterIn<TBlur>({3, 4, 4, 5})},
        // The document keeps a release that shares the press's x or y from
        // the tool: the press alone has made everything editable.
        {"release on the press's column", {"selection", "10", "5", "10", "15", "blur"}, filter<TBlur>()},
        {"release on the press's row", {"selection", "10", "5", "20", "5", "blur"}, filter<TBlur>()},
        // The tool ignores a release outside the image.
        {"release right of the image", {"selection", "10", "5", "37", "15", "blur"}, filter<TBlur>()},
        {"release below the image", {"selection", "10", "5", "20", "29", "blur"}, filter<TBlur>()},
        {"release left of the image", {"selection", "10", "5", "-1", "15", "blur"}, filter<TBlur>()},
        {"release above the image", {"selection", "10", "5", "20", "-1", "blur"}, filter<TBlur>()},
        // A press outside the image gives the rectangle clipped to it.
        {"press outside", {"selection", "-5", "-7", "20", "15", "blur"}, filterIn<TBlur>({0, 0, 20, 15})},
        {"press at the far ends of int",
         {"selection", "-2147483648", "2147483647", "30", "4", "blur"},
         filterIn<TBlur>({0, 4, 30, 29})},
        {"last corner inside", {"selection", "0", "0", "36", "28", "estampage"}, filterIn<TEmboss>({0, 0, 36, 28})},
        // Each selection replaces the one before.
        {"second selection",
         {"selection", "1", "1", "30", "20", "selection", "10", "5", "20", "15", "blur"},
         filterIn<TBlur>(rect)},
        {"tout", {"selection", "10", "5", "20", "15", "tout", "blur"}, filter<TBlur>()},
    };
    for (const Case& c : cases)
        expectSameAsCore(*input, c);
}

TEST(CliOperations, ChainsApplyInOrderEachFilterThroughTheSelectionOfItsTime)
{
    const auto input = testimg::Noise(67, 45, 10);
    const Area rect{10, 10, 50, 40};
    const std::vector<Case> cases = {
        {"aquarelle in a rectangle, then blur everywhere",
         {"selection", "10", "10", "50", "40", "aquarelle", "tout", "blur"},
         chain({filterIn<TAquarelle>(rect), filter<TBlur>()})},
        {"aquarelle in a rectangle, then the negative of everything",
         {"selection", "10", "10", "50", "40", "aquarelle", "tout", "negatif"},
         chain({filterIn<TAquarelle>(rect), effects::InverseColor})},
        {"an effect leaves the selection in force for the next filter",
         {"selection", "10", "10", "50", "40", "negatif", "blur"},
         chain({effects::InverseColor, filterIn<TBlur>(rect)})},
        {"both dialogs",
         {"couleurs", "255", "128", "0", "contraste", "160", "128"},
         [](TBitmap& b) {
             effects::AdjustColor(b, 255, 128, 0);
             effects::AdjustContrast(b, 160);
             effects::AdjustLuminosite(b, 0);
         }},
        {"two filters in the same rectangle",
         {"selection", "50", "40", "10", "10", "nettete", "flou"},
         chain({filterIn<TSharpen>(rect), filterIn<TFlou>(rect)})},
    };
    for (const Case& c : cases)
        expectSameAsCore(*input, c);
}

TEST(CliOperations, WithoutOperationTheImageIsWrittenAgain)
{
    const auto input = testimg::Noise(37, 29, 11);
    expectSameAsCore(*input, {"nothing", {}, [](TBitmap&) {}});
}
