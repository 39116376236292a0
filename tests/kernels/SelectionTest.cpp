#include "kernels/Tselection.h"
#include "raster/Exception.h"
#include "support/Gui.h"
#include "support/Images.h"

#include <gtest/gtest.h>

namespace {

int changedPixels(const TBitmap& before, const TBitmap& after)
{
    int count = 0;
    for (int y = 0; y < before.Height(); ++y)
        for (int x = 0; x < before.Width(); ++x)
            count += testimg::At(before, x, y) != testimg::At(after, x, y);
    return count;
}

} // namespace

TEST(TSelection, StartsAllEditableWithOneRowPerLine)
{
    TSelection selection(7, 3);
    EXPECT_EQ(selection.Width(), 7);
    EXPECT_EQ(selection.Height(), 3);
    std::uint8_t** rows = selection.GetRows();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(rows[y][x], 1);
    EXPECT_EQ(selection.GetRows(), rows); // the table itself, not a copy
}

TEST(TSelection, MergeCopiesExactlyTheEditablePixels)
{
    testgui::MessageRecorder messages;
    auto image = testimg::Uniform(40, 12, 0x808080);
    auto processed = testimg::Noise(40, 12, 7);
    TSelection selection(40, 12);

    // Everything editable: an exact copy.
    auto whole = testimg::Copy(*image);
    selection.fusioncalque(processed.get(), whole.get());
    EXPECT_TRUE(testimg::SameBytes(*whole, *processed));

    // x in [10, 20), y in [5, 8): exactly 30 pixels.
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 40; ++x)
            selection.GetRows()[y][x] = (x >= 10 && x < 20 && y >= 5 && y < 8) ? 1 : 0;
    auto part = testimg::Copy(*image);
    selection.fusioncalque(processed.get(), part.get());
    EXPECT_EQ(changedPixels(*image, *part), 30);
    EXPECT_EQ(testimg::At(*part, 10, 5), testimg::At(*processed, 10, 5));
    EXPECT_EQ(testimg::At(*part, 19, 7), testimg::At(*processed, 19, 7));
    EXPECT_EQ(testimg::At(*part, 20, 7), 0x808080u);

    // Nothing editable: nothing changes.
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 40; ++x)
            selection.GetRows()[y][x] = 0;
    auto none = testimg::Copy(*image);
    selection.fusioncalque(processed.get(), none.get());
    EXPECT_TRUE(testimg::SameBytes(*none, *image));
    EXPECT_TRUE(messages.messages.empty());
}

TEST(TSelection, MergeRefusesBitmapsOfAnotherSize)
{
    for (auto [w, h] : {std::pair{39, 12}, std::pair{40, 11}}) {
        auto image = testimg::Uniform(40, 12, 0x808080);
        auto smaller = testimg::Uniform(w, h, 0);
        TSelection selection(40, 12);
        try {
            selection.fusioncalque(smaller.get(), image.get());
            ADD_FAILURE() << "merged bitmaps of different sizes";
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), QStringLiteral("bmp et temp n'ont pas la meme taille!"));
        }
        EXPECT_EQ(testimg::At(*image, 0, 0), 0x808080u);
    }
}
