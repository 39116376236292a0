// The tools as the user reaches them: the palette's buttons create them and a
// real document window delivers the mouse events.
#include "ToolScene.h"
#include "app/Form_main.h"
#include "app/Startup.h"
#include "dialogs/Form_entree.h"
#include "document/Tdessin.h"
#include "raster/TCanvas.h"
#include "support/FormsFixture.h"
#include "tools/Tpipette.h"
#include "tools/Ttexte.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace toolscene;

namespace {

constexpr TColor kRed = RGBColor(255, 0, 0);

class DocumentWindow : public FormsSuiteTest {
protected:
    void SetUp() override
    {
        FormsSuiteTest::SetUp();
        dessin = new TDessin(frm_main, 60, 40);
        dessin->show();
    }
    void TearDown() override { delete dessin; }

    void press(int x, int y, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(dessin, button, {}, QPoint(x, y));
    }
    void move(int x, int y) { QTest::mouseMove(dessin, QPoint(x, y)); }
    void release(int x, int y, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(dessin, button, {}, QPoint(x, y));
    }
    TBitmap& image() { return *dessin->GetBmp(); }
    void whiten()
    {
        for (int y = 0; y < image().Height(); ++y)
            for (int x = 0; x < image().Width(); ++x)
                image().Canvas()->SetPixels(x, y, clWhite);
    }

    TDessin* dessin = nullptr;
};

} // namespace

TEST_F(DocumentWindow, BrushStrokeFollowsThePointer)
{
    frm_main->OnClickPinceau(nullptr);
    press(5, 5);
    move(12, 9);
    move(12, 20); // shares x with the anchor: a vertical segment
    move(30, 25);
    release(30, 25);
    Points expected;
    for (const Points& part : {LineSet(5, 5, 12, 9), LineSet(12, 9, 12, 20), LineSet(12, 20, 30, 25)})
        expected.insert(part.begin(), part.end());
    EXPECT_EQ(Where(image(), clBlack), expected);
    EXPECT_EQ(Where(*testimg::Shown(*dessin->WindowCanvas()), clBlack), expected);
}

TEST_F(DocumentWindow, LineIsDrawnFromThePressToTheRelease)
{
    frm_main->OnLineClick(nullptr);
    press(10, 10);
    move(40, 30);
    EXPECT_EQ(Where(image(), clBlack), Points({{10, 10}})); // the drag only previews
    move(13, 11);
    release(13, 11);
    EXPECT_EQ(Where(image(), clBlack), Points({{10, 10}, {11, 10}, {12, 11}, {13, 11}}));
}

// The window keeps no copy of its image: only a preview drawn over it takes
// memory, and only until the next restore.
TEST_F(DocumentWindow, OnlyAPreviewTakesMemoryOverTheImage)
{
    TTileOverlay& overlay = *dessin->WindowCanvas()->Overlay();
    frm_main->OnClickPinceau(nullptr);
    press(5, 5);
    move(40, 30);
    EXPECT_TRUE(overlay.Empty()); // the brush's pixels are the image's
    release(40, 30);
    frm_main->OnLineClick(nullptr);
    press(10, 35);
    move(45, 12);
    EXPECT_FALSE(overlay.Empty());
    EXPECT_LE(overlay.Bounds().width() * overlay.Bounds().height(), 64 * 64);
    release(45, 12);
    EXPECT_TRUE(overlay.Empty());
    EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(*dessin->WindowCanvas()), image()));
}

TEST_F(DocumentWindow, SelectionThenFillChangesOnlyTheRectangle)
{
    frm_main->OnClickSelect(nullptr);
    press(10, 5);
    move(20, 15);
    move(30, 20);
    release(30, 20);
    frm_main->OnClickPinceau(nullptr); // the next tool gets the same mask
    frm_main->btn_outil_potClick(nullptr);
    frm_main->Stxt_coul_2->SetColor(kRed);
    press(15, 10, Qt::RightButton);
    release(15, 10, Qt::RightButton);
    Points inside;
    for (int y = 5; y < 20; ++y)
        for (int x = 10; x < 30; ++x)
            inside.insert({x, y});
    EXPECT_EQ(Where(image(), kRed), inside);
    EXPECT_EQ(Where(*testimg::Shown(*dessin->WindowCanvas()), kRed), inside);
}

TEST_F(DocumentWindow, PickedColourReachesTheNextToolAtActivation)
{
    dessin->GetBmp()->Canvas()->SetPixels(3, 3, kRed);
    dessin->OnPaint();
    frm_main->OnClickPipette(nullptr);
    press(3, 3);
    release(3, 3);
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), kRed);
    frm_main->OnClickPinceau(nullptr);
    press(40, 30);
    release(40, 30);
    EXPECT_EQ(testimg::At(image(), 40, 30), kRed);
}

// Drags along one row or one column reach the tools like any other.
struct StraightDrag {
    const char* name;
    int x0, y0, x1, y1;
};

class StraightStroke : public DocumentWindow, public testing::WithParamInterface<StraightDrag> { };

TEST_P(StraightStroke, LineAndBrushDrawTheWholeSegment)
{
    const StraightDrag d = GetParam();
    Points segment;
    for (int y = std::min(d.y0, d.y1); y <= std::max(d.y0, d.y1); ++y)
        for (int x = std::min(d.x0, d.x1); x <= std::max(d.x0, d.x1); ++x)
            segment.insert({x, y});

    frm_main->OnLineClick(nullptr);
    press(d.x0, d.y0);
    move((d.x0 + d.x1) / 2, (d.y0 + d.y1) / 2);
    move(d.x1, d.y1);
    EXPECT_EQ(Where(image(), clBlack), Points({{d.x0, d.y0}})); // the drag only previews
    EXPECT_EQ(Where(*testimg::Shown(*dessin->WindowCanvas()), clBlack), segment);
    release(d.x1, d.y1);
    EXPECT_EQ(Where(image(), clBlack), segment);

    whiten();
    frm_main->OnClickPinceau(nullptr);
    press(d.x0, d.y0);
    move((d.x0 + d.x1) / 2, (d.y0 + d.y1) / 2);
    move(d.x1, d.y1);
    release(d.x1, d.y1);
    EXPECT_EQ(Where(image(), clBlack), segment);
}

INSTANTIATE_TEST_SUITE_P(DocumentWindow, StraightStroke,
                         testing::Values(StraightDrag{"rightwards", 4, 7, 50, 7},
                                         StraightDrag{"leftwards", 50, 30, 2, 30},
                                         StraightDrag{"downwards", 20, 3, 20, 35},
                                         StraightDrag{"upwards", 9, 38, 9, 0}),
                         [](const testing::TestParamInfo<StraightDrag>& info) { return info.param.name; });

TEST_F(DocumentWindow, SelectionReleasedOnTheAnchorsRowOrColumnLeavesEverythingEditable)
{
    frm_main->OnClickSelect(nullptr);
    for (const QPoint end : {QPoint(40, 5), QPoint(10, 30)}) {
        press(10, 5);
        move(end.x(), end.y());
        release(end.x(), end.y());
        frm_main->btn_outil_potClick(nullptr);
        frm_main->Stxt_coul_2->SetColor(kRed);
        press(50, 35, Qt::RightButton);
        release(50, 35, Qt::RightButton);
        EXPECT_EQ(Where(image(), kRed).size(), size_t(60 * 40)) << end.x() << "," << end.y();
        whiten();
        frm_main->OnClickSelect(nullptr);
    }
}

// The text dialog opens with the focus in its edit; after OK the window shows
// the text at once, and Cancel changes neither the image nor the window.
TEST_F(DocumentWindow, TextShowsInTheWindowAsSoonAsItIsDrawn)
{
    image().Canvas()->Font().Height = -14;
    frm_main->ReplaceTool(std::make_unique<TTexte>(nullptr, nullptr, frm_main));
    for (const bool ok : {false, true}) {
        bool focusInEdit = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TFrm_entree*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            focusInEdit = dialog->focusWidget() == dialog->Edit1;
            QTest::keyClicks(dialog->focusWidget(), QStringLiteral("Va"));
            (ok ? dialog->Ok : dialog->Cancel)->click();
        });
        press(2, 2); // the window is checked before the release repaints it
        EXPECT_TRUE(focusInEdit);
        const auto white = testimg::Uniform(60, 40, clWhite);
        const Points written = Changed(*white, image());
        EXPECT_EQ(written.empty(), !ok);
        EXPECT_EQ(Changed(*white, *testimg::Shown(*dessin->WindowCanvas())), written);
        release(2, 2);
    }
}
