// What a window draws over its image: read back as drawn, the image itself
// untouched, tiles made only where something differs.
#include "raster/TileOverlay.h"
#include "raster/TCanvas.h"
#include "support/Images.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(TileOverlay, DrawnPixelsReadBackOverAnUntouchedImage)
{
    const auto image = testimg::Noise(150, 70, 3); // tiles cut at both edges
    const auto original = testimg::Copy(*image);
    TTileOverlay overlay(*image);
    TCanvas canvas(*image, overlay);
    QRect told;
    canvas.SetChangeNotifier([&told](const QRect& r) { told |= r; });
    auto expected = testimg::Copy(*image);
    // Pixels, a span across three tiles, a bitmap and text, as the plain
    // canvas of a copy draws them.
    const auto draw = [](TCanvas& c) {
        c.SetPixels(149, 69, 0x123456);
        c.SetPixels(-1, 3, 0x123456);
        c.FillSpan(-10, 65, 200, 0x00FF00);
        c.Draw(60, 10, *testimg::Uniform(8, 9, 0x0000FF));
        c.TextOut(3, 20, QStringLiteral("Velmora"));
    };
    draw(canvas);
    draw(*expected->Canvas());
    EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(canvas), *expected));
    EXPECT_TRUE(testimg::SameBytes(*image, *original));
    for (int y = 0; y < 70; ++y) {
        const std::uint8_t* row = overlay.Row(y);
        EXPECT_EQ(std::memcmp(row, expected->ScanLine(y), 3 * 150), 0) << y;
    }
    EXPECT_TRUE(told.contains(QRect(0, 65, 150, 5)));

    // Clearing shows the image again.
    overlay.Clear();
    EXPECT_TRUE(overlay.Empty());
    EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(canvas), *image));
    // Drawing what the image already shows makes no tile.
    canvas.SetPixels(5, 5, testimg::At(*image, 5, 5));
    const auto uniform = testimg::Uniform(150, 70, 0x00FF00);
    TTileOverlay over(*uniform);
    TCanvas green(*uniform, over);
    green.FillSpan(0, 3, 150, 0x00FF00);
    EXPECT_TRUE(overlay.Empty());
    EXPECT_TRUE(over.Empty());
    EXPECT_EQ(over.Bounds(), QRect());
}
