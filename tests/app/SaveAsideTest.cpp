// Saving and opening a large image off the user interface's thread: the
// window takes no edit meanwhile, the file holds the image as it was when the
// save began, a failure is reported as ever, and quitting waits.
#include "app/Form_main.h"
#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "commands/CommandTable.h"
#include "dialogs/Form_fichier.h"
#include "document/Tdessin.h"
#include "filters/Tfiltre.h"
#include "model/ImageDocument.h"
#include "support/FileLimits.h"
#include "support/FormsFixture.h"
#include "support/Images.h"
#include "ui/Aside.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <future>
#include <memory>

namespace {

class SaveAsideTest : public FormsInFolderTest {
protected:
    void SetUp() override
    {
        FormsInFolderTest::SetUp();
        frm_main->btn_fichier->click();
        // Each work waits until the test, acting meanwhile, lets it go.
        SetAsideGate([released = released_] { released.wait(); });
    }
    void TearDown() override
    {
        SetAsideGate({});
        FormsInFolderTest::TearDown();
    }
    // Runs `during` from the event loop while the next work is held, then
    // lets the work go.
    void During(std::function<void()> during)
    {
        QTimer::singleShot(0, [this, during = std::move(during)] {
            during();
            ranDuring_ = true;
            gate_->set_value();
        });
    }
    TDessin* OpenedChanged(const QString& path)
    {
        SaveToFile(*testimg::Noise(300, 200, 4), path);
        frm_main->OpenFiles({path});
        TDessin* document = frm_main->ActiveDessin();
        document->RunCommand(commands::Find(commands::CommandId::Negatif));
        return document;
    }
    std::shared_ptr<std::promise<void>> gate_ = std::make_shared<std::promise<void>>();
    std::shared_future<void> released_ = gate_->get_future().share();
    bool ranDuring_ = false;
};

} // namespace

TEST_F(SaveAsideTest, DuringASaveTheWindowTakesNoEditAndTheFileHoldsTheImageAsItWas)
{
    // Opened without the gate, then saved with it.
    SetAsideGate({});
    const QString path = dir + "/photo.bmp";
    QPointer<TDessin> document = OpenedChanged(path);
    SetAsideGate([released = released_] { released.wait(); });
    const auto before = testimg::Copy(*document->GetBmp());
    frm_main->OnClickPinceau(nullptr);
    During([&] {
        EXPECT_TRUE(document->Saving());
        EXPECT_EQ(document->windowTitle(), path + QStringLiteral(" - Enregistrement..."));
        // A stroke, Suppr, an effect, an undo: none reaches the image.
        QTest::mousePress(document, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(document, QPoint(60, 40));
        QTest::mouseRelease(document, Qt::LeftButton, {}, QPoint(60, 40));
        QTest::keyClick(document, Qt::Key_Delete);
        QTest::keyClick(document, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(document->RunCommand(commands::Find(commands::CommandId::Negatif)), nullptr);
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *before));
        // Closing waits for the end of the save.
        QTest::keyClick(document, Qt::Key_W, Qt::ControlModifier);
        EXPECT_TRUE(document->isVisible());
    });
    QTest::mouseClick(frm_fe->btn_save, Qt::LeftButton);
    EXPECT_TRUE(ranDuring_);
    EXPECT_TRUE(messages.messages.empty());
    TBitmap written;
    LoadFromFile(written, path);
    EXPECT_TRUE(testimg::SameBytes(written, *before));
    testgui::Settle();
    EXPECT_TRUE(!document || !document->isVisible());
}

TEST_F(SaveAsideTest, AFailedSaveIsReportedAndKeepsTheOldFile)
{
    SetAsideGate({});
    const QString path = dir + "/photo.bmp";
    TDessin* document = OpenedChanged(path);
    SetAsideGate([released = released_] { released.wait(); });
    const QByteArray onDisk = testimg::ReadFile(path);
    During([] {});
    {
        const FileSizeLimit limit{rlim_t(1000)};
        QTest::mouseClick(frm_fe->btn_save, Qt::LeftButton);
    }
    EXPECT_TRUE(ranDuring_);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("fichier trop grand")));
    EXPECT_EQ(testimg::ReadFile(path), onDisk);
    EXPECT_EQ(HiddenFiles(dir), QStringList());
    EXPECT_TRUE(document->IsModified());
    EXPECT_EQ(document->windowTitle(), path);
    EXPECT_FALSE(document->Saving());
}

TEST_F(SaveAsideTest, QuittingDuringASaveWaitsForItsEnd)
{
    SetAsideGate({});
    const QString path = dir + "/photo.bmp";
    TDessin* document = OpenedChanged(path);
    SetAsideGate([released = released_] { released.wait(); });
    const auto before = testimg::Copy(*document->GetBmp());
    During([] {
        EXPECT_FALSE(frm_main->close());
        EXPECT_TRUE(frm_main->isVisible());
    });
    QTest::mouseClick(frm_fe->btn_save, Qt::LeftButton);
    EXPECT_TRUE(ranDuring_);
    testgui::Settle();
    // Saved, so the palette closes without a question.
    EXPECT_FALSE(frm_main->isVisible());
    EXPECT_TRUE(messages.messages.empty());
    TBitmap written;
    LoadFromFile(written, path);
    EXPECT_TRUE(testimg::SameBytes(written, *before));
    EXPECT_EQ(HiddenFiles(dir), QStringList());
}

TEST_F(SaveAsideTest, WhileAFileOpensThePaletteAnswersUnderTheBusyPointer)
{
    const QString path = dir + "/photo.bmp";
    SaveToFile(*testimg::Noise(300, 200, 4), path);
    During([] {
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
        EXPECT_EQ(frm_main->ActiveDessin(), nullptr);
        frm_main->btn_effets->click();
    });
    frm_main->OpenFiles({path});
    EXPECT_TRUE(ranDuring_);
    // The busy pointer is gone; the arrow an earlier effect gave back may stay.
    EXPECT_TRUE(!QGuiApplication::overrideCursor() || QGuiApplication::overrideCursor()->shape() != Qt::BusyCursor);
    ASSERT_NE(frm_main->ActiveDessin(), nullptr);
    EXPECT_EQ(frm_main->ActiveDessin()->GetBmp()->Width(), 300);
}

TEST_F(SaveAsideTest, AfterASaveAsideTheImageIsTheSavedOneAndClosesWithoutAQuestion)
{
    SetAsideGate({});
    const QString path = dir + "/v.png";
    WriteImageFile(testimg::Noise(300, 200, 4)->Image(), path, ImageFormat::Png);
    frm_main->OpenFiles({path});
    QPointer<TDessin> document = frm_main->ActiveDessin();
    SetAsideGate([released = released_] { released.wait(); });
    // A brush stroke, then a press while the file is written; its release
    // comes once the save has ended.
    frm_main->OnClickPinceau(nullptr);
    QTest::mouseClick(document, Qt::LeftButton, {}, QPoint(10, 10));
    During([&] {
        EXPECT_TRUE(document->Saving());
        QTest::mousePress(document, Qt::LeftButton, {}, QPoint(30, 30));
    });
    QTest::mouseClick(frm_fe->btn_save, Qt::LeftButton);
    ASSERT_TRUE(ranDuring_);
    QTest::mouseRelease(document, Qt::LeftButton, {}, QPoint(60, 40));
    TBitmap written;
    LoadFromFile(written, path);
    EXPECT_TRUE(testimg::SameBytes(written, *document->GetBmp()));
    EXPECT_FALSE(document->Model()->Unsaved());
    bool asked = false;
    testgui::WhenModal(
        [&](QWidget* box) {
            asked = true;
            box->close();
        },
        2000);
    QTest::keyClick(document, Qt::Key_W, Qt::ControlModifier);
    testgui::Settle();
    EXPECT_FALSE(asked);
    EXPECT_TRUE(!document || !document->isVisible());
}
