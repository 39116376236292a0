// Recovery copies: written while an image has unsaved changes, removed when it
// is saved, offered at the next start after the program stopped.
#include "document/Recovery.h"
#include "app/Startup.h"
#include "codecs/BitmapFiles.h"
#include "document/Tdessin.h"
#include "model/ImageDocument.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <csignal>
#include <cstdio>

namespace {

std::unique_ptr<TBitmap> loaded(const QString& file)
{
    auto bitmap = std::make_unique<TBitmap>();
    LoadFromFile(*bitmap, file);
    return bitmap;
}

QStringList filesIn(const QString& folder)
{
    QStringList files;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        files << (entry.isDir() ? filesIn(entry.filePath()) : QStringList{entry.fileName()});
    return files;
}

class RecoveryTest : public FormsInFolderTest {
protected:
    void SetUp() override
    {
        FormsInFolderTest::SetUp();
        folder = dir + QStringLiteral("/recuperation");
        file = dir + QStringLiteral("/photo.bmp");
        SaveToFile(*testimg::Noise(40, 30, 3), file);
    }
    // Two looks: the first sees the change, the second starts the copy.
    static void Copy(TRecovery& recovery)
    {
        recovery.Poll();
        recovery.Poll();
        recovery.WaitIdle();
    }
    TDessin* Opened()
    {
        auto* d = new TDessin(frm_main, file);
        d->OnActivate();
        return d;
    }
    // Leaves a copy of a changed image, as a program that stopped would.
    std::unique_ptr<TBitmap> LeaveCopy()
    {
        TRecovery stopped(folder);
        stopped.SetInterval(0);
        TDessin* d = Opened();
        d->InverseColor();
        Copy(stopped);
        EXPECT_EQ(stopped.CopiesWritten(), 1);
        auto image = testimg::Copy(*d->GetBmp());
        delete d;
        return image;
    }
    // Runs the start-up offer and presses `answer`; returns the question.
    QString Offer(TRecovery& recovery, const QString& answer)
    {
        QString asked;
        testgui::WhenModal(
            [&asked, answer](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                asked = box->text() + QStringLiteral("\nPar défaut : ") + box->defaultButton()->text();
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == answer)
                        button->click();
            },
            1000);
        OfferRecovery(recovery);
        return asked;
    }
    TDessin* WindowTitled(const QString& title)
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<TDessin*>(window); d && d->isVisible() && d->windowTitle() == title)
                return d;
        return nullptr;
    }
    QString folder;
    QString file;
};

} // namespace

TEST_F(RecoveryTest, ACopyFollowsTheUnsavedChangesOnly)
{
    TRecovery recovery(folder);
    recovery.SetInterval(0);
    TDessin* d = Opened();
    Copy(recovery);
    EXPECT_EQ(recovery.CopiesWritten(), 0);
    EXPECT_TRUE(recovery.SessionFolder().isEmpty()); // nothing changed, nothing written

    d->InverseColor();
    Copy(recovery);
    ASSERT_EQ(recovery.CopiesWritten(), 1);
    const QString copy = recovery.SessionFolder() + QStringLiteral("/image-1.bmp");
    EXPECT_TRUE(testimg::SameBytes(*loaded(copy), *d->GetBmp()));
    EXPECT_TRUE(testimg::ReadFile(recovery.SessionFolder() + "/image-1.json").contains(file.toUtf8()));
    Copy(recovery);
    EXPECT_EQ(recovery.CopiesWritten(), 1); // no change, no new copy

    d->Mirror();
    Copy(recovery);
    EXPECT_EQ(recovery.CopiesWritten(), 2);
    EXPECT_TRUE(testimg::SameBytes(*loaded(copy), *d->GetBmp()));
    // A change of size too: the copy has the new size.
    d->Reshape(commands::CommandId::Rotation, {9000});
    Copy(recovery);
    EXPECT_EQ(recovery.CopiesWritten(), 3);
    EXPECT_EQ(loaded(copy)->Width(), 30);
    EXPECT_TRUE(testimg::SameBytes(*loaded(copy), *d->GetBmp()));
    d->Undo();

    // Undone back to the saved image, then saved: the copy goes each time.
    d->Undo();
    d->Undo();
    recovery.Poll();
    EXPECT_FALSE(QFile::exists(copy));
    d->InverseColor();
    Copy(recovery);
    EXPECT_TRUE(QFile::exists(copy));
    frm_main->Enregistrer1Click(nullptr);
    recovery.Poll();
    EXPECT_EQ(filesIn(recovery.SessionFolder()), QStringList());

    // A normal end takes the folder and its lock away.
    d->InverseColor();
    Copy(recovery);
    recovery.EndNormally();
    EXPECT_EQ(filesIn(folder), QStringList());
}

TEST_F(RecoveryTest, TheFirstCopyComesAnIntervalAfterTheFirstChange)
{
    TRecovery recovery(folder);
    recovery.SetInterval(400);
    Opened()->InverseColor();
    recovery.Poll();
    recovery.Poll();
    recovery.WaitIdle();
    EXPECT_EQ(recovery.CopiesWritten(), 0);
    QThread::msleep(450);
    recovery.Poll();
    recovery.WaitIdle();
    EXPECT_EQ(recovery.CopiesWritten(), 1);
}

TEST_F(RecoveryTest, RecoverRestoresTheBytesUnderTheirCaption)
{
    const auto image = LeaveCopy();
    // A copy of a program still running is not offered.
    TRecovery running(folder);
    running.SetInterval(0);
    auto* other = new TDessin(frm_main, 20, 10);
    other->InverseColor();
    Copy(running);
    ASSERT_EQ(running.CopiesWritten(), 1);

    TRecovery recovery(folder);
    const QString asked = Offer(recovery, QStringLiteral("Récupérer"));
    EXPECT_TRUE(asked.contains(file + QStringLiteral(", copie du "))) << asked.toStdString();
    EXPECT_TRUE(asked.endsWith(QStringLiteral("Par défaut : Récupérer"))) << asked.toStdString();
    TDessin* restored = WindowTitled(file);
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(testimg::SameBytes(*restored->GetBmp(), *image));
    EXPECT_TRUE(restored->IsModified());
    EXPECT_EQ(restored->FileName(), file);
    // The copy is now this program's own: removed once the image is saved.
    EXPECT_EQ(filesIn(recovery.SessionFolder()), (QStringList{"image-1.bmp", "image-1.json"}));
    restored->OnActivate();
    frm_main->Enregistrer1Click(nullptr);
    recovery.Poll();
    EXPECT_EQ(filesIn(recovery.SessionFolder()), QStringList());
    EXPECT_TRUE(testimg::SameBytes(*loaded(file), *image));
    TRecovery next(folder);
    EXPECT_TRUE(next.FindLeft().empty());
}

TEST_F(RecoveryTest, DeleteRemovesTheCopiesAndLaterKeepsThem)
{
    LeaveCopy();
    {
        TRecovery recovery(folder);
        EXPECT_FALSE(Offer(recovery, QStringLiteral("Plus tard")).isEmpty());
        EXPECT_EQ(WindowTitled(file), nullptr);
    }
    TRecovery recovery(folder);
    EXPECT_FALSE(Offer(recovery, QStringLiteral("Supprimer")).isEmpty());
    EXPECT_EQ(WindowTitled(file), nullptr);
    EXPECT_EQ(filesIn(folder), QStringList());
    EXPECT_TRUE(Offer(recovery, QStringLiteral("Récupérer")).isEmpty()); // nothing left: no question
}

TEST_F(RecoveryTest, ADamagedCopyIsReportedAndSkipped)
{
    LeaveCopy();
    LeaveCopy();
    LeaveCopy();
    QStringList images;
    for (const QFileInfo& session : QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        images << session.filePath() + QStringLiteral("/image-1");
    ASSERT_EQ(images.size(), 3);
    QFile::resize(images[0] + ".bmp", 100); // cut short
    QFile description(images[1] + ".json");
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write("{\"fichier\": "); // cut short
    description.close();

    TRecovery recovery(folder);
    Offer(recovery, QStringLiteral("Récupérer"));
    ASSERT_EQ(messages.messages.size(), 1u);
    const QString report = messages.messages[0].text;
    EXPECT_TRUE(report.startsWith(QStringLiteral("Ces copies de récupération sont endommagées")))
        << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("sa description est endommagée"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("tronqué"))) << report.toStdString();
    EXPECT_NE(WindowTitled(file), nullptr); // the good one
}

TEST_F(RecoveryTest, AFolderThatCannotBeWrittenWarnsOnceAndTheProgramGoesOn)
{
    QFile blocker(folder); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TRecovery recovery(folder + QStringLiteral("/dessous"));
    recovery.SetInterval(0);
    TDessin* d = Opened();
    d->InverseColor();
    Copy(recovery);
    d->Mirror();
    Copy(recovery);
    EXPECT_EQ(recovery.CopiesWritten(), 0);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.startsWith(QStringLiteral("Les copies de récupération ne peuvent pas")));
}

// Descriptions written by earlier versions may hold a name relative to the
// folder the program ran in: resolved against that folder when the
// description says which, otherwise shown as it was, "Enregistrer" asking a name.
TEST_F(RecoveryTest, ARelativeNameIsResolvedOrLeadsToANameBeingAsked)
{
    struct Case {
        const char* name;
        QByteArray json; // the description's fields besides the time
        QString caption;
        QString fileName;
    };
    const Case cases[] = {
        {"with its folder", "\"fichier\": \"photo.bmp\", \"dossier\": \"" + dir.toUtf8() + "\"", file, file},
        {"without its folder", "\"fichier\": \"photo.bmp\"", QStringLiteral("photo.bmp"), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LeaveCopy();
        const QStringList sessions = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(sessions.size(), 1);
        QFile description(folder + "/" + sessions[0] + "/image-1.json");
        ASSERT_TRUE(description.open(QIODevice::WriteOnly));
        description.write("{" + c.json + ", \"heure\": \"2026-12-01T10:00:00.000\"}");
        description.close();

        TRecovery recovery(folder);
        Offer(recovery, QStringLiteral("Récupérer"));
        TDessin* restored = WindowTitled(c.caption);
        ASSERT_NE(restored, nullptr);
        EXPECT_EQ(restored->FileName(), c.fileName);
        EXPECT_TRUE(restored->IsModified());
        recovery.EndNormally();
        restored->DropChanges();
        restored->close();
    }
}

// A window closed while its copy is being taken: the copy is dropped, never
// taken from the freed image, and no file of it is left.
TEST_F(RecoveryTest, ClosingDuringACopyLeavesNoCopy)
{
    TRecovery recovery(folder);
    recovery.SetInterval(0);
    TDessin* d = Opened();
    d->InverseColor();
    recovery.Poll();
    recovery.Poll(); // the copy starts, a slice at a time
    ASSERT_TRUE(recovery.Busy());
    QPointer<ImageDocument> model(d->Model());
    testgui::WhenModal(
        [](QWidget* modal) {
            for (QAbstractButton* button : static_cast<QMessageBox*>(modal)->buttons())
                if (button->text() == QStringLiteral("Ne pas enregistrer"))
                    button->click();
        },
        1000);
    d->close();
    testgui::Settle();
    ASSERT_TRUE(model.isNull());
    recovery.WaitIdle();
    recovery.Poll();
    EXPECT_EQ(filesIn(recovery.SessionFolder()), QStringList());
}
