// The tools as the user reaches them: the palette's buttons create them and a
// real document window delivers the mouse events.
#include "ToolScene.h"
#include "app/Form_main.h"
#include "app/Startup.h"
#include "document/Tdessin.h"
#include "support/FormsFixture.h"
#include "tools/Tpipette.h"

#include <QTest>
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

    TDessin* dessin = nullptr;
};

} // namespace

TEST_F(DocumentWindow, BrushStrokeFollowsThePointer)
{
    frm_main->OnClickPinceau(nullptr);
    press(5, 5);
    move(12, 9);
    move(12, 20); // shares x with the anchor: not forwarded
    move(30, 25);
    release(30, 25);
    Points expected = LineSet(5, 5, 12, 9);
    const Points second = LineSet(12, 9, 30, 25);
    expected.insert(second.begin(), second.end());
    EXPECT_EQ(Where(image(), clBlack), expected);
    EXPECT_EQ(Where(dessin->WindowCanvas()->Target(), clBlack), expected);
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
    EXPECT_EQ(Where(dessin->WindowCanvas()->Target(), kRed), inside);
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
