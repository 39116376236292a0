// What the keys and the mouse do with a selection: Suppr and Backspace fill it
// with the right-button colour, Ctrl+X copies it first, Ctrl+A selects
// everything; Ctrl+V floats a piece that is the selection and moves until it
// is set down whole where it stands, and a Ctrl+drag with the selection tool
// lifts the selected pixels.
#include "codecs/BitmapFiles.h"
#include "commands/CommandTable.h"
#include "document/TDessinVue.h"
#include "document/Tdessin.h"
#include "filters/Tfiltre.h"
#include "kernels/Tselection.h"
#include "model/ImageDocument.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

class SelectionKeysTest : public FormsTest {
protected:
    // A press at image pixel `from`, a move to `to` and a release there, at 100 %.
    static void Drag(TDessin* document, QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
            const QPointF at = QPointF(p) + QPointF(0.5, 0.5);
            QMouseEvent event(type, at, document->mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, mods);
            QApplication::sendEvent(document, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    // `image` with `piece` written at `at`, clipped, only inside `allowed`.
    static std::unique_ptr<TBitmap> WithPiece(const TBitmap& image, const TBitmap& piece, QPoint at, QRect allowed)
    {
        auto result = testimg::Copy(image);
        for (int y = 0; y < piece.Height(); ++y)
            for (int x = 0; x < piece.Width(); ++x)
                if (allowed.contains(at + QPoint(x, y)) &&
                    QRect(0, 0, image.Width(), image.Height()).contains(at + QPoint(x, y)))
                    std::memcpy(result->ScanLine(at.y() + y) + 3 * (at.x() + x), piece.ScanLine(y) + 3 * x, 3);
        return result;
    }
    TDessin* Shown(const TBitmap& image)
    {
        auto* document = new TDessin(frm_main, image.Width(), image.Height());
        document->GetBmp()->Assign(image);
        document->show();
        document->OnActivate();
        testgui::Settle();
        return document;
    }
};

struct Selected {
    std::string name;
    QRect drag; // the selection tool from the top-left to past the bottom-right; empty: everything
    QRect filled; // in the image
};

TEST_F(SelectionKeysTest, SupprFillsTheSelectionWithTheRightButtonColourAsOneStep)
{
    const auto noise = testimg::Noise(30, 20, 8);
    const TColor right = frm_main->Couleur2();
    const std::vector<Selected> cases = {
        {"rectangle", {4, 3, 10, 5}, {4, 3, 10, 5}},
        {"everything", {}, {0, 0, 30, 20}},
        // Pressed outside the image, released inside: the part inside.
        {"partly outside", {-5, -4, 12, 10}, {0, 0, 7, 6}},
    };
    for (const int key : {int(Qt::Key_Delete), int(Qt::Key_Backspace)})
        for (const Selected& c : cases) {
            SCOPED_TRACE(c.name + (key == Qt::Key_Delete ? " with Suppr" : " with Backspace"));
            TDessin* document = Shown(*noise);
            if (!c.drag.isEmpty())
                document->Model()->SelectRectangle(c.drag.left(), c.drag.top(), c.drag.right() + 1,
                                                   c.drag.bottom() + 1);
            QTest::keyClick(document, Qt::Key(key));
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 30; ++x)
                    ASSERT_EQ(testimg::At(*document->GetBmp(), x, y),
                              c.filled.contains(x, y) ? right : testimg::At(*noise, x, y))
                        << x << ", " << y;
            ASSERT_TRUE(document->Undo());
            EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *noise));
            EXPECT_FALSE(document->Undo());
            document->DropChanges();
            document->close();
        }
}

TEST_F(SelectionKeysTest, CtrlXCopiesThenFillsAndCtrlASelectsEverything)
{
    const auto noise = testimg::Noise(30, 20, 9);
    TDessin* document = Shown(*noise);
    document->Model()->SelectRectangle(2, 3, 9, 8);
    document->Vue()->UpdateOutline();
    QTest::keyClick(document, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_BGR888),
              noise->Image().copy(2, 3, 7, 5));
    EXPECT_EQ(testimg::At(*document->GetBmp(), 2, 3), frm_main->Couleur2());
    EXPECT_EQ(testimg::At(*document->GetBmp(), 9, 3), testimg::At(*noise, 9, 3));

    QTest::keyClick(document, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(document->Model()->Mask().Everything());
    EXPECT_TRUE(document->Vue()->SelectionOutline().isEmpty());
    document->DropChanges();
}

TEST_F(SelectionKeysTest, APastedPieceFloatsMovesAndIsSetDownOnlyOnce)
{
    const auto noise = testimg::Noise(40, 30, 10);
    const auto piece = testimg::Noise(6, 4, 11);
    const QRect whole(0, 0, 40, 30);
    const QRect landed(36, 27, 4, 3); // the piece's part over the image
    struct Ending {
        std::string name;
        std::function<void(TDessin*)> end;
        bool setDown;
    };
    const QString saved = testimg::TempDir() + QStringLiteral("/posee.bmp");
    const std::vector<Ending> endings = {
        {"Entrée", [](TDessin* d) { QTest::keyClick(d, Qt::Key_Return); }, true},
        {"a press outside",
         [](TDessin* d) {
             Drag(d, {2, 2}, {2, 2});
         },
         true},
        {"choosing a tool", [](TDessin*) { frm_main->OnClickRect(nullptr); }, true},
        // Gains of 128 change no pixel.
        {"a command", [](TDessin* d) { d->AdjustColor(128, 128, 128); }, true},
        {"a save", [&saved](TDessin* d) { d->Model()->SaveAs(saved, ImageFormat::Bmp, 90); }, true},
        {"closing, then going back",
         [](TDessin* d) {
             testgui::WhenModal([](QWidget* modal) {
                 for (QAbstractButton* button : static_cast<QMessageBox*>(modal)->buttons())
                     if (button->text() == QStringLiteral("Annuler"))
                         button->click();
             });
             d->close();
         },
         true},
        {"Échap", [](TDessin* d) { QTest::keyClick(d, Qt::Key_Escape); }, false},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        QGuiApplication::clipboard()->setImage(piece->Image());
        TDessin* document = Shown(*noise);
        QTest::keyClick(document, Qt::Key_V, Qt::ControlModifier);
        ImageDocument& model = *document->Model();
        ASSERT_TRUE(model.Floating());
        EXPECT_EQ(model.FloatingAt(), QPoint(0, 0)); // everything editable: the corner in view
        QTest::keyClick(document, Qt::Key_Right);
        QTest::keyClick(document, Qt::Key_Down, Qt::ShiftModifier);
        EXPECT_EQ(model.FloatingAt(), QPoint(1, 10));
        // Dragged by the pixel it was taken at, past the bottom-right corner.
        Drag(document, {2, 11}, {37, 28});
        EXPECT_EQ(model.FloatingAt(), QPoint(36, 27));
        // One outline: the piece's, which is the selection.
        EXPECT_EQ(document->Vue()->SelectionOutline(), landed);
        EXPECT_EQ(model.SelectionBounds(), landed);
        const QImage view = document->Vue()->RenderView();
        EXPECT_EQ(view.pixel(37, 28) & 0xFFFFFF, testimg::At(*piece, 1, 1) >> 16 |
                                                     (testimg::At(*piece, 1, 1) & 0xFF00) |
                                                     (testimg::At(*piece, 1, 1) & 0xFF) << 16);
        // Not in the image while it floats.
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *noise));

        ending.end(document);
        EXPECT_FALSE(model.Floating());
        const auto expected = ending.setDown ? WithPiece(*noise, *piece, {36, 27}, whole) : testimg::Copy(*noise);
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));
        EXPECT_EQ(document->Vue()->SelectionOutline(), ending.setDown ? landed : QRect());
        if (ending.name == "a save") {
            TBitmap file;
            LoadFromFile(file, saved);
            EXPECT_TRUE(testimg::SameBytes(file, *expected));
        }
        // One undo step, or none; it gives the selection back.
        EXPECT_EQ(document->Undo(), ending.setDown);
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *noise));
        EXPECT_TRUE(document->Vue()->SelectionOutline().isEmpty());
        EXPECT_FALSE(document->Undo());
        document->DropChanges();
        document->close();
    }
}

TEST_F(SelectionKeysTest, APasteGoesToTheSelectionsCornerAndLandsWholeOutsideIt)
{
    const auto noise = testimg::Noise(40, 30, 12);
    const auto piece = testimg::Noise(6, 4, 13);
    QGuiApplication::clipboard()->setImage(piece->Image());
    TDessin* document = Shown(*noise);
    document->Model()->SelectRectangle(5, 5, 15, 12);
    QTest::keyClick(document, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(document->Model()->FloatingAt(), QPoint(5, 5));
    QTest::keyClick(document, Qt::Key_Left);
    // Ctrl+C copies the piece, not what lies under it.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(document, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_BGR888), piece->Image());
    QTest::keyClick(document, Qt::Key_Return);
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *WithPiece(*noise, *piece, {4, 5}, {0, 0, 40, 30})));
    EXPECT_EQ(document->Vue()->SelectionOutline(), QRect(4, 5, 6, 4));
    ASSERT_TRUE(document->Undo());
    EXPECT_EQ(document->Vue()->SelectionOutline(), QRect(5, 5, 10, 7));
    document->DropChanges();
}

TEST_F(SelectionKeysTest, APieceLargerThanTheImageIsClippedAndOneOverTheLimitsIsRefused)
{
    const auto noise = testimg::Noise(20, 10, 15);
    const auto large = testimg::Noise(50, 30, 16);
    QGuiApplication::clipboard()->setImage(large->Image());
    TDessin* document = Shown(*noise);
    QTest::keyClick(document, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(document, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(document->Model()->FloatingRect(), QRect(-10, 0, 50, 30));
    QTest::keyClick(document, Qt::Key_Return);
    EXPECT_TRUE(testimg::SameBytes(
        *document->GetBmp(), *testimg::Make(20, 10, [&](int x, int y) { return testimg::At(*large, x + 10, y); })));

    QGuiApplication::clipboard()->setImage(QImage(40000, 2, QImage::Format_RGB32));
    const auto before = testimg::Copy(*document->GetBmp());
    QTest::keyClick(document, Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(document->Model()->Floating());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.startsWith(QStringLiteral("L'image du presse-papiers est trop grande")));
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *before));
    document->DropChanges();
}

TEST_F(SelectionKeysTest, ACtrlDragOfTheSelectionToolCarriesTheSelectedPixels)
{
    const auto noise = testimg::Noise(40, 30, 14);
    frm_main->OnClickSelect(nullptr);
    TDessin* document = Shown(*noise);
    document->Model()->SelectRectangle(5, 5, 15, 12);
    Drag(document, {7, 7}, {17, 9}, Qt::ControlModifier);
    ImageDocument& model = *document->Model();
    ASSERT_TRUE(model.Floating());
    EXPECT_EQ(model.FloatingRect(), QRect(15, 7, 10, 7));
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *noise));
    QTest::keyClick(document, Qt::Key_Return);

    // The hole takes the right-button colour, the piece lands whole, and the
    // selection goes with it.
    auto hole = testimg::Copy(*noise);
    for (int y = 5; y < 12; ++y)
        for (int x = 5; x < 15; ++x)
            hole->Canvas()->SetPixels(x, y, frm_main->Couleur2());
    TBitmap lifted;
    lifted.SetImage(noise->Image().copy(5, 5, 10, 7), pf24bit);
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *WithPiece(*hole, lifted, {15, 7}, QRect(0, 0, 40, 30))));
    EXPECT_EQ(model.SelectionBounds(), QRect(15, 7, 10, 7));
    ASSERT_TRUE(document->Undo());
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *noise));
    EXPECT_EQ(model.SelectionBounds(), QRect(5, 5, 10, 7));
    EXPECT_FALSE(document->Undo());
    document->DropChanges();
}

} // namespace
