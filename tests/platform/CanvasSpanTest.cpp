#include "raster/TBitmap.h"
#include "raster/TCanvas.h"
#include "support/Images.h"

#include <gtest/gtest.h>
#include <vector>

// A span is written exactly and clipped to the canvas; alone it reports its
// own row, inside an update the changes reach the notifier once, as the
// rectangle around all of them, at the outermost end.
TEST(TCanvas, FillSpanIsClippedAndUpdatesNotifyOnce)
{
    struct Case {
        int x, y, count;
        QRect written; // empty: nothing
    };
    const Case cases[] = {
        {2, 1, 5, QRect(2, 1, 5, 1)},
        {-3, 0, 5, QRect(0, 0, 2, 1)},
        {7, 4, 100, QRect(7, 4, 6, 1)},
        {-5, 2, 40, QRect(0, 2, 13, 1)},
        {0, 5, 13, QRect(0, 5, 13, 1)},
        {4, -1, 3, QRect()},
        {4, 6, 3, QRect()},
        {13, 0, 3, QRect()},
        {-4, 0, 4, QRect()},
        {3, 3, 0, QRect()},
        {3, 3, -2, QRect()},
        {2147483600, 1, 100, QRect()},
        {-2147483647, 1, 2147483647, QRect()},
    };
    const TColor colour = RGBColor(1, 2, 3);
    for (const Case& c : cases) {
        auto bitmap = testimg::Uniform(13, 6, clWhite);
        std::vector<QRect> heard;
        bitmap->Canvas()->SetChangeNotifier([&](const QRect& r) { heard.push_back(r); });
        bitmap->Canvas()->FillSpan(c.x, c.y, c.count, colour);
        const auto expected =
            testimg::Make(13, 6, [&](int x, int y) { return c.written.contains(x, y) ? colour : clWhite; });
        EXPECT_TRUE(testimg::SameBytes(*bitmap, *expected)) << c.x << ", " << c.y << ", " << c.count;
        EXPECT_EQ(heard, c.written.isEmpty() ? std::vector<QRect>() : std::vector<QRect>{c.written});
    }

    auto bitmap = testimg::Uniform(13, 6, clWhite);
    TCanvas* canvas = bitmap->Canvas();
    std::vector<QRect> heard;
    canvas->SetChangeNotifier([&](const QRect& r) { heard.push_back(r); });
    canvas->BeginUpdate();
    canvas->FillSpan(3, 1, 2, colour);
    canvas->BeginUpdate();
    canvas->SetPixels(9, 4, colour);
    canvas->EndUpdate();
    canvas->FillSpan(20, 2, 2, colour); // outside: not part of the change
    EXPECT_TRUE(heard.empty());
    canvas->EndUpdate();
    EXPECT_EQ(heard, std::vector<QRect>{QRect(3, 1, 7, 4)});
    canvas->EndUpdate(); // unmatched: nothing happens
    canvas->BeginUpdate();
    canvas->EndUpdate(); // nothing changed: nothing heard
    canvas->SetPixels(0, 0, colour);
    EXPECT_EQ(heard, (std::vector<QRect>{QRect(3, 1, 7, 4), QRect(0, 0, 1, 1)}));
}
