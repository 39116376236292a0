// Other formats in the editor's dialogs, the clipboard by keys, and the file
// commands' keys.
#include "app/Form_main.h"
#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "dialogs/Form_fichier.h"
#include "dialogs/Form_nouveau.h"
#include "document/Tdessin.h"
#include "kernels/Tselection.h"
#include "model/ImageDocument.h"
#include "support/FormsFixture.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QClipboard>
#include <QColorSpace>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

namespace {

class ExchangeTest : public FormsInFolderTest {
protected:
    void SetUp() override
    {
        FormsInFolderTest::SetUp();
        frm_main->btn_fichier->click();
    }
    // Runs "Enregistrer sous" with a name typed and a type chosen.
    void SaveAs(const QString& name, const QString& filter)
    {
        testgui::WhenModal([name, filter](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->selectNameFilter(filter);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            testgui::WhenModal(
                [](QWidget* confirm) {
                    if (auto* box = qobject_cast<QMessageBox*>(confirm))
                        box->button(QMessageBox::Yes)->click();
                },
                1000);
            static_cast<QDialog*>(dialog)->accept();
        });
        QTest::mouseClick(frm_fe->btn_saveas, Qt::LeftButton);
    }
    TDessin* Open(const QString& path)
    {
        frm_main->OpenFiles({path});
        return frm_main->ActiveDessin();
    }
};

QImage asImage(const TBitmap& bitmap) { return bitmap.Image().copy(); }

} // namespace

TEST_F(ExchangeTest, TheDialogsListEveryFormatWithTheDesignedEntryWhereItWas)
{
    // The patterns are kept from view: the dialogs show the names.
    EXPECT_EQ(frm_main->OpenPictureDialog1->nameFilters(), Tfrm_main::OpenFilters());
    EXPECT_EQ(Tfrm_main::OpenFilters().mid(0, 2),
              (QStringList{"Images (*.bmp *.png *.jpg *.jpeg *.gif *.webp *.tif *.tiff)", "Image Bitmap (*.bmp)"}));
    EXPECT_EQ(frm_main->OpenPictureDialog1->selectedNameFilter().section(" (", 0, 0), QStringLiteral("Images"));
    EXPECT_EQ(frm_main->SavePictureDialog1->nameFilters(), Tfrm_main::SaveFilters());
    EXPECT_EQ(Tfrm_main::SaveFilters(),
              (QStringList{"Image Bitmap (*.bmp)", "Image PNG (*.png)", "Image JPEG (*.jpg *.jpeg)",
                           "Image WebP (*.webp)", "Image TIFF (*.tif *.tiff)"}));
    EXPECT_EQ(frm_main->SavePictureDialog1->selectedNameFilter().section(" (", 0, 0), QStringLiteral("Image Bitmap"));
}

TEST_F(ExchangeTest, SaveAsNamesTheFileAfterTheChosenTypeAndWritesThatFormat)
{
    const QString bitmap = QStringLiteral("Image Bitmap (*.bmp)");
    const QString png = QStringLiteral("Image PNG (*.png)");
    const QString jpeg = QStringLiteral("Image JPEG (*.jpg *.jpeg)");
    const QString webp = QStringLiteral("Image WebP (*.webp)");
    const QString tiff = QStringLiteral("Image TIFF (*.tif *.tiff)");
    struct Case {
        const char* typed;
        QString filter;
        const char* written;
        ImageFormat format;
    };
    const Case cases[] = {
        {"photo", bitmap, "photo.bmp", ImageFormat::Bmp},
        {"photo.BMP", bitmap, "photo.BMP.bmp", ImageFormat::Bmp},
        {"photo.bmp.old", bitmap, "photo.bmp.old", ImageFormat::Bmp},
        // A typed ending the program writes wins over the selected entry.
        {"photo.png", bitmap, "photo.png", ImageFormat::Png},
        {"copie.JPEG", bitmap, "copie.JPEG", ImageFormat::Jpeg},
        {"photo", png, "photo.png", ImageFormat::Png},
        {"photo.PNG", png, "photo.PNG", ImageFormat::Png},
        {"photo.bmp", png, "photo.bmp", ImageFormat::Bmp},
        {"photo.Tif", png, "photo.Tif", ImageFormat::Tiff},
        {"anim.gif", png, "anim.gif.png", ImageFormat::Png},
        {"vacances", jpeg, "vacances.jpg", ImageFormat::Jpeg},
        {"vacances.jpeg", jpeg, "vacances.jpeg", ImageFormat::Jpeg},
        {"vacances.JPG", jpeg, "vacances.JPG", ImageFormat::Jpeg},
        {"web", webp, "web.webp", ImageFormat::Webp},
        {"scan", tiff, "scan.tif", ImageFormat::Tiff},
        {"scan.tiff", tiff, "scan.tiff", ImageFormat::Tiff},
    };
    const QString source = dir + "/source.bmp";
    SaveToFile(*testimg::Noise(6, 4, 9), source);
    TDessin* document = Open(source);
    ASSERT_NE(document, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        SaveAs(dir + "/" + c.typed, c.filter);
        const QString written = dir + "/" + c.written;
        ASSERT_TRUE(QFile::exists(written));
        TBitmap back;
        LoadFromFile(back, written);
        EXPECT_EQ(back.FileFormat(), c.format);
        // The copy becomes the document.
        EXPECT_EQ(document->windowTitle(), written);
        QFile::remove(written);
    }
    EXPECT_TRUE(messages.messages.empty());
    // The next dialog proposes the document's name as it is, never with a
    // second ending.
    QString proposed;
    testgui::WhenModal([&](QWidget* modal) {
        proposed = static_cast<QFileDialog*>(modal)->selectedFiles().value(0);
        static_cast<QDialog*>(modal)->reject();
    });
    frm_main->Enregistrersous1Click(nullptr);
    EXPECT_EQ(proposed, dir + "/scan.tiff");
}

TEST_F(ExchangeTest, EnregistrerWritesTheFormatTheNameEndsWith)
{
    for (const char* name : {"image.png", "image.tif", "image.jpg", "image.webp"}) {
        SCOPED_TRACE(name);
        const auto original = testimg::Noise(8, 5, 2);
        const QString path = dir + "/" + name;
        SaveToFile(*original, path, FormatForName(path), kDefaultQuality);
        TDessin* document = Open(path);
        ASSERT_NE(document, nullptr);
        document->NB();
        frm_fe->btn_save->click();
        TBitmap back;
        LoadFromFile(back, path);
        EXPECT_EQ(back.FileFormat(), FormatForName(path));
        EXPECT_FALSE(document->IsModified());
        if (FormatForName(path) == ImageFormat::Png || FormatForName(path) == ImageFormat::Tiff) {
            EXPECT_TRUE(testimg::SameBytes(back, *document->GetBmp()));
        }
    }
}

TEST_F(ExchangeTest, CopyAndPasteGoThroughTheClipboardWithinTheSelection)
{
    TDessin* source = Open(testimg::WriteFile(picturefile::Encode(QImage(), "png"), "vide.png"));
    EXPECT_EQ(source, nullptr); // an empty file opens nothing
    messages.messages.clear();
    const QString path = dir + "/a.bmp";
    SaveToFile(*testimg::Noise(20, 10, 1), path);
    source = Open(path);
    ASSERT_NE(source, nullptr);
    // The whole image is editable: Ctrl+C copies all of it.
    QTest::keyClick(source, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_BGR888), asImage(*source->GetBmp()));

    // Pasted into a 12 x 6 white image: clipped at its edges, one undo step.
    SaveToFile(*testimg::Uniform(12, 6, clWhite), dir + "/b.bmp");
    TDessin* target = Open(dir + "/b.bmp");
    // The piece floats at the corner in view until Entrée sets it down.
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_TRUE(testimg::SameBytes(
        *target->GetBmp(), *testimg::Make(12, 6, [&](int x, int y) { return testimg::At(*source->GetBmp(), x, y); })));
    EXPECT_TRUE(target->IsModified());
    QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(testimg::SameBytes(*target->GetBmp(), *testimg::Uniform(12, 6, clWhite)));

    // A selection of [3, 8) x [2, 5) in the source: Ctrl+C copies that
    // rectangle, Ctrl+V in the target pastes it at the corner of the
    // target's selection, where it lands whole, clipped to the image.
    TSelection* mask = source->GetSelection();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            mask->GetRows()[y][x] = x >= 3 && x < 8 && y >= 2 && y < 5;
    QTest::keyClick(source, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(5, 3));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x)
            target->GetSelection()->GetRows()[y][x] = x >= 10 && y >= 4 && !(x == 11 && y == 5);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Return);
    const auto expected = testimg::Make(12, 6, [&](int x, int y) {
        const bool inside = x >= 10 && y >= 4;
        return inside ? testimg::At(*source->GetBmp(), x - 10 + 3, y - 4 + 2) : clWhite;
    });
    EXPECT_TRUE(testimg::SameBytes(*target->GetBmp(), *expected));
    EXPECT_EQ(target->Model()->SelectionBounds(), QRect(10, 4, 2, 2));

    // Ctrl+Shift+V: a new image, changed and never saved, that undo empties.
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    TDessin* pasted = frm_main->ActiveDessin();
    ASSERT_NE(pasted, target);
    EXPECT_EQ(pasted->windowTitle(), QStringLiteral("Dessin"));
    EXPECT_TRUE(pasted->FileName().isEmpty());
    EXPECT_TRUE(pasted->IsModified());
    EXPECT_EQ(asImage(*pasted->GetBmp()), QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_BGR888));

    // A picture from another program keeps its values, whatever colour space
    // it names (a gamma of 2.2 would turn #123456 into #0a3155).
    QImage tagged(4, 4, QImage::Format_RGB32);
    tagged.fill(qRgb(0x12, 0x34, 0x56));
    tagged.setColorSpace(QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, 2.2f));
    QGuiApplication::clipboard()->setImage(tagged);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x)
            target->GetSelection()->GetRows()[y][x] = 1;
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_EQ(testimg::At(*target->GetBmp(), 1, 1), RGBColor(0x12, 0x34, 0x56));

    // A clipboard without an image does nothing.
    QGuiApplication::clipboard()->setText(QStringLiteral("du texte"));
    const auto before = testimg::Copy(*target->GetBmp());
    TDessin* active = frm_main->ActiveDessin();
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(testimg::SameBytes(*target->GetBmp(), *before));
    EXPECT_EQ(frm_main->ActiveDessin(), active);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ExchangeTest, FileKeysRunTheFileCommandsFromEveryWindow)
{
    // Ctrl+N from the palette: the "Nouveau" dialog.
    bool asked = false;
    testgui::WhenModal([&](QWidget* modal) {
        asked = qobject_cast<TFrm_nouveau*>(modal) != nullptr;
        static_cast<QDialog*>(modal)->reject();
    });
    frm_main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm_main));
    QTest::keyClick(frm_main, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(asked);

    // Ctrl+S from an image window saves it; Ctrl+Shift+S and Ctrl+O open
    // their dialogs.
    const QString path = dir + "/c.png";
    SaveToFile(*testimg::Noise(5, 5, 3), path, ImageFormat::Png, kDefaultQuality);
    TDessin* document = Open(path);
    document->InverseColor();
    document->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(document));
    QTest::keyClick(document, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(document->IsModified());
    TBitmap back;
    LoadFromFile(back, path);
    EXPECT_TRUE(testimg::SameBytes(back, *document->GetBmp()));
    for (const auto& [modifiers, dialog] :
         {std::pair{Qt::ControlModifier | Qt::ShiftModifier, frm_main->SavePictureDialog1},
          std::pair{Qt::KeyboardModifiers(Qt::ControlModifier), frm_main->OpenPictureDialog1}}) {
        QWidget* shown = nullptr;
        document->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(document));
        testgui::WhenModal([&](QWidget* modal) {
            shown = modal;
            static_cast<QDialog*>(modal)->reject();
        });
        QTest::keyClick(document, modifiers == (Qt::ControlModifier | Qt::ShiftModifier) ? Qt::Key_S : Qt::Key_O,
                        modifiers);
        EXPECT_EQ(shown, dialog);
    }
}

// Two programs on one X display: velmora copies to xclip, and pastes what xclip
// holds, through the real clipboard.
TEST(RealClipboard, ImagesGoToAndComeFromAnotherProgram)
{
    for (const char* tool : {"xvfb-run", "xclip", "xdotool"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    const QString dir = testimg::TempDir();
    const auto photo = testimg::Noise(40, 30, 17);
    SaveToFile(*photo, dir + "/photo.bmp");
    QImage incoming(25, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 25; ++x)
            incoming.setPixel(x, y, qRgb(10 * x, 12 * y, 200));
    incoming.save(dir + "/incoming.png");

    // Ctrl+C in the image window, read by xclip; then xclip offers a PNG,
    // Ctrl+V pastes it and Ctrl+S saves the image.
    const QString script = QStringLiteral(R"sh(
cd "$2" || exit 9
"$1" photo.bmp & pid=$!
w=$(xdotool search --sync --name 'photo.bmp$' | head -n 1)
sleep 1
xdotool windowfocus --sync "$w"; sleep 0.5
xdotool key --clearmodifiers ctrl+c
for i in $(seq 50); do
  xclip -selection clipboard -t image/png -o > copied.png 2>/dev/null && [ -s copied.png ] && break
  sleep 0.2
done
xclip -selection clipboard -t image/png -i incoming.png; sleep 0.5
before=$(cksum < photo.bmp)
xdotool windowfocus --sync "$w"; sleep 0.5
xdotool key --clearmodifiers ctrl+v ctrl+s
for i in $(seq 50); do [ "$(cksum < photo.bmp)" != "$before" ] && break; sleep 0.2; done
kill $pid; wait $pid
echo done
)sh");
    QProcess run;
    testgui::PrepareRealEditor(run);
    run.start(QStringLiteral("xvfb-run"), {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", script, "sh",
                                           QCoreApplication::applicationDirPath() + "/velmora", dir});
    ASSERT_TRUE(run.waitForFinished(90000));
    const QString output = QString::fromLocal8Bit(run.readAll());
    ASSERT_TRUE(output.contains("done")) << output.toStdString();

    const QImage copied(dir + "/copied.png");
    ASSERT_FALSE(copied.isNull()) << output.toStdString();
    EXPECT_EQ(copied.convertToFormat(QImage::Format_BGR888), photo->Image());
    TBitmap saved;
    LoadFromFile(saved, dir + "/photo.bmp");
    const auto expected = testimg::Make(40, 30, [&](int x, int y) {
        if (x < 25 && y < 20) {
            const QRgb c = incoming.pixel(x, y);
            return RGBColor(qRed(c), qGreen(c), qBlue(c));
        }
        return testimg::At(*photo, x, y);
    });
    EXPECT_TRUE(testimg::SameBytes(saved, *expected)) << output.toStdString();
}

TEST_F(ExchangeTest, CtrlWAndCtrlQCloseAsTheCloseBoxesDoWithTheirQuestions)
{
    const QString path = dir + "/w.png";
    SaveToFile(*testimg::Noise(5, 5, 4), path, ImageFormat::Png, kDefaultQuality);
    TDessin* document = Open(path);
    document->InverseColor();
    document->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(document));
    // Each question is answered by going back: nothing closes.
    QStringList asked;
    const auto answer = [&asked](const QString& button) {
        testgui::WhenModal([&asked, button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            asked << box->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == button)
                    b->click();
        });
    };
    answer(QStringLiteral("Annuler"));
    QTest::keyClick(document, Qt::Key_W, Qt::ControlModifier);
    answer(QStringLiteral("Revenir"));
    document->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(document));
    QTest::keyClick(document, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].startsWith(QStringLiteral("Enregistrer les modifications de « w.png » ?")));
    EXPECT_TRUE(asked[1].startsWith(QStringLiteral("1 image n'est pas enregistrée.")));
    EXPECT_TRUE(document->isVisible());
    EXPECT_TRUE(frm_main->isVisible());

    // Unchanged, Ctrl+W closes at once.
    document->DropChanges();
    QPointer<TDessin> closing(document);
    QTest::keyClick(document, Qt::Key_W, Qt::ControlModifier);
    testgui::Settle();
    EXPECT_TRUE(closing.isNull());
}
