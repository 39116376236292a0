#include "app/Form_main.h"
#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_rvb.h"
#include "document/Tdessin.h"
#include "kernels/Tselection.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "filters/Tfiltre.h"
#include "platform/Screen.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QPushButton>
#include <QRegularExpression>
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

struct Command {
    const char* menuItem;
    QToolButton* Tfrm_effets::*button;
    Operation operation;
};

std::vector<Command> commands()
{
    return {
        {"Mirroir1", &Tfrm_effets::btn_rot, effects::Mirror},
        {"Flip1", &Tfrm_effets::btn_resize, effects::Flip},
        {"Vagueenabscisse1", &Tfrm_effets::BitBtn2, effects::VagueX},
        {"VagueY1", &Tfrm_effets::BitBtn1, effects::VagueY},
        {"Tunnel1", &Tfrm_effets::BitBtn3, effects::Cercle1},
        {"Pouetpouet1", &Tfrm_effets::BitBtn4, effects::Cercle2},
        {"Negatif1", &Tfrm_effets::btn_negatif, effects::InverseColor},
        {"NoirBlanc1", &Tfrm_effets::btn_gamma, effects::NB},
        {"Blur1", &Tfrm_effets::btn_blur, filter<TBlur>()},
        {"Flou1", &Tfrm_effets::btn_soften, filter<TFlou>()},
        {"Nettet1", &Tfrm_effets::btn_sharpen, filter<TSharpen>()},
        {"Estompage1", &Tfrm_effets::btn_emboss, filter<TEmboss>()},
        {"Aquarelle1", &Tfrm_effets::btn_bump, filter<TAquarelle>()},
    };
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
    std::unique_ptr<TBitmap> Expected(const TDessin* document, const Operation& operation)
    {
        auto expected = testimg::Copy(*const_cast<TDessin*>(document)->GetBmp());
        operation(*expected);
        return expected;
    }
};

} // namespace

TEST_F(CommandsTest, EveryMenuItemAndPaletteButtonRunsItsOperationOnTheActiveDocument)
{
    for (const Command& command : commands()) {
        for (bool fromPalette : {false, true}) {
            TDessin* document = NewDocument();
            const auto expected = Expected(document, command.operation);
            if (fromPalette)
                (frm_effets->*command.button)->click();
            else
                frm_main->MenuItem(command.menuItem)->trigger();
            EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected))
                << command.menuItem << (fromPalette ? " from the palette" : " from the menu");
            EXPECT_EQ(document->WindowCanvas()->Pixels(5, 5), testimg::At(*expected, 5, 5)) << command.menuItem;
            EXPECT_EQ(Screen->Cursor(), crArrow);
        }
    }
    // The menu's palette items without handler stay without.
    TDessin* document = NewDocument();
    const auto before = testimg::Copy(*document->GetBmp());
    for (const char* name : {"Contraste1", "Gamma1", "Couleurs1"})
        frm_main->MenuItem(name)->trigger();
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *before));
}

TEST_F(CommandsTest, WithoutADocumentOnlyTheDialogButtonsDoAnything)
{
    for (const Command& command : commands())
        (frm_effets->*command.button)->click();
    EXPECT_EQ(frm_main->LastFilter(), nullptr);
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
    for (const Command& command : commands()) {
        const auto before = testimg::Copy(*document->GetBmp());
        const auto whole = Expected(document, command.operation);
        frm_main->MenuItem(command.menuItem)->trigger();
        const bool isFilter =
            QString(command.menuItem).contains(QRegularExpression("Blur|Flou|Nettet|Estompage|Aquarelle"));
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = rows[y][x] != 0;
                const TColor want = (isFilter && !inside) ? testimg::At(*before, x, y) : testimg::At(*whole, x, y);
                ASSERT_EQ(testimg::At(*document->GetBmp(), x, y), want) << command.menuItem << " at " << x << "," << y;
            }
    }
}

TEST_F(CommandsTest, TheLastFilterIsDestroyedBeforeTheNextIsCreated)
{
    TDessin* document = NewDocument(12, 12);
    std::vector<std::string> events;
    struct Recording : TFiltre {
        Recording(TBitmap& b, std::vector<std::string>& log, std::string name)
            : TFiltre(b), log_(log), name_(std::move(name))
        {
            log_.push_back("create " + name_);
        }
        ~Recording() override { log_.push_back("destroy " + name_); }
        void Apply() override { log_.push_back("apply " + name_); }
        std::vector<std::string>& log_;
        std::string name_;
    };
    const auto factory = [&](const std::string& name) {
        return [&, name](TBitmap& copy) -> std::unique_ptr<TFiltre> {
            // The copy exists and is exact when the filter is made.
            EXPECT_TRUE(testimg::SameBytes(copy, *document->GetBmp()));
            events.push_back("make on the copy");
            return std::make_unique<Recording>(copy, events, name);
        };
    };
    frm_main->RunFilter(factory("first"));
    frm_main->RunFilter(factory("second"));
    EXPECT_EQ(events, (std::vector<std::string>{"make on the copy", "create first", "apply first", "destroy first",
                                                "make on the copy", "create second", "apply second"}));
    // The last one lives until the palette closes.
    frm_main->close();
    EXPECT_EQ(events.back(), "destroy second");
    EXPECT_EQ(frm_main->LastFilter(), nullptr);
}

TEST_F(CommandsTest, DialogCommandsApplyTheirValuesOrNothing)
{
    TDessin* document = NewDocument(16, 8);
    const auto original = testimg::Copy(*document->GetBmp());

    // Accepted as they open: gains 128 and contrast 128, luminosity 0: no change.
    for (QToolButton* button : {frm_effets->btn_couleurs, frm_effets->btn_contraste}) {
        testgui::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
        button->click();
    }
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *original));

    testgui::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<Tfrm_rvb*>(modal);
        dialog->TckBar_R->setValue(255);
        dialog->TckBar_B->setValue(0);
        dialog->Ok_rvb->click();
    });
    frm_effets->btn_couleurs->click();
    auto expected = testimg::Copy(*original);
    effects::AdjustColor(*expected, 255, 128, 0);
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));

    testgui::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<Tfrm_CL*>(modal);
        dialog->TckBar_C->setValue(64);
        dialog->TckBar_L->setValue(138);
        dialog->Ok_CL->click();
    });
    frm_effets->btn_contraste->click();
    effects::AdjustContrast(*expected, 64);
    effects::AdjustLuminosite(*expected, 10);
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));

    // Annuler and the close box apply nothing.
    for (QToolButton* button : {frm_effets->btn_couleurs, frm_effets->btn_contraste}) {
        testgui::WhenModal([](QWidget* modal) { modal->close(); });
        button->click();
        testgui::WhenModal([](QWidget* modal) {
            for (QPushButton* b : modal->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("Annuler"))
                    b->click();
        });
        button->click();
    }
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));
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
    for (const Command& command : commands()) {
        const auto expected = Expected(document, command.operation);
        frm_main->MenuItem(command.menuItem)->trigger();
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected)) << command.menuItem;
    }
}
