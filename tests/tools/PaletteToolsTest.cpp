#include "ToolScene.h"
#include "app/Form_main.h"
#include "app/Startup.h"
#include "dialogs/Form_entree.h"
#include "support/FormsFixture.h"
#include "tools/Tpipette.h"
#include "tools/Ttexte.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace toolscene;

namespace {

constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kGreen = RGBColor(0, 255, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);

// The eyedropper and the text tool talk to the palette's wells and to the text
// dialog, so these tests run with the program's forms.
class PaletteTools : public FormsSuiteTest {
protected:
    // Answers the next modal dialog: OK with `text`, or Cancel when null.
    static void answerText(const char* text)
    {
        QTimer::singleShot(0, [text] {
            auto* dialog = qobject_cast<TFrm_entree*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            if (text) {
                dialog->Edit1->setText(QString::fromUtf8(text));
                dialog->Ok->click();
            } else {
                dialog->Cancel->click();
            }
        });
    }
};

} // namespace

TEST_F(PaletteTools, EyedropperFillsTheWellOfTheButtonFromTheBitmap)
{
    Scene scene(10, 10);
    scene.image->Canvas()->SetPixels(2, 3, kRed);
    scene.image->Canvas()->SetPixels(4, 4, kGreen);
    scene.window.Canvas()->SetPixels(4, 4, kBlue); // the window is not read
    auto pipette = scene.Make<TPipette>(frm_main);
    pipette->Clic(2, 3, mbLeft, scene.Window());
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), kRed);
    EXPECT_EQ(frm_main->Stxt_coul_2->Color(), clWhite);
    EXPECT_EQ(pipette->Couleur1(), clBlack);
    EXPECT_EQ(pipette->Couleur2(), clWhite);

    pipette->Clic(4, 4, mbRight, scene.Window());
    EXPECT_EQ(frm_main->Stxt_coul_2->Color(), kGreen);
    pipette->Clic(0, 0, mbMiddle, scene.Window());
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), kRed);
    EXPECT_EQ(frm_main->Stxt_coul_2->Color(), kGreen);

    // Outside the bitmap there is no colour to take.
    for (Point p : {Point{10, 0}, {-1, 4}, {3, 10}})
        pipette->Clic(p.first, p.second, mbLeft, scene.Window());
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), kRed);
}

TEST_F(PaletteTools, DraggingTheEyedropperFollowsThePointer)
{
    Scene scene(10, 10);
    scene.image->Canvas()->SetPixels(5, 5, kGreen);
    scene.image->Canvas()->SetPixels(7, 8, kBlue);
    auto pipette = scene.Make<TPipette>(frm_main);
    scene.Press(*pipette, 1, 1);
    scene.Move(*pipette, 5, 5);
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), kGreen);
    EXPECT_EQ(scene.anchorX, 1);
    scene.Move(*pipette, 7, 8);
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), kBlue);
    scene.Move(*pipette, 7, 3); // the last point taken is white
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), clWhite);
    scene.Release(*pipette, 7, 8, mbRight);
    EXPECT_EQ(frm_main->Stxt_coul_2->Color(), kBlue);
}

TEST_F(PaletteTools, TextIsDrawnBelowRightOfTheClickByTheFontHeight)
{
    Scene scene(300, 120, kBlue);
    scene.image->Canvas()->Font().Height = -16;
    scene.Mask(0, 0, 300, 120, 0); // the text ignores the mask
    auto expected = testimg::Copy(*scene.image);
    expected->Canvas()->SetFont(scene.image->Canvas()->Font());
    expected->Canvas()->TextOut(116, 66, QStringLiteral("Velmora"));

    auto texte = scene.Make<TTexte>(frm_main);
    answerText("Velmora");
    texte->Clic(100, 50, mbRight, scene.Window());
    EXPECT_EQ(texte->texte, QStringLiteral("Velmora"));
    EXPECT_TRUE(testimg::SameBytes(*expected, *scene.image));
    const Points changed = Changed(*testimg::Uniform(300, 120, kBlue), *scene.image);
    ASSERT_FALSE(changed.empty());
    int minX = 1000, minY = 1000;
    for (const Point& p : changed) {
        minX = std::min(minX, p.first);
        minY = std::min(minY, p.second);
    }
    EXPECT_EQ(minX, 116);
    EXPECT_EQ(minY, 66);
}

TEST_F(PaletteTools, CancelOrAnEmptyTextDrawsNothing)
{
    Scene scene(100, 40, kBlue);
    auto texte = scene.Make<TTexte>(frm_main);
    texte->texte = QStringLiteral("old");
    answerText(nullptr);
    texte->Clic(10, 10, mbLeft, scene.Window());
    EXPECT_TRUE(texte->texte.isEmpty());
    answerText("");
    int ax = 0, ay = 0;
    texte->Trace(&ax, &ay, 20, 20, mbLeft, nullptr);
    EXPECT_EQ(Where(*scene.image, kBlue).size(), 4000u);
}
