#include "app/Form_main.h"
#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "dialogs/Form_fichier.h"
#include "dialogs/Form_nouveau.h"
#include "dialogs/HelpWindow.h"
#include "document/Tdessin.h"
#include "filters/Tfiltre.h"
#include "support/FileLimits.h"
#include "support/FormsFixture.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

namespace {

// Types a name into a file dialog, as the user would, and accepts it.
void typeAndAccept(QWidget* modal, const QString& name)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    // The dialog reads its folder on a thread of its own and then selects the
    // file it proposes, which writes the name field: the name is typed after
    // that, however slowly the folder comes.
    if (auto* files = dialog->findChild<QFileSystemModel*>()) {
        QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
        if (files->rowCount(files->index(dialog->directory().absolutePath())) == 0)
            loaded.wait(10000);
        QCoreApplication::processEvents();
    }
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
    // The save dialog asks before replacing a file: answer yes.
    testgui::WhenModal(
        [](QWidget* confirm) {
            if (auto* box = qobject_cast<QMessageBox*>(confirm))
                box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
        },
        1000);
    static_cast<QDialog*>(dialog)->accept();
}

class FileCommandsTest : public FormsInFolderTest {
protected:
    void SetUp() override
    {
        FormsInFolderTest::SetUp();
        frm_main->btn_fichier->click(); // the file palette, as the user opens it
    }
    // Runs "save as" with a name typed into the dialog.
    void SaveAs(const QString& name)
    {
        testgui::WhenModal([name](QWidget* modal) { typeAndAccept(modal, name); });
        QTest::mouseClick(frm_fe->btn_saveas, Qt::LeftButton);
    }
    // Runs "new" with the given texts in the size fields.
    void New(const QString& width, const QString& height)
    {
        testgui::WhenModal([width, height](QWidget* modal) {
            auto* dialog = qobject_cast<TFrm_nouveau*>(modal);
            dialog->Edit_L->setText(width);
            dialog->Edit_H->setText(height);
            dialog->OK_nouveau->click();
        });
        frm_fe->btn_new->click();
    }
    // Runs "open" with a name typed into the dialog.
    void Open(const QString& name)
    {
        testgui::WhenModal([name](QWidget* modal) { typeAndAccept(modal, name); });
        QTest::mouseClick(frm_fe->btn_open, Qt::LeftButton);
    }
};

bool exists(const QString& path) { return QFile::exists(path); }

} // namespace

TEST_F(FileCommandsTest, NewCreatesAWhiteDocumentOfTheTypedSize)
{
    New("640", "480");
    TDessin* document = frm_main->ActiveDessin();
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(document->isVisible());
    EXPECT_EQ(document->GetBmp()->Width(), 640);
    EXPECT_EQ(document->GetBmp()->Height(), 480);

    New("12abc", "7");
    EXPECT_NE(frm_main->ActiveDessin(), document);
    EXPECT_EQ(frm_main->ActiveDessin()->GetBmp()->Width(), 12);

    TDessin* last = frm_main->ActiveDessin();
    for (auto [w, h] : {std::pair{"abc", "10"}, std::pair{"", "10"}, std::pair{"0", "10"}, std::pair{"10", "-3"}})
        New(w, h);
    EXPECT_EQ(frm_main->ActiveDessin(), last);
    EXPECT_TRUE(messages.messages.empty());

    // Over the limit: a French message and nothing created.
    New("40000", "10");
    New("30000", "30000");
    EXPECT_EQ(frm_main->ActiveDessin(), last);
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_TRUE(
        messages.messages[0].text.startsWith(QStringLiteral("Impossible de créer une image de 40000 x 10 pixels")));
}

TEST_F(FileCommandsTest, SaveAsMakesTheCopyTheDocument)
{
    const QString original = dir + "/photo.png";
    SaveToFile(*testimg::Noise(5, 4, 3), original, ImageFormat::Png, kDefaultQuality);
    const QByteArray kept = testimg::ReadFile(original);
    Open(original);
    TDessin* document = frm_main->ActiveDessin();
    ASSERT_NE(document, nullptr);
    document->GetBmp()->Canvas()->SetPixels(1, 1, 0x0000FF);
    SaveAs(dir + "/photo-copie.png");
    EXPECT_EQ(document->windowTitle(), dir + "/photo-copie.png");
    EXPECT_FALSE(document->IsModified());

    // Saving again after a save under another name writes the new name; the first file is left as it was.
    document->RunCommand(commands::Find(commands::CommandId::Negatif));
    frm_fe->btn_save->click();
    EXPECT_EQ(testimg::ReadFile(original), kept);
    TBitmap copy;
    LoadFromFile(copy, dir + "/photo-copie.png");
    EXPECT_TRUE(testimg::SameBytes(copy, *document->GetBmp()));

    // A save as that fails (a missing folder) keeps the caption and the file.
    SaveAs(dir + "/absent/x.png");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(document->windowTitle(), dir + "/photo-copie.png");
    EXPECT_EQ(document->FileName(), dir + "/photo-copie.png");

    // A new image's first save as names it too; "Dessin" is never written.
    New("3", "2");
    SaveAs(dir + "/neuve");
    EXPECT_EQ(frm_main->ActiveDessin()->windowTitle(), dir + "/neuve.bmp");
    // Once it is closed, the other image is the active one again.
    frm_main->ActiveDessin()->close();
    testgui::Settle();
    EXPECT_EQ(frm_main->ActiveDessin(), document);
    document->RunCommand(commands::Find(commands::CommandId::Mirroir));
    frm_fe->btn_save->click();
    EXPECT_FALSE(exists(dir + "/Dessin"));
    LoadFromFile(copy, dir + "/photo-copie.png");
    EXPECT_TRUE(testimg::SameBytes(copy, *document->GetBmp()));
}

TEST_F(FileCommandsTest, AFileNamedRelativelyIsKnownByItsAbsolutePath)
{
    SaveToFile(*testimg::Noise(4, 3, 5), dir + "/rel.bmp");
    ASSERT_TRUE(QDir(dir).mkdir("ailleurs"));
    ASSERT_TRUE(QDir::setCurrent(dir));
    frm_main->OpenFiles({QStringLiteral("./rel.bmp")});
    ASSERT_TRUE(QDir::setCurrent(dir + "/ailleurs"));
    TDessin* document = frm_main->ActiveDessin();
    ASSERT_NE(document, nullptr);
    const QString absolute = QFileInfo(dir + "/rel.bmp").absoluteFilePath();
    EXPECT_EQ(document->windowTitle(), absolute);
    EXPECT_EQ(document->FileName(), absolute);
    // Saved from another current folder, the file opened is the one written.
    document->RunCommand(commands::Find(commands::CommandId::Negatif));
    frm_fe->btn_save->click();
    TBitmap reread;
    LoadFromFile(reread, absolute);
    EXPECT_TRUE(testimg::SameBytes(reread, *document->GetBmp()));
    EXPECT_TRUE(QDir(dir + "/ailleurs").isEmpty());
}

TEST_F(FileCommandsTest, SaveWritesToTheOpenedFileAndNothingWithoutADocument)
{
    frm_fe->btn_save->click();
    SaveAs(dir + "/nothing");
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty());

    const QString path = dir + "/opened.bmp";
    SaveToFile(*testimg::Uniform(4, 4, 0x00FF00), path);
    Open(path);
    TDessin* document = frm_main->ActiveDessin();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->windowTitle(), path);
    document->GetBmp()->Canvas()->SetPixels(1, 1, 0x0000FF);
    frm_fe->btn_save->click();
    TBitmap reread;
    LoadFromFile(reread, path);
    EXPECT_EQ(reread.Canvas()->Pixels(1, 1), 0x0000FFu);
    // Opening the same file again makes a second window.
    Open(path);
    EXPECT_NE(frm_main->ActiveDessin(), document);
}

TEST_F(FileCommandsTest, FailuresShowTheFrenchErrorAndChangeNothing)
{
    // A name that does not exist opens nothing, without a message.
    Open(dir + "/missing.bmp");
    EXPECT_EQ(frm_main->ActiveDessin(), nullptr);
    EXPECT_TRUE(messages.messages.empty());

    // A corrupt file: the error box, no window.
    QFile corrupt(dir + "/corrupt.bmp");
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("BM\x10\x00\x00\x00garbage that is no image");
    corrupt.close();
    Open(corrupt.fileName());
    EXPECT_EQ(frm_main->ActiveDessin(), nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.startsWith(QStringLiteral("Impossible d'ouvrir")));

    // A read-only target and a missing folder: the error box, the document kept.
    New("5", "5");
    const QString readOnly = dir + "/ro.bmp";
    QFile(readOnly).open(QIODevice::WriteOnly);
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    SaveAs(readOnly);
    EXPECT_EQ(QFileInfo(readOnly).size(), 0);
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_TRUE(messages.messages[1].text.contains(QStringLiteral("lecture seule")));
    testgui::WhenModal([this](QWidget* modal) { typeAndAccept(modal, dir + "/no/such/folder/x.bmp"); });
    QTest::mouseClick(frm_fe->btn_saveas, Qt::LeftButton);
    EXPECT_EQ(messages.messages.size(), 3u);
    EXPECT_EQ(frm_main->ActiveDessin()->GetBmp()->Width(), 5);
}

TEST_F(FileCommandsTest, HelpShowsThePageInAWindowOfItsOwnWithoutABrowser)
{
    frm_fe->helpPage = dir + "/absent.html";
    frm_fe->btn_aide->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(
        messages.messages[0].text.contains(QStringLiteral("page d'aide « %1 » est introuvable").arg(frm_fe->helpPage)));
    EXPECT_FALSE(frm_fe->HelpWindow()->isVisible());

    // No browser is needed: the page is shown by the program itself.
    frm_fe->helpPage = InstalledHelpPage();
    frm_fe->btn_aide->click();
    THelpWindow* help = frm_fe->HelpWindow();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->Version()->text(), QStringLiteral("Velmora " VELMORA_VERSION));
    const QString page = help->Browser()->toPlainText();
    EXPECT_TRUE(page.contains(QStringLiteral("Ctrl+Z"))) << page.toStdString();
    EXPECT_EQ(messages.messages.size(), 1u);

    // The same page in a browser: a French message when none starts.
    const QString marker = dir + "/browser-started";
    const QString opener = dir + "/browser.sh";
    QFile script(opener);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$1\" > '%1'\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    help->opener = dir + "/no-such-opener";
    help->BrowserButton()->click();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_TRUE(messages.messages[1].text.contains(QStringLiteral("xdg-utils")));
    help->opener = opener;
    help->BrowserButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(marker).size() > 0; }, 5000));
    EXPECT_EQ(testimg::ReadFile(marker).trimmed(), InstalledHelpPage().toUtf8());

    // Échap closes it, wherever the keyboard is in it.
    QTest::keyClick(help->Browser(), Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
}

TEST(InstalledHelp, ThePageSaysWhatTheProgramDoesNow)
{
    const QString page = QString::fromUtf8(testimg::ReadFile(InstalledHelpPage()));
    // Sentences that undo, the questions and recovery made false.
    for (const char* stale : {"pas d'annulation", "sont perdues", "un fichier BMP ;", "Impossible d'ouvrir la page"})
        EXPECT_FALSE(page.contains(QString::fromUtf8(stale))) << stale;
    for (const char* now : {"Ctrl+Z", "Ctrl+Y", "Quitter sans enregistrer", "Ne pas enregistrer", "Récupérer", "Ctrl+C",
                            "Ctrl+V", "zoom", "PNG", "JPEG", "WebP", "TIFF", "molette"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(now))) << now;
}

TEST(InstalledHelp, ThePageLiesBesideTheProgramsPrefix)
{
    EXPECT_TRUE(InstalledHelpPage().endsWith(QStringLiteral("/share/velmora/html/index.html")));
    EXPECT_TRUE(QFile::exists(InstalledHelpPage())); // copied into the build tree
}

namespace {

// The document windows of the palette that show an image, by title.
QStringList openTitles()
{
    QStringList titles;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<TDessin*>(w); d && d->GetBmp() && d->isVisible())
            titles << QFileInfo(d->windowTitle()).fileName();
    titles.sort();
    return titles;
}

// Drags then drops the files on `target`; says whether the drag was accepted.
bool dropOn(QWidget* target, const QStringList& files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return true;
}

} // namespace

// The command line and drops open files as "Ouvrir..." does: each readable file
// in its own window, a French error for each other one, and the editor goes on.
TEST_F(FileCommandsTest, FilesFromTheCommandLineOrADropOpenAsOuvrirOpensThem)
{
    SaveToFile(*testimg::Uniform(6, 4, clBlack), dir + "/un.bmp");
    SaveToFile(*testimg::Uniform(3, 5, clWhite), dir + "/deux.BMP");
    QFile text(dir + "/notes.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();

    frm_main->OpenFiles({dir + "/un.bmp", dir + "/absent.bmp", dir + "/deux.BMP"});
    EXPECT_EQ(openTitles(), QStringList({"deux.BMP", "un.bmp"}));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.startsWith(QStringLiteral("Impossible d'ouvrir « %1/absent.bmp »").arg(dir)))
        << messages.messages[0].text.toStdString();
    EXPECT_TRUE(frm_main->isVisible());

    // Only .bmp files are taken from a drop; others are refused.
    EXPECT_FALSE(dropOn(frm_main, {dir + "/notes.txt"}));
    EXPECT_TRUE(dropOn(frm_main, {dir + "/notes.txt", dir + "/un.bmp"}));
    EXPECT_EQ(openTitles(), QStringList({"deux.BMP", "un.bmp", "un.bmp"}));
    TDessin* document = frm_main->ActiveDessin();
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(dropOn(document, {dir + "/deux.BMP"}));
    EXPECT_EQ(openTitles(), QStringList({"deux.BMP", "deux.BMP", "un.bmp", "un.bmp"}));
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(FileCommandsTest, ASaveCutAtAnyByteShowsWhyAndKeepsTheFileOnDisk)
{
    const QString path = dir + "/photo.bmp";
    SaveToFile(*testimg::Noise(3, 2, 1), path);
    const QByteArray opened = testimg::ReadFile(path);
    Open(path);
    ASSERT_NE(frm_main->ActiveDessin(), nullptr);
    // Another program changed the file since: a failed save must not touch it.
    SaveToFile(*testimg::Noise(4, 4, 2), path);
    const QByteArray onDisk = testimg::ReadFile(path);

    for (qint64 cut = 0; cut < opened.size(); ++cut) {
        {
            const FileSizeLimit limit{rlim_t(cut)};
            QTest::mouseClick(frm_fe->btn_save, Qt::LeftButton);
        }
        ASSERT_EQ(messages.messages.size(), size_t(cut + 1));
        EXPECT_TRUE(messages.messages.back().text.contains(QStringLiteral("fichier trop grand")));
        EXPECT_EQ(testimg::ReadFile(path), onDisk) << "cut at " << cut;
    }
    EXPECT_EQ(HiddenFiles(dir), QStringList());
    QTest::mouseClick(frm_fe->btn_save, Qt::LeftButton);
    EXPECT_EQ(testimg::ReadFile(path), opened);
}

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST_F(FileCommandsTest, EnregistrerAsksBeforeLosingWhatTheFileHeld)
{
    QImage half(4, 3, QImage::Format_ARGB32);
    half.fill(qRgba(200, 100, 50, 128));
    QImage deep(4, 3, QImage::Format_RGBX64);
    deep.fill(QColor::fromRgba64(1000, 2000, 3000));
    const QByteArray opaque = picturefile::Encode(testimg::Noise(4, 3, 7)->Image(), "png");
    const QByteArray twoFrames = picturefile::WithPngChunk(opaque, "acTL", QByteArray::fromHex("0000000200000000"));
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* question;
    };
    const Case cases[] = {
        {"t.png", picturefile::Encode(half, "png"), "« t.png » contient de la transparence qui sera perdue."},
        {"d.png", picturefile::Encode(deep, "png"),
         "« d.png » contient des couleurs sur plus de 8 bits qui seront perdues."},
        {"a.png", twoFrames, "« a.png » contient d'autres images qui seront perdues."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir + "/" + c.name;
        writeFile(path, c.bytes);
        auto* document = new TDessin(frm_main, path);
        messages.messages.clear(); // the "24 bits" warning at open
        document->InverseColor();
        QStringList asked;
        QString preferred;
        const auto save = [&](const QString& answer, std::function<void(QWidget*)> then = nullptr) {
            testgui::WhenModal(
                [&, answer, then](QWidget* modal) {
                    auto* box = qobject_cast<QMessageBox*>(modal);
                    ASSERT_NE(box, nullptr);
                    asked << box->text();
                    preferred = box->defaultButton()->text();
                    if (then)
                        testgui::WhenModal(then);
                    for (QAbstractButton* button : box->buttons())
                        if (button->text() == answer)
                            button->click();
                },
                1000);
            frm_main->Enregistrer1Click(nullptr);
            testgui::CancelModalActions();
        };
        save("Annuler");
        ASSERT_EQ(asked, QStringList{QString::fromUtf8(c.question)});
        EXPECT_EQ(preferred, QStringLiteral("Enregistrer sous..."));
        save("Enregistrer sous...", [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        EXPECT_EQ(asked.size(), 2);
        EXPECT_EQ(testimg::ReadFile(path), c.bytes);
        EXPECT_TRUE(document->IsModified());

        save("Enregistrer quand même");
        EXPECT_FALSE(document->IsModified());
        TBitmap reread;
        LoadFromFile(reread, path);
        EXPECT_TRUE(testimg::SameBytes(reread, *document->GetBmp()));
        // Answered once: the next save asks nothing.
        document->InverseColor();
        save("Annuler");
        EXPECT_EQ(asked.size(), 3);
        EXPECT_FALSE(document->IsModified());
        document->close();
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(FileCommandsTest, EnregistrerOnAGifAsksANameAndNeverWritesIt)
{
    const QString path = dir + "/anim.gif";
    writeFile(path, picturefile::Gif(1));
    auto* document = new TDessin(frm_main, path);
    document->InverseColor();
    QString proposed;
    testgui::WhenModal([&](QWidget* modal) {
        proposed = static_cast<QFileDialog*>(modal)->selectedFiles().value(0);
        typeAndAccept(modal, dir + "/anim.png");
    });
    frm_main->Enregistrer1Click(nullptr);
    EXPECT_EQ(proposed, dir + "/anim");
    EXPECT_EQ(testimg::ReadFile(path), picturefile::Gif(1));
    EXPECT_EQ(document->FileName(), dir + "/anim.png");
    TBitmap reread;
    LoadFromFile(reread, dir + "/anim.png");
    EXPECT_EQ(reread.FileFormat(), ImageFormat::Png);
}
