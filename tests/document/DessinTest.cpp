#include "app/Form_main.h"
#include "document/Tdessin.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "kernels/Tselection.h"
#include "model/ImageDocument.h"
#include "raster/Exception.h"
#include "raster/Screen.h"
#include "support/FormsFixture.h"
#include "support/Images.h"
#include "tools/Toutil.h"

#include <QFile>
#include <QPointer>
#include <QTest>
#include <QToolButton>

namespace {

// Records what the document asks of its tool.
class RecordingTool : public TOutil {
public:
    struct Call {
        char kind; // 'C' for Clic, 'T' for Trace
        int x, y, anchorX, anchorY, button;
        bool canvas;
        bool operator==(const Call&) const = default;
    };
    RecordingTool() : TOutil(nullptr, nullptr) { }
    void Clic(int x, int y, TMouseButton button, TCanvas* canvas) override
    {
        calls.push_back({'C', x, y, -1, -1, button, canvas != nullptr});
    }
    void Trace(int* ax, int* ay, int x, int y, TMouseButton button, TCanvas* canvas) override
    {
        calls.push_back({'T', x, y, *ax, *ay, button, canvas != nullptr});
    }
    std::vector<Call> calls;
};

class DessinTest : public FormsTest {
protected:
    RecordingTool* UseRecordingTool()
    {
        auto tool = std::make_unique<RecordingTool>();
        RecordingTool* raw = tool.get();
        frm_main->ReplaceTool(std::move(tool));
        return raw;
    }
};

} // namespace

TEST_F(DessinTest, ANewBlankDocumentIsWhiteEditableAndActiveBeforeItIsShown)
{
    auto* document = new TDessin(frm_main, 640, 480);
    EXPECT_EQ(frm_main->ActiveDessin(), document);
    EXPECT_FALSE(document->isVisible());
    EXPECT_EQ(document->size(), QSize(640, 480));
    EXPECT_EQ(document->windowTitle(), QStringLiteral("Dessin"));
    EXPECT_EQ(document->pos(), QPoint(352, 319));
    EXPECT_EQ(document->GetBmp()->PixelFormat(), pf24bit);
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *testimg::Uniform(640, 480, 0xFFFFFF)));
    std::uint8_t** rows = document->GetSelection()->GetRows();
    int editable = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            editable += rows[y][x];
    EXPECT_EQ(editable, 640 * 480);
    EXPECT_EQ(document->LastX(), -1);
}

TEST_F(DessinTest, ActivationHandsTheToolTheImageMaskAndWellColours)
{
    frm_main->Stxt_coul_1->SetColor(0x0000FF);
    frm_main->Stxt_coul_2->SetColor(0x00FF00);
    auto* document = new TDessin(frm_main, 30, 20);
    frm_main->btn_outil_pinceau->click();
    EXPECT_EQ(frm_main->GetOutil()->GetBmp(), nullptr);
    auto* other = new TDessin(frm_main, 5, 5);
    EXPECT_EQ(frm_main->ActiveDessin(), other);
    EXPECT_EQ(frm_main->GetOutil()->GetBmp(), other->GetBmp());
    document->OnActivate();
    EXPECT_EQ(frm_main->ActiveDessin(), document);
    EXPECT_EQ(frm_main->GetOutil()->GetBmp(), document->GetBmp());
}

TEST_F(DessinTest, ActivationWithoutAToolStillMakesTheActiveDocument)
{
    auto* first = new TDessin(frm_main, 8, 8);
    auto* second = new TDessin(frm_main, 8, 8);
    EXPECT_EQ(frm_main->ActiveDessin(), second);
    first->OnActivate();
    EXPECT_EQ(frm_main->ActiveDessin(), first);
}

TEST_F(DessinTest, MovesReachTheToolWhenEitherCoordinateDiffers)
{
    auto* document = new TDessin(frm_main, 100, 100);
    RecordingTool* tool = UseRecordingTool();
    document->OnMouseDown(document, mbLeft, ssLeft, 10, 10);
    document->OnMouseMove(document, ssLeft, 10, 10); // the recorded point itself
    document->OnMouseMove(document, ssLeft, 20, 10);
    document->OnMouseMove(document, ssLeft, 10, 20);
    document->OnMouseMove(document, ssLeft, 20, 20);
    document->OnMouseMove(document, 0, 30, 30); // no button held
    document->OnMouseMove(document, ssMiddle, 31, 31); // middle only
    document->OnMouseMove(document, ssLeft | ssRight, 25, 25);
    document->OnMouseMove(document, ssRight, 26, 27);
    using Call = RecordingTool::Call;
    const std::vector<Call> expected = {
        {'C', 10, 10, -1, -1, mbLeft, true},  {'T', 20, 10, 10, 10, mbLeft, true}, {'T', 10, 20, 10, 10, mbLeft, true},
        {'T', 20, 20, 10, 10, mbLeft, true},  {'T', 25, 25, 10, 10, mbLeft, true}, {'T', 25, 25, 10, 10, mbRight, true},
        {'T', 26, 27, 10, 10, mbRight, true},
    };
    EXPECT_EQ(tool->calls, expected);
}

TEST_F(DessinTest, ReleasesPassTheReleasedButtonAndNoCanvas)
{
    auto* document = new TDessin(frm_main, 100, 100);
    RecordingTool* tool = UseRecordingTool();
    using Call = RecordingTool::Call;

    // Press and release at one point: Clic only, then a repaint.
    document->GetBmp()->Canvas()->SetPixels(50, 50, 0x123456);
    document->OnMouseDown(document, mbLeft, ssLeft, 50, 50);
    document->OnMouseUp(document, mbLeft, 0, 50, 50);
    EXPECT_EQ(tool->calls, (std::vector<Call>{{'C', 50, 50, -1, -1, mbLeft, true}}));
    EXPECT_EQ(document->WindowCanvas()->Pixels(50, 50), 0x123456u);

    tool->calls.clear();
    document->OnMouseDown(document, mbMiddle, ssMiddle, 5, 5);
    document->OnMouseUp(document, mbMiddle, 0, 9, 9);
    document->OnMouseDown(document, mbRight, ssRight, 5, 5);
    document->OnMouseUp(document, mbRight, 0, 5, 9); // shares x with the press
    EXPECT_EQ(tool->calls, (std::vector<Call>{{'C', 5, 5, -1, -1, mbMiddle, true},
                                              {'T', 9, 9, 5, 5, mbMiddle, false},
                                              {'C', 5, 5, -1, -1, mbRight, true},
                                              {'T', 5, 9, 5, 5, mbRight, false}}));
}

TEST_F(DessinTest, WithoutAToolPressesOnlyRecordThePoint)
{
    auto* document = new TDessin(frm_main, 10, 10);
    document->OnMouseDown(document, mbLeft, ssLeft, 3, 4);
    document->OnMouseMove(document, ssLeft, 6, 7);
    document->OnMouseUp(document, mbLeft, 0, 6, 7);
    EXPECT_EQ(document->LastX(), 3);
    EXPECT_EQ(document->LastY(), 4);
}

TEST_F(DessinTest, RealMouseEventsAreRoutedInImageCoordinates)
{
    auto* document = new TDessin(frm_main, 60, 40);
    document->show();
    RecordingTool* tool = UseRecordingTool();
    QTest::mousePress(document, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 15), document->mapToGlobal(QPointF(20, 15)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(document, &move);
    QTest::mouseRelease(document, Qt::LeftButton, Qt::NoModifier, QPoint(30, 25));
    using Call = RecordingTool::Call;
    EXPECT_EQ(tool->calls, (std::vector<Call>{{'C', 10, 10, -1, -1, mbLeft, true},
                                              {'T', 20, 15, 10, 10, mbLeft, true},
                                              {'T', 30, 25, 10, 10, mbLeft, false}}));
}

// A closed window and its image are freed; another open image becomes the
// active document, or none, and the tool lets go of the image.
TEST_F(DessinTest, ClosingFreesTheWindowAndItsModel)
{
    auto* first = new TDessin(frm_main, 60, 40);
    auto* second = new TDessin(frm_main, 30, 20);
    first->show();
    second->show();
    frm_main->btn_outil_pinceau->click();
    second->OnActivate();
    QPointer<TDessin> window(second);
    QPointer<ImageDocument> model(second->Model());
    second->close();
    testgui::Settle();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(model.isNull());
    EXPECT_EQ(frm_main->ActiveDessin(), first);
    EXPECT_EQ(frm_main->GetOutil()->GetBmp(), first->GetBmp());

    first->close();
    testgui::Settle();
    EXPECT_EQ(frm_main->ActiveDessin(), nullptr);
    EXPECT_EQ(frm_main->GetOutil()->GetBmp(), nullptr);
    // Commands without a document do nothing, as at start-up.
    frm_main->Negatif1Click(nullptr);
    frm_main->Enregistrer1Click(nullptr);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(DessinTest, OpeningANon24BitImageWarnsThenOpensCentred)
{
    // An 8-bit image written by Qt's own encoder.
    QImage indexed(9, 5, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    indexed.fill(1);
    const QString path = testimg::TempDir() + "/eight.bmp";
    ASSERT_TRUE(indexed.save(path, "BMP"));

    auto* document = new TDessin(frm_main, path);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("L'image n'est au format 24 bits."));
    EXPECT_EQ(messages.messages[0].caption, QStringLiteral("Erreur de format"));
    EXPECT_EQ(document->windowTitle(), path);
    EXPECT_TRUE(document->isVisible());
    EXPECT_EQ(frm_main->ActiveDessin(), document);
    EXPECT_EQ(document->size(), QSize(9, 5));
    testgui::Settle();
    const QRect outer = document->frameGeometry(); // centred by its size with the frame
    EXPECT_EQ(outer.topLeft(),
              QPoint(Screen->Width() / 2 - outer.width() / 2, Screen->Height() / 2 - outer.height() / 2));
    EXPECT_EQ(document->GetBmp()->Canvas()->Pixels(4, 2), RGBColor(0, 0, 255));
    EXPECT_EQ(document->GetSelection()->Width(), 9);
}

TEST_F(DessinTest, AnUnreadableFileLeavesNoWindow)
{
    const QString path = testimg::TempDir() + "/broken.bmp";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM not really an image");
    file.close();
    const int windowsBefore = QApplication::topLevelWidgets().size();
    EXPECT_THROW(new TDessin(frm_main, path), ERasterError);
    testgui::Settle();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_EQ(frm_main->ActiveDessin(), nullptr);
}

TEST_F(DessinTest, MergeThroughTheDocumentRepaintsTheWindow)
{
    auto* document = new TDessin(frm_main, 12, 6);
    auto processed = testimg::Noise(12, 6, 3);
    document->GetSelection()->GetRows()[2][3] = 0;
    document->fusionMasque(processed.get());
    EXPECT_EQ(testimg::At(*document->GetBmp(), 3, 2), 0xFFFFFFu);
    EXPECT_EQ(testimg::At(*document->GetBmp(), 4, 2), testimg::At(*processed, 4, 2));
    EXPECT_EQ(document->WindowCanvas()->Pixels(4, 2), testimg::At(*processed, 4, 2));
}

// The effect methods of a document: each changes the whole image, whatever the
// selection, as one undo step, and shows it with the arrow back.
TEST_F(DessinTest, EachEffectMethodChangesTheWholeImageAsOneUndoStep)
{
    using Edit = std::function<void(TBitmap&)>;
    struct Effect {
        const char* name;
        std::function<void(TDessin*)> method;
        Edit expected;
    };
    const Effect cases[] = {
        {"Mirror", &TDessin::Mirror, effects::Mirror},
        {"Flip", &TDessin::Flip, effects::Flip},
        {"NB", &TDessin::NB, effects::NB},
        {"InverseColor", &TDessin::InverseColor, effects::InverseColor},
        {"VagueX", &TDessin::VagueX, effects::VagueX},
        {"VagueY", &TDessin::VagueY, effects::VagueY},
        {"Cercle1", &TDessin::Cercle1, effects::Cercle1},
        {"Cercle2", &TDessin::Cercle2, effects::Cercle2},
        {"AdjustColor", [](TDessin* d) { d->AdjustColor(3, 200, 129); },
         [](TBitmap& b) { effects::AdjustColor(b, 3, 200, 129); }},
        {"AdjustContrast", [](TDessin* d) { d->AdjustContrast(77); },
         [](TBitmap& b) { effects::AdjustContrast(b, 77); }},
        {"AdjustLuminosite", [](TDessin* d) { d->AdjustLuminosite(-37); },
         [](TBitmap& b) { effects::AdjustLuminosite(b, -37); }},
        {"AdjustContrastDialog", [](TDessin* d) { d->AdjustContrastDialog(200, 60); },
         [](TBitmap& b) {
             effects::AdjustContrast(b, 200);
             effects::AdjustLuminosite(b, -68);
         }},
        // Both waves, each with its own hourglass and repaint, make one step.
        {"DoubleVague", &TDessin::DoubleVague,
         [](TBitmap& b) {
             effects::VagueX(b);
             effects::VagueY(b);
         }},
    };
    for (const Effect& effect : cases) {
        SCOPED_TRACE(effect.name);
        auto* document = new TDessin(frm_main, 31, 23);
        document->GetBmp()->Assign(*testimg::Noise(31, 23, 4));
        // Only one pixel is editable: effects change the others all the same.
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 31; ++x)
                document->GetSelection()->GetRows()[y][x] = x == 3 && y == 3;
        const auto original = testimg::Copy(*document->GetBmp());
        auto expected = testimg::Copy(*original);
        effect.expected(*expected);
        effect.method(document);
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *expected));
        EXPECT_EQ(document->WindowCanvas()->Pixels(20, 9), testimg::At(*expected, 20, 9));
        EXPECT_EQ(Screen->Cursor(), crArrow);
        EXPECT_TRUE(document->Undo());
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *original));
        EXPECT_FALSE(document->Undo());
    }
}
