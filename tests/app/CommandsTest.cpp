// The effect, filter and value-dialog commands as the user reaches them: the
// effects menu, the effects palette's buttons and the handlers of both.
#include "app/Form_main.h"
#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_rvb.h"
#include "document/Tdessin.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "filters/Tfiltre.h"
#include "kernels/Tselection.h"
#include "raster/Screen.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

namespace {

using Operation = std::function<void(TBitmap&)>;

template <typename Filter> Operation filter()
{
    return [](TBitmap& image) {
        Filter f(image);
        f.Apply();
    };
}

// Answers the RGB dialog with 255, 128, 0 and the contrast dialog with 64 and
// 138 (a luminosity of +10).
void answerRgb(QWidget* modal)
{
    auto* dialog = qobject_cast<Tfrm_rvb*>(modal);
    dialog->TckBar_R->setValue(255);
    dialog->TckBar_B->setValue(0);
    dialog->Ok_rvb->click();
}
void answerContrast(QWidget* modal)
{
    auto* dialog = qobject_cast<Tfrm_CL*>(modal);
    dialog->TckBar_C->setValue(64);
    dialog->TckBar_L->setValue(138);
    dialog->Ok_CL->click();
}

// Every command as the user reaches it, and what it must do to the image.
struct Command {
    const char* menuItem; // null: no menu item runs it
    QToolButton* Tfrm_effets::*button;
    void (Tfrm_effets::*buttonHandler)();
    void (Tfrm_main::*handler)(QObject*);
    bool isFilter;
    Operation operation;
    void (*answer)(QWidget* dialog) = nullptr;
};

const std::vector<Command>& allCommands()
{
    static const std::vector<Command> all = {
        {"Mirroir1", &Tfrm_effets::btn_rot, &Tfrm_effets::btn_rotClick, &Tfrm_main::Mirroir1Click, false,
         effects::Mirror},
        {"Flip1", &Tfrm_effets::btn_resize, &Tfrm_effets::btn_resizeClick, &Tfrm_main::Flip1Click, false,
         effects::Flip},
        {"Vagueenabscisse1", &Tfrm_effets::BitBtn2, &Tfrm_effets::BitBtn2Click, &Tfrm_main::Vagueenabscisse1Click,
         false, effects::VagueX},
        {"VagueY1", &Tfrm_effets::BitBtn1, &Tfrm_effets::BitBtn1Click, &Tfrm_main::VagueY1Click, false,
         effects::VagueY},
        {"Tunnel1", &Tfrm_effets::BitBtn3, &Tfrm_effets::BitBtn3Click, &Tfrm_main::Tunnel1Click, false,
         effects::Cercle1},
        {"Pouetpouet1", &Tfrm_effets::BitBtn4, &Tfrm_effets::BitBtn4Click, &Tfrm_main::Pouetpouet1Click, false,
         effects::Cercle2},
        {"Negatif1", &Tfrm_effets::btn_negatif, &Tfrm_effets::btn_negatifClick, &Tfrm_main::Negatif1Click, false,
         effects::InverseColor},
        {"NoirBlanc1", &Tfrm_effets::btn_gamma, &Tfrm_effets::btn_gammaClick, &Tfrm_main::NoirBlanc1Click, false,
         effects::NB},
        {nullptr, &Tfrm_effets::btn_couleurs, &Tfrm_effets::btn_couleursClick, &Tfrm_main::Couleurs1Click, false,
         [](TBitmap& b) { effects::AdjustColor(b, 255, 128, 0); }, answerRgb},
        {nullptr, &Tfrm_effets::btn_contraste, &Tfrm_effets::btn_contrasteClick, &Tfrm_main::Contraste1Click, false,
         [](TBitmap& b) {
             effects::AdjustContrast(b, 64);
             effects::AdjustLuminosite(b, 10);
         },
         answerContrast},
        {"Blur1", &Tfrm_effets::btn_blur, &Tfrm_effets::btn_blurClick, &Tfrm_main::Blur1Click, true, filter<TBlur>()},
        {"Flou1", &Tfrm_effets::btn_soften, &Tfrm_effets::btn_softenClick, &Tfrm_main::Flou1Click, true,
         filter<TFlou>()},
        {"Nettet1", &Tfrm_effets::btn_sharpen, &Tfrm_effets::btn_sharpenClick, &Tfrm_main::Nettet1Click, true,
         filter<TSharpen>()},
        {"Estompage1", &Tfrm_effets::btn_emboss, &Tfrm_effets::btn_embossClick, &Tfrm_main::Estompage1Click, true,
         filter<TEmboss>()},
        {"Aquarelle1", &Tfrm_effets::btn_bump, &Tfrm_effets::btn_bumpClick, &Tfrm_main::Aquarelle1Click, true,
         filter<TAquarelle>()},
    };
    return all;
}

// The ways of running one command.
enum class Way { MenuItem, Button, ButtonHandler, Handler };

const char* nameOf(Way way)
{
    switch (way) {
    case Way::MenuItem: return "menu item";
    case Way::Button: return "palette button";
    case Way::ButtonHandler: return "palette handler";
    case Way::Handler: return "main palette handler";
    }
    return "";
}

void run(const Command& command, Way way)
{
    if (command.answer)
        testgui::WhenModal(command.answer);
    switch (way) {
    case Way::MenuItem: frm_main->MenuItem(command.menuItem)->trigger(); break;
    case Way::Button: (frm_effets->*command.button)->click(); break;
    case Way::ButtonHandler: (frm_effets->*command.buttonHandler)(); break;
    case Way::Handler: (frm_main->*command.handler)(nullptr); break;
    }
}

class CommandsTest : public FormsTest {
protected:
    TDessin* NewDocument(int width = 37, int height = 29)
    {
        auto* document = new TDessin(frm_main, width, height);
        const auto noise = testimg::Noise(width, height, 11);
        document->GetBmp()->Assign(*noise);
        return document;
    }
    std::unique_ptr<TBitmap> Expected(TDessin* document, const Operation& operation)
    {
        auto expected = testimg::Copy(*document->GetBmp());
        operation(*expected);
        return expected;
    }
};

} // namespace

TEST_F(CommandsTest, EveryWayToACommandRunsItOnTheActiveDocumentAsOneUndoStep)
{
    for (const Command& command : allCommands())
        for (Way way : {Way::MenuItem, Way::Button, Way::ButtonHandler, Way::Handler}) {
            if (way == Way::MenuItem && !command.menuItem)
                continue;
            const std::string name = (frm_effets->*command.button)->objectName().toStdString();
            SCOPED_TRACE(name + " from the " + nameOf(way));
            TDessin* document = NewDocument();
            const auto original = testimg::Copy(*document->GetBmp());
            const auto expected = Expected(document, command.operation);
            run(command, way);
            EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));
            // The window shows the result, and the arrow is back.
            EXPECT_EQ(document->WindowCanvas()->Pixels(5, 5), testimg::At(*expected, 5, 5));
            EXPECT_EQ(Screen->Cursor(), crArrow);
            // One step takes the image back to what it was, and there is no other.
            EXPECT_TRUE(document->Undo());
            EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *original));
            EXPECT_FALSE(document->Undo());
            EXPECT_TRUE(document->Redo());
            EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));
        }
}

// The commands reach the active document, the one activated last.
TEST_F(CommandsTest, OnlyTheActiveDocumentChanges)
{
    TDessin* first = NewDocument();
    TDessin* second = NewDocument();
    const auto before = testimg::Copy(*second->GetBmp());
    first->OnActivate();
    for (const Command& command : allCommands()) {
        const auto expected = Expected(first, command.operation);
        run(command, Way::Button);
        EXPECT_TRUE(testimg::SameBytes(*first->GetBmp(), *expected));
    }
    EXPECT_TRUE(testimg::SameBytes(*second->GetBmp(), *before));
}

TEST_F(CommandsTest, WithoutADocumentOnlyTheDialogButtonsDoAnything)
{
    for (const Command& command : allCommands())
        if (!command.answer)
            (frm_effets->*command.button)->click();
    // The filters have shown the hourglass and then the arrow.
    EXPECT_EQ(Screen->Cursor(), crArrow);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::ArrowCursor);

    for (QToolButton* button : {frm_effets->btn_couleurs, frm_effets->btn_contraste}) {
        QString opened;
        testgui::WhenModal([&](QWidget* modal) {
            opened = modal->windowTitle();
            qobject_cast<QDialog*>(modal)->accept();
        });
        button->click();
        EXPECT_FALSE(opened.isEmpty());
    }
}

TEST_F(CommandsTest, FiltersChangeOnlyTheSelectionEffectsTheWholeImage)
{
    TDessin* document = NewDocument(40, 30);
    std::uint8_t** rows = document->GetSelection()->GetRows();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            rows[y][x] = (x >= 10 && x < 25 && y >= 8 && y < 20) ? 1 : 0;
    for (const Command& command : allCommands()) {
        const auto before = testimg::Copy(*document->GetBmp());
        const auto whole = Expected(document, command.operation);
        run(command, Way::Button);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = rows[y][x] != 0;
                const TColor want =
                    (command.isFilter && !inside) ? testimg::At(*before, x, y) : testimg::At(*whole, x, y);
                ASSERT_EQ(testimg::At(*document->GetBmp(), x, y), want) << x << "," << y;
            }
    }
}

TEST_F(CommandsTest, DialogsCancelledOrClosedApplyNothingAcceptedAsTheyOpenChangeNothing)
{
    TDessin* document = NewDocument(16, 8);
    const auto original = testimg::Copy(*document->GetBmp());
    const std::vector<std::function<void(QWidget*)>> cancels = {
        [](QWidget* modal) { modal->close(); },
        [](QWidget* modal) {
            for (QPushButton* b : modal->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("Annuler"))
                    b->click();
        },
    };
    for (QToolButton* button : {frm_effets->btn_couleurs, frm_effets->btn_contraste})
        for (const auto& cancel : cancels) {
            testgui::WhenModal(cancel);
            button->click();
        }
    EXPECT_FALSE(document->Undo());

    // Gains 128, contrast 128 and luminosity 0.
    for (QToolButton* button : {frm_effets->btn_couleurs, frm_effets->btn_contraste}) {
        testgui::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
        button->click();
    }
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *original));
}

TEST_F(CommandsTest, ImagesFromNon24BitFilesTakeEveryCommand)
{
    QImage indexed(23, 19, QImage::Format_Indexed8);
    indexed.setColorCount(256);
    for (int i = 0; i < 256; ++i)
        indexed.setColor(i, qRgb(i, 255 - i, (i * 7) & 255));
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 23; ++x)
            indexed.setPixel(x, y, uint((x * 11 + y * 5) & 255));
    const QString path = testimg::TempDir() + "/palette.bmp";
    ASSERT_TRUE(indexed.save(path, "BMP"));
    auto* document = new TDessin(frm_main, path);
    EXPECT_EQ(messages.messages.size(), 1u);
    for (const Command& command : allCommands()) {
        const auto expected = Expected(document, command.operation);
        run(command, Way::Button);
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected))
            << (frm_effets->*command.button)->objectName().toStdString();
    }
}

// Every row of the command table has its place: a button of the effects
// palette with the row's hint, a menu item with its caption where it has one;
// the selection rows are the selection tool's work in the editor, and the
// changes of size and orientation and the fill come by keys.
TEST_F(CommandsTest, EveryRowOfTheCommandTableHasItsButtonAndMenuItem)
{
    size_t onThePalette = 0;
    for (const commands::Command& row : commands::AllCommands()) {
        SCOPED_TRACE(row.cliName);
        if (row.selection == commands::SelectionRule::SetsMask || row.selection == commands::SelectionRule::Reshapes ||
            row.selection == commands::SelectionRule::Fills) {
            EXPECT_EQ(row.button, nullptr);
            EXPECT_EQ(row.menuItem, nullptr);
            continue;
        }
        auto* button = frm_effets->findChild<QToolButton*>(row.button);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(row.hint));
        ++onThePalette;
        if (row.menuItem) {
            QAction* item = frm_main->MenuItem(row.menuItem);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->text(), QString::fromUtf8(row.menuCaption));
        }
    }
    // Every button of the palette runs a row, and each is tested above.
    EXPECT_EQ(frm_effets->findChildren<QToolButton*>().size(), qsizetype(onThePalette));
    EXPECT_EQ(allCommands().size(), onThePalette);
}
