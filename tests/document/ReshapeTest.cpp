// The changes of size and orientation in an image window: their keys and
// dialogs, one undo step each, and the view, the selection and the reduced
// copies that follow the new size.
#include "dialogs/Form_taille.h"
#include "document/TDessinVue.h"
#include "document/Tdessin.h"
#include "effects/Geometry.h"
#include "effects/Resample.h"
#include "kernels/Tselection.h"
#include "model/ImageDocument.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<TBitmap> Bitmap(const QImage& image)
{
    auto bitmap = std::make_unique<TBitmap>();
    if (!image.isNull())
        bitmap->SetImage(image, pf24bit);
    return bitmap;
}

class ReshapeTest : public FormsTest {
protected:
    TDessin* Shown(const TBitmap& image)
    {
        auto* document = new TDessin(frm_main, image.Width(), image.Height());
        document->GetBmp()->Assign(image);
        document->show();
        testgui::Settle();
        return document;
    }
    void Press(TDessin* document, int key, Qt::KeyboardModifiers mods = Qt::ControlModifier)
    {
        QTest::keyClick(document, Qt::Key(key), mods);
        testgui::Settle();
    }
};

struct KeyCase {
    std::string name;
    int key;
    Qt::KeyboardModifiers mods;
    // What the key leaves, made from the image before it; a null image when
    // the key changes nothing.
    std::function<QImage(const TBitmap&)> expected;
};

TEST_F(ReshapeTest, EachKeyIsOneUndoStepThatUndoAndRedoTakeBackExactly)
{
    // A 2-pixel white frame around noise, with a selection inside it.
    const std::shared_ptr<TBitmap> noise = testimg::Noise(23, 17, 5);
    const auto framed = testimg::Make(23, 17, [noise](int x, int y) {
        return x < 2 || y < 2 || x >= 21 || y >= 15 ? clWhite : testimg::At(*noise, x, y);
    });
    const QRect selected(3, 4, 9, 6);
    const std::vector<KeyCase> cases = {
        {"crop to the selection", Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier,
         [&](const TBitmap& b) { return effects::Crop(b, selected); }},
        {"autocrop", Qt::Key_U, Qt::ControlModifier,
         [](const TBitmap& b) {
             return effects::Crop(b, {2, 2, 19, 13});
         }},
        {"quarter clockwise", Qt::Key_H, Qt::ControlModifier, effects::TurnClockwise},
        {"quarter counter-clockwise", Qt::Key_G, Qt::ControlModifier, effects::TurnCounterClockwise},
        {"half turn", Qt::Key_J, Qt::ControlModifier, effects::TurnHalf},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDessin* document = Shown(*framed);
        ImageDocument& model = *document->Model();
        model.SelectRectangle(selected.left(), selected.top(), selected.right() + 1, selected.bottom() + 1);
        document->Vue()->UpdateOutline();
        Press(document, c.key, c.mods);

        const auto expected = Bitmap(c.expected(*framed));
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));
        EXPECT_EQ(document->size(), QSize(expected->Width(), expected->Height()));
        // Afterwards the whole image is editable, and the view shows no outline.
        EXPECT_TRUE(model.Mask().Everything());
        EXPECT_TRUE(document->Vue()->SelectionOutline().isEmpty());
        EXPECT_EQ(document->Vue()->Reduites().Level(1).size(),
                  QSize((expected->Width() + 1) / 2, (expected->Height() + 1) / 2));

        ASSERT_TRUE(document->Undo());
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *framed));
        EXPECT_EQ(model.SelectionBounds(), selected);
        EXPECT_FALSE(document->Undo());
        ASSERT_TRUE(document->Redo());
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));
        document->DropChanges();
        document->close();
    }
}

TEST_F(ReshapeTest, NothingChangesWhenTheResultWouldBeTheSameImage)
{
    const auto noise = testimg::Noise(9, 7, 2);
    TDessin* document = Shown(*noise);
    Press(document, Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier); // all selected
    Press(document, Qt::Key_U); // no border of one colour
    EXPECT_FALSE(document->Reshape(commands::CommandId::Rotation, {36000}));
    EXPECT_FALSE(document->Reshape(commands::CommandId::Toile, {9, 7, 0, 0}));
    EXPECT_FALSE(document->IsModified());
    const auto uniform = testimg::Uniform(9, 7, RGBColor(1, 2, 3));
    TDessin* plain = Shown(*uniform);
    Press(plain, Qt::Key_U); // everything would go
    EXPECT_FALSE(plain->IsModified());
}

TEST_F(ReshapeTest, TheViewKeepsItsLevelWhileTheImageFitsAndFitsItOtherwise)
{
    const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
    const auto noise = testimg::Noise(200, 100, 3);
    TDessin* document = Shown(*noise);
    ASSERT_TRUE(document->Vue()->SetZoom(kZoom100 + 1)); // 200 %
    Press(document, Qt::Key_H);
    EXPECT_EQ(document->Vue()->ZoomIndex(), kZoom100 + 1);
    EXPECT_EQ(document->GetBmp()->Width(), 100);

    // A canvas twice the screen's size does not fit at 200 %: the view fits it.
    const QSize large = room * 2;
    ASSERT_TRUE(document->Reshape(commands::CommandId::Toile, {large.width(), large.height(), 0, 0xFF0000}));
    EXPECT_LT(document->Vue()->ZoomIndex(), kZoom100);
    const QSize shown = document->Vue()->ContentSize();
    EXPECT_LE(shown.width(), room.width());
    EXPECT_LE(shown.height(), room.height());
    // The added area has the colour given.
    EXPECT_EQ(testimg::At(*document->GetBmp(), large.width() - 1, large.height() - 1), RGBColor(255, 0, 0));
    document->DropChanges();
}

TEST_F(ReshapeTest, TheDialogsAskTheValuesAndRefuseAResultOverTheLimits)
{
    const auto noise = testimg::Noise(300, 200, 4);
    TDessin* document = Shown(*noise);
    // Ctrl+R: 150 pixels wide, proportions kept, bilinear.
    testgui::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<Tfrm_redimensionner*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->Methode->currentText(), QStringLiteral("Lanczos (photos)"));
        dialog->Largeur->setValue(150);
        EXPECT_EQ(dialog->Hauteur->value(), 100);
        dialog->Methode->setCurrentIndex(2);
        dialog->Ok->click();
    });
    Press(document, Qt::Key_R);
    const QImage bilinear = effects::Resize(*noise, 150, 100, effects::ResampleFilter::Bilinear);
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *Bitmap(bilinear)));

    // In percent, without the proportions; then a size over the limits.
    Tfrm_redimensionner resize(frm_main, QSize(300, 200));
    resize.Unite->setCurrentIndex(1);
    EXPECT_EQ(resize.Largeur->value(), 100.0);
    resize.Proportions->setChecked(false);
    resize.Largeur->setValue(50);
    resize.Hauteur->setValue(12.5);
    EXPECT_EQ(resize.Values(), (commands::Values{150, 25, 0, 0}));
    EXPECT_TRUE(resize.Ok->isEnabled());
    EXPECT_TRUE(resize.Resultat->text().contains(QStringLiteral("150 x 25 pixels")));
    resize.Unite->setCurrentIndex(0);
    resize.Largeur->setValue(40000);
    EXPECT_FALSE(resize.Ok->isEnabled());
    EXPECT_TRUE(resize.Resultat->text().contains(QStringLiteral("au plus 32767 pixels de côté")));

    // The canvas takes the right-button colour; the rotation, hundredths.
    Tfrm_toile canvas(frm_main, QSize(300, 200), RGBColor(0x12, 0x34, 0x56));
    canvas.Ancre->button(8)->click();
    EXPECT_EQ(canvas.Values(), (commands::Values{300, 200, effects::anchorBottomRight, 0x123456}));
    Tfrm_rotation rotation(frm_main, QSize(300, 200));
    rotation.Angle->setValue(-12.34);
    EXPECT_EQ(rotation.Values()[0], -1234);
    rotation.Angle->setValue(90);
    EXPECT_TRUE(rotation.Resultat->text().contains(QStringLiteral("200 x 300 pixels")));

    // Annuler changes nothing.
    testgui::WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    Press(document, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(document->GetBmp()->Width(), 150);
    document->DropChanges();
}

} // namespace
