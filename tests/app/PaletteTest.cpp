#include "app/Form_main.h"
#include "document/Tdessin.h"
#include "support/FormsFixture.h"
#include "tools/Toutil.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QMenu>
#include <QToolButton>
#include <typeinfo>

using PaletteTest = FormsTest;

namespace {

// "Caption" for an item, "Caption>" for a submenu, "-" for a separator,
// submenu items indented by two spaces.
QStringList describe(QMenu* menu, const QString& indent = QString())
{
    QStringList lines;
    for (QAction* item : menu->actions()) {
        if (item->isSeparator())
            lines << indent + "-";
        else if (item->menu())
            lines << indent + item->text() + ">" << describe(item->menu(), indent + "  ");
        else
            lines << indent + item->text();
    }
    return lines;
}

} // namespace

TEST_F(PaletteTest, RightClickMenusHoldEveryItemInOrder)
{
    EXPECT_EQ(describe(frm_main->PopupMenu_fe),
              QStringList({"&Fichier>", "  &Nouveau", "  &Ouvrir...", "  &Enregistrer", "  En&registrer sous...", "  -",
                           "  &Imprimer...", "  &Configuration de l'impression...", "&Edition>", "  &Undo", "  -",
                           "  &Couper", "  Co&pier", "  C&oller", "  Collage sur &séléction", "-", "&Aide", "-",
                           "&Quitter"}));
    EXPECT_EQ(describe(frm_main->PopupMenu_effets),
              QStringList({"&2D>",      "  &Mirroir",    "  &Flip",       "  VagueX",        "  VagueY",
                           "  Tunnel",  "  Pouet pouet", "&Atténuation>", "  &Flou",         "  &Blur",
                           "&Divers>",  "  &Aquarelle",  "  &Estampage",  "&Palette>",       "  &Contraste",
                           "  &Gamma",  "  C&ouleurs",   "  &Négatif",    "  Noir et Blanc", "&Renforcement>",
                           "  &Netteté"}));
    for (const char* name : {"Ouvrir1", "Collage_sur_selection1", "Quitter2", "N3", "Nettet1", "NoirBlanc1", "N2D1"})
        EXPECT_NE(frm_main->MenuItem(name), nullptr) << name;
    // Items without a handler do nothing at all.
    for (const char* name :
         {"Nouveau1", "Imprimer1", "Undo1", "Aide1", "Quitter2", "Contraste1", "Gamma1", "Couleurs1"})
        frm_main->MenuItem(name)->trigger();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(frm_main->isVisible());
}

TEST_F(PaletteTest, ButtonsCarryTheirHintsAndSizes)
{
    const std::pair<QToolButton*, const char*> buttons[] = {
        {frm_main->btn_fichier, "Affiche le menu Fichier / Edition"},
        {frm_main->btn_effets, "Menu effets"},
        {frm_main->btn_outil_normal, "Gomme"},
        {frm_main->btn_outil_pinceau, "Pinceau"},
        {frm_main->btn_outil_text, "Texte"},
        {frm_main->btn_outil_pipette, "Pipette"},
        {frm_main->btn_outil_pot, "Pot de peinture"},
        {frm_main->btn_outil_selection, "Sélection"},
        {frm_main->btn_outil_rectangle, "Rectangle"},
        {frm_main->btn_outil_ligne, "Ligne"},
        {frm_main->BitBtn1, "Cercle"},
        {frm_main->BitBtn2, "outil temporaire"},
    };
    for (const auto& [button, hint] : buttons) {
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(hint));
        EXPECT_EQ(button->size(), QSize(57, 33));
    }
    EXPECT_EQ(frm_main->btn_outil_normal->iconSize(), QSize(36, 22));
    EXPECT_EQ(frm_main->btn_outil_pinceau->iconSize(), QSize(42, 29));
    EXPECT_EQ(frm_main->btn_outil_pot->pos(), QPoint(0, 104));
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), clBlack);
    EXPECT_EQ(frm_main->Stxt_coul_2->Color(), clWhite);
    EXPECT_EQ(frm_main->Stxt_coul_1->geometry(), QRect(16, 24, 49, 49));
    EXPECT_EQ(frm_main->Stxt_coul_2->geometry(), QRect(48, 56, 49, 49));
}

TEST_F(PaletteTest, EachToolButtonReplacesTheToolWithItsClass)
{
    const std::pair<QToolButton*, const char*> buttons[] = {
        {frm_main->btn_outil_normal, "TGomme"},
        {frm_main->btn_outil_pinceau, "TPinceau"},
        {frm_main->btn_outil_pipette, "TPipette"},
        {frm_main->btn_outil_pot, "TPot"},
        {frm_main->btn_outil_selection, "TSelectRect"},
        {frm_main->btn_outil_rectangle, "TRectangle"},
        {frm_main->btn_outil_ligne, "TLine"},
        {frm_main->BitBtn1, "TCercle"},
        {frm_main->BitBtn2, "TLine"},
    };
    for (const auto& [button, className] : buttons) {
        button->click();
        TOutil* tool = frm_main->GetOutil();
        ASSERT_NE(tool, nullptr);
        EXPECT_TRUE(QString(typeid(*tool).name()).endsWith(className)) << typeid(*tool).name();
        // A new tool has no image until a document is activated.
        EXPECT_EQ(tool->GetBmp(), nullptr);
    }
}

// The pressed tool buttons, by name.
static QStringList pressedTools()
{
    QStringList pressed;
    for (QToolButton* b : frm_main->findChildren<QToolButton*>())
        if (b->isChecked())
            pressed << b->objectName();
    return pressed;
}

TEST_F(PaletteTest, OnlyTheCurrentToolsButtonStaysPressed)
{
    EXPECT_EQ(pressedTools(), QStringList());
    frm_main->btn_outil_text->click(); // no document: no tool, nothing pressed
    EXPECT_EQ(pressedTools(), QStringList());
    for (QToolButton* b : {frm_main->btn_outil_pinceau, frm_main->btn_outil_ligne, frm_main->BitBtn2,
                           frm_main->btn_outil_normal, frm_main->btn_outil_normal}) {
        b->click();
        EXPECT_EQ(pressedTools(), QStringList(b->objectName()));
    }
    frm_main->btn_fichier->click();
    frm_main->btn_effets->click();
    EXPECT_EQ(pressedTools(), QStringList("btn_outil_normal"));

    // The text button is pressed once its font is chosen; a cancelled font
    // dialog leaves the previous tool's button pressed.
    new TDessin(frm_main, 20, 20);
    testgui::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    frm_main->btn_outil_text->click();
    EXPECT_EQ(pressedTools(), QStringList("btn_outil_normal"));
    testgui::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
    frm_main->btn_outil_text->click();
    EXPECT_EQ(pressedTools(), QStringList("btn_outil_text"));
}

TEST_F(PaletteTest, TheTextButtonWithoutADocumentOpensNoDialog)
{
    bool dialogSeen = false;
    testgui::WhenModal(
        [&](QWidget* modal) {
            dialogSeen = true;
            modal->close();
        },
        300);
    frm_main->btn_outil_text->click();
    testgui::Settle();
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(frm_main->GetOutil(), nullptr);
}

TEST_F(PaletteTest, TheTextButtonSetsTheChosenFontOnTheImageCanvas)
{
    auto* document = new TDessin(frm_main, 20, 20);
    testgui::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QFontDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(16);
        font.setBold(true);
        dialog->setCurrentFont(font);
        dialog->accept();
    });
    frm_main->btn_outil_text->click();
    ASSERT_NE(frm_main->GetOutil(), nullptr);
    EXPECT_EQ(document->GetBmp()->Canvas()->Font().Height, -16);
    EXPECT_TRUE(document->GetBmp()->Canvas()->Font().Style & fsBold);

    // Cancelling keeps the current tool.
    TOutil* before = frm_main->GetOutil();
    testgui::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    frm_main->btn_outil_text->click();
    EXPECT_EQ(frm_main->GetOutil(), before);
}

TEST_F(PaletteTest, ColourWellsTakeTheDialogColourEvenOnCancel)
{
    // The very first Cancel gives black.
    testgui::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    frm_main->Stxt_coul_2Click(nullptr);
    EXPECT_EQ(frm_main->Stxt_coul_2->Color(), clBlack);

    frm_main->btn_outil_pinceau->click();
    testgui::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        dialog->setCurrentColor(QColor(10, 20, 30));
        dialog->accept();
    });
    frm_main->Stxt_coul_1Click(nullptr);
    EXPECT_EQ(frm_main->Stxt_coul_1->Color(), RGBColor(10, 20, 30));

    // The dialog reopens on its last colour, not the well's; Cancel keeps it.
    QColor opened;
    testgui::WhenModal([&](QWidget* modal) {
        opened = qobject_cast<QColorDialog*>(modal)->currentColor();
        qobject_cast<QDialog*>(modal)->reject();
    });
    frm_main->Stxt_coul_2Click(nullptr);
    EXPECT_EQ(opened, QColor(10, 20, 30));
    EXPECT_EQ(frm_main->Stxt_coul_2->Color(), RGBColor(10, 20, 30));
}
