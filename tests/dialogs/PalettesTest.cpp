// The effects and filters palettes as the user sees them: every group box and
// button where the forms put it, with its glyph size, caption and hint.
#include "dialogs/Form_effets.h"
#include "dialogs/Form_filtres.h"
#include "support/FormsFixture.h"

#include <QGroupBox>
#include <QToolButton>

namespace {

using PalettesTest = FormsTest;

struct Box {
    const char* name;
    const char* caption;
    QRect geometry;
};

struct Button {
    const char* group;
    const char* name;
    QRect geometry; // in its group box
    QSize glyph; // empty: no glyph
    const char* caption;
    const char* hint;
};

void expectBoxes(QWidget* form, const std::vector<Box>& boxes)
{
    const auto found = form->findChildren<QGroupBox*>();
    EXPECT_EQ(found.size(), qsizetype(boxes.size()));
    for (const Box& box : boxes) {
        auto* b = form->findChild<QGroupBox*>(box.name);
        ASSERT_NE(b, nullptr) << box.name;
        EXPECT_EQ(b->title(), QString::fromUtf8(box.caption)) << box.name;
        EXPECT_EQ(b->geometry(), box.geometry) << box.name;
    }
}

void expectButtons(QWidget* form, const std::vector<Button>& buttons)
{
    EXPECT_EQ(form->findChildren<QToolButton*>().size(), qsizetype(buttons.size()));
    for (const Button& button : buttons) {
        SCOPED_TRACE(button.name);
        auto* box = form->findChild<QGroupBox*>(button.group);
        ASSERT_NE(box, nullptr);
        auto* b = box->findChild<QToolButton*>(button.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->geometry(), button.geometry);
        EXPECT_EQ(b->icon().isNull(), button.glyph.isEmpty());
        if (!button.glyph.isEmpty()) {
            EXPECT_EQ(b->iconSize(), button.glyph);
        }
        EXPECT_EQ(b->text(), QString::fromUtf8(button.caption));
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(button.hint));
    }
}

} // namespace

TEST_F(PalettesTest, TheEffectsPaletteHasEveryButtonInItsPlaceWithItsHint)
{
    EXPECT_EQ(frm_effets->windowTitle(), QStringLiteral("Effets"));
    EXPECT_EQ(frm_effets->size(), QSize(735, 57));
    expectBoxes(frm_effets, {
                                {"GroupBox_2d", "2D", {8, 0, 273, 57}},
                                {"GroupBox_palette", "Palette", {288, 0, 145, 57}},
                                {"GroupBox_attenuation", "Atténuation", {440, 0, 97, 57}},
                                {"GroupBox_renforcement", "Renforcement", {544, 0, 81, 57}},
                                {"GroupBox_divers", "Divers", {632, 0, 97, 57}},
                            });
    const QSize small(20, 20), wide(50, 20), filter(31, 14);
    expectButtons(
        frm_effets,
        {
            {"GroupBox_2d", "btn_resize", {8, 16, 33, 33}, small, "", "Flip"},
            {"GroupBox_2d", "btn_rot", {40, 16, 33, 33}, small, "", "Mirroir"},
            {"GroupBox_2d", "BitBtn1", {72, 16, 33, 33}, small, "", "Vagues Horizontales"},
            {"GroupBox_2d", "BitBtn2", {104, 16, 33, 33}, small, "", "Vagues Verticales"},
            {"GroupBox_2d", "BitBtn3", {136, 16, 65, 33}, wide, "", "Tunnel"},
            {"GroupBox_2d", "BitBtn4", {200, 16, 65, 33}, wide, "", "Ripple"},
            {"GroupBox_palette", "btn_contraste", {8, 16, 33, 33}, small, "", "Contraste"},
            {"GroupBox_palette", "btn_gamma", {40, 16, 33, 33}, small, "", "Noir et Blanc"},
            {"GroupBox_palette", "btn_couleurs", {72, 16, 33, 33}, small, "", "Couleurs RVB"},
            {"GroupBox_palette", "btn_negatif", {104, 16, 33, 33}, small, "", "Négatif"},
            {"GroupBox_attenuation", "btn_soften", {8, 16, 41, 33}, filter, "", "Effet de flou en vision doublée"},
            {"GroupBox_attenuation", "btn_blur", {48, 16, 41, 33}, filter, "", "Effet de flou"},
            {"GroupBox_renforcement", "btn_sharpen", {8, 16, 65, 33}, filter, "", "Accentuation des détails"},
            {"GroupBox_divers", "btn_bump", {8, 16, 41, 33}, filter, "", "Effet de peinture à la main"},
            {"GroupBox_divers", "btn_emboss", {48, 16, 41, 33}, filter, "", "Relief monochromatique"},
        });
}

// The older strip keeps its captions and hints; its buttons are as wide as
// their captions.
TEST_F(PalettesTest, TheFiltersPaletteHasItsCaptionedButtonsAndHints)
{
    EXPECT_EQ(frm_filtres->windowTitle(), QStringLiteral("Filtres"));
    EXPECT_EQ(frm_filtres->size(), QSize(306, 57));
    expectBoxes(frm_filtres, {
                                 {"GroupBox_attenuation", "Atténuation", {0, 0, 97, 57}},
                                 {"GroupBox_renforcement", "Renforcement", {104, 0, 97, 57}},
                                 {"GroupBox_divers", "Divers", {208, 0, 97, 57}},
                             });
    expectButtons(
        frm_filtres,
        {
            {"GroupBox_attenuation", "btn_soften", {4, 16, 46, 33}, {}, "Soften", "Flou"},
            {"GroupBox_attenuation", "btn_blur", {50, 16, 43, 33}, {}, "Blur", "Vent"},
            {"GroupBox_renforcement", "btn_sharpen", {4, 16, 58, 33}, {}, "Sharpen", "Accentuation des détails"},
            {"GroupBox_renforcement", "BitBtn1", {62, 16, 31, 33}, {}, "", ""},
            {"GroupBox_divers", "btn_bump", {3, 16, 41, 33}, {}, "Bump", "Relief"},
            {"GroupBox_divers", "btn_emboss", {44, 16, 51, 33}, {}, "Emboss", "Relief monochromatique"},
        });
}
