#include "dialogs/DialogParts.h"
#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_entree.h"
#include "dialogs/Form_nouveau.h"
#include "dialogs/Form_rvb.h"
#include "dialogs/Form_taille.h"
#include "support/Gui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using testgui::WhenModal;

TEST(Tfrm_rvb, TrackBarsShowTheirValueAndOkReturnsThePositions)
{
    Tfrm_rvb dialog(nullptr);
    std::int32_t r = 0, g = 0, b = 0;
    dialog.SetRetour(&r, &g, &b);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("RVB"));
    EXPECT_EQ(dialog.TckBar_R->value(), 128);
    EXPECT_EQ(dialog.TckBar_R->maximum(), 255);
    EXPECT_EQ(dialog.TckBar_R->tickInterval(), 25);
    EXPECT_EQ(dialog.Valeur_R->text(), QStringLiteral("128"));
    WhenModal([&](QWidget*) {
        dialog.TckBar_R->setValue(200);
        dialog.TckBar_B->setValue(3);
        EXPECT_EQ(dialog.Valeur_R->text(), QStringLiteral("200"));
        // A number typed into an edit is never read back.
        dialog.Valeur_R->setText(QStringLiteral("17"));
        QTest::keyClick(dialog.Valeur_V, Qt::Key_Return); // Enter acts as OK
    });
    dialog.ShowModal();
    EXPECT_EQ(r, 200);
    EXPECT_EQ(g, 128);
    EXPECT_EQ(b, 3);
}

TEST(ValueDialogs, EscapeAnnulerAndTheCloseBoxAllGiveMinusOne)
{
    const std::vector<std::function<void(QWidget*)>> ways = {
        [](QWidget* modal) { QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, Qt::Key_Escape); },
        [](QWidget* modal) {
            for (QPushButton* button : modal->findChildren<QPushButton*>())
                if (button->text() == QStringLiteral("Annuler"))
                    button->click();
        },
        [](QWidget* modal) { modal->close(); },
    };
    for (const auto& way : ways) {
        std::int32_t a = 5, b = 5, c = 5;
        Tfrm_rvb rvb(nullptr);
        rvb.SetRetour(&a, &b, &c);
        WhenModal(way);
        rvb.ShowModal();
        EXPECT_EQ(std::tuple(a, b, c), std::tuple(-1, -1, -1));

        std::int32_t contrast = 5, luminosity = 5;
        Tfrm_CL cl(nullptr);
        cl.SetRetour(&contrast, &luminosity);
        WhenModal(way);
        cl.ShowModal();
        EXPECT_EQ(std::pair(contrast, luminosity), std::pair(-1, -1));

        std::int32_t width = 5, height = 5;
        TFrm_nouveau nouveau(nullptr);
        nouveau.SetRetour(&width, &height);
        WhenModal(way);
        nouveau.ShowModal();
        EXPECT_EQ(std::pair(width, height), std::pair(-1, -1));
    }
}

TEST(Tfrm_CL, ReadOnlyValuesFollowTheTrackBars)
{
    Tfrm_CL dialog(nullptr);
    std::int32_t contrast = 0, luminosity = 0;
    dialog.SetRetour(&contrast, &luminosity);
    EXPECT_TRUE(dialog.Valeur_C->isReadOnly());
    EXPECT_TRUE(dialog.Valeur_L->isReadOnly());
    WhenModal([&](QWidget*) {
        dialog.TckBar_L->setValue(0);
        EXPECT_EQ(dialog.Valeur_L->text(), QStringLiteral("0"));
        dialog.Ok_CL->click();
    });
    dialog.ShowModal();
    EXPECT_EQ(contrast, 128);
    EXPECT_EQ(luminosity, 0);
}

TEST(TFrm_nouveau, OpensWithTheCaretInTheWidthAndReadsNumbersLikeAtol)
{
    TFrm_nouveau dialog(nullptr);
    std::int32_t width = 0, height = 0;
    dialog.SetRetour(&width, &height);
    WhenModal([&](QWidget*) {
        EXPECT_EQ(dialog.focusWidget(), dialog.Edit_L);
        EXPECT_EQ(dialog.Edit_L->text(), QStringLiteral("640"));
        dialog.Edit_L->setText(QStringLiteral("  12abc"));
        dialog.Edit_H->setText(QStringLiteral("abc"));
        dialog.OK_nouveau->click();
    });
    dialog.ShowModal();
    EXPECT_EQ(width, 12);
    EXPECT_EQ(height, 0);

    using dialogparts::AtoL;
    EXPECT_EQ(AtoL("480"), 480);
    EXPECT_EQ(AtoL("-7x"), -7);
    EXPECT_EQ(AtoL("+9"), 9);
    EXPECT_EQ(AtoL(""), 0);
    EXPECT_EQ(AtoL("\t 3 4"), 3);
    EXPECT_EQ(AtoL("99999999999999"), 2147483647);
    EXPECT_EQ(AtoL("-99999999999999"), -2147483648LL);
}

TEST(TFrm_entree, KeepsTheLastAcceptedTextAndAnswersEnterAndEscape)
{
    TFrm_entree dialog(nullptr);
    QString text = QStringLiteral("untouched");
    dialog.retourTexte = &text;

    // Typing replaces the last text, selected when the dialog opens; either
    // Entrée answers Ok, Échap Cancel.
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* typed;
        const char* returned;
    };
    for (const Case& c : {Case{Qt::Key_Return, Qt::NoModifier, "Bonjour", "Bonjour"},
                          Case{Qt::Key_Enter, Qt::KeypadModifier, "Salut", "Salut"},
                          Case{Qt::Key_Escape, Qt::NoModifier, "Adieu", ""}}) {
        SCOPED_TRACE(c.typed);
        const QString last = dialog.Edit1->text();
        WhenModal([&](QWidget*) {
            EXPECT_EQ(QApplication::focusWidget(), dialog.Edit1);
            EXPECT_EQ(dialog.Edit1->selectedText(), last);
            QTest::keyClicks(QApplication::focusWidget(), QString::fromUtf8(c.typed));
            QTest::keyClick(QApplication::focusWidget(), c.key, c.mods);
        });
        dialog.ShowModal();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(text, QString::fromUtf8(c.returned));
        EXPECT_EQ(dialog.Edit1->text(), QString::fromUtf8(c.returned));
    }

    // The close box writes nothing.
    dialog.Edit1->setText(QStringLiteral("Bonjour"));
    text = QStringLiteral("kept");
    WhenModal([&](QWidget*) { dialog.close(); });
    dialog.ShowModal();
    EXPECT_EQ(text, QStringLiteral("kept"));
    EXPECT_EQ(dialog.Edit1->text(), QStringLiteral("Bonjour"));
}

TEST(ValueDialogs, EachOpensWithTheKeyboardInItsFirstFieldWhoseValueTypingReplaces)
{
    Tfrm_rvb rvb(nullptr);
    Tfrm_CL cl(nullptr);
    TFrm_nouveau nouveau(nullptr);
    Tfrm_redimensionner resize(nullptr, QSize(300, 200));
    Tfrm_toile canvas(nullptr, QSize(300, 200), clWhite);
    Tfrm_rotation rotation(nullptr, QSize(300, 200));
    // The track bars' boxes take the arrow keys; the others take digits.
    const std::vector<std::pair<QDialog*, QWidget*>> boxes = {
        {&rvb, rvb.TckBar_R},      {&cl, cl.TckBar_C},        {&nouveau, nouveau.Edit_L},
        {&resize, resize.Largeur}, {&canvas, canvas.Largeur}, {&rotation, rotation.Angle},
    };
    for (const auto& [box, first] : boxes) {
        SCOPED_TRACE(box->windowTitle().toStdString());
        QString typed;
        WhenModal([&, first = first](QWidget* modal) {
            EXPECT_EQ(QApplication::focusWidget(), first);
            if (auto* slider = qobject_cast<QSlider*>(first)) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
                typed = QString::number(slider->value());
            } else {
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
                auto* edit = qobject_cast<QLineEdit*>(first);
                typed = edit ? edit->text() : first->findChild<QLineEdit*>()->text();
            }
            static_cast<QDialog*>(modal)->reject();
        });
        box->exec();
        EXPECT_EQ(typed, first->inherits("QSlider") ? QStringLiteral("129") : QStringLiteral("7"));
    }
}

TEST(Tfrm_rotation, TakesAPointOrACommaForTheDecimalSign)
{
    for (const QLocale& language : {QLocale(QLocale::French, QLocale::France), QLocale(QLocale::C)}) {
        for (const char* typed : {"17.5", "17,5", "-0.25"}) {
            SCOPED_TRACE(language.name().toStdString() + " " + typed);
            Tfrm_rotation rotation(nullptr, QSize(300, 200));
            rotation.Angle->setLocale(language);
            rotation.Angle->clear();
            QTest::keyClicks(rotation.Angle, QString::fromUtf8(typed));
            EXPECT_EQ(rotation.Values()[0], typed[0] == '-' ? -25 : 1750);
        }
    }
}

TEST(TTailleDialog, TheResultLineFollowsEveryKeyAndRefusesWhatIsNoValue)
{
    Tfrm_redimensionner resize(nullptr, QSize(300, 200));
    Tfrm_toile canvas(nullptr, QSize(300, 200), clWhite);
    Tfrm_rotation rotation(nullptr, QSize(300, 200));
    // Typed over the selected value: what the line then says, and whether OK
    // may be pressed.
    struct Case {
        TTailleDialog* box;
        QAbstractSpinBox* field;
        const char* typed;
        const char* line;
        bool ok;
    };
    const Case cases[] = {
        {&resize, resize.Largeur, "0", "au moins 1 pixel de côté", false},
        {&resize, resize.Largeur, "", "au moins 1 pixel de côté", false},
        {&resize, resize.Largeur, "150", "150 x 100 pixels", true},
        {&resize, resize.Hauteur, "0", "au moins 1 pixel de côté", false},
        {&canvas, canvas.Hauteur, "0", "au moins 1 pixel de côté", false},
        {&canvas, canvas.Hauteur, "50", "300 x 50 pixels", true},
        {&rotation, rotation.Angle, "-", "un angle de -360 à 360 degrés", false},
        {&rotation, rotation.Angle, "90", "200 x 300 pixels", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " in " + c.field->objectName().toStdString());
        c.field->selectAll();
        QTest::keyClick(c.field, Qt::Key_Delete);
        QTest::keyClicks(c.field, QString::fromUtf8(c.typed));
        EXPECT_TRUE(c.box->Resultat->text().contains(QString::fromUtf8(c.line)))
            << c.box->Resultat->text().toStdString();
        EXPECT_EQ(c.box->Ok->isEnabled(), c.ok);
    }
}

TEST(Tfrm_toile, TheDotStandsOnTheChosenAnchorAndTheArrowsPointAwayFromIt)
{
    Tfrm_toile canvas(nullptr, QSize(300, 200), clWhite);
    const auto marks = [&] {
        QString all;
        for (int i = 0; i < 9; ++i)
            all += canvas.Ancre->button(i)->text();
        return all;
    };
    EXPECT_EQ(marks(), QStringLiteral("↖↑↗←●→↙↓↘"));
    canvas.Ancre->button(8)->click();
    EXPECT_EQ(marks(), QStringLiteral("↖↖↑↖↖↑←←●"));
    canvas.Ancre->button(1)->click();
    EXPECT_EQ(marks(), QStringLiteral("←●→↙↓↘↙↓↘"));
    EXPECT_EQ(canvas.Values()[2], 1);
}
