// Undo and redo through real document windows: each kind of change is one
// step, restored byte for byte and shown; the memory budget; the modified flag,
// the question on quitting and "Enregistrer" on a new image.
#include "app/Form_main.h"
#include "codecs/BitmapFiles.h"
#include "dialogs/Form_entree.h"
#include "document/Tdessin.h"
#include "model/ImageDocument.h"
#include "model/Thistorique.h"
#include "raster/TCanvas.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

constexpr int kW = 160;
constexpr int kH = 120;

void press(TDessin* d, int x, int y) { QTest::mousePress(d, Qt::LeftButton, {}, QPoint(x, y)); }
void move(TDessin* d, int x, int y)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(x, y), d->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(d, &event);
}
void release(TDessin* d, int x, int y) { QTest::mouseRelease(d, Qt::LeftButton, {}, QPoint(x, y)); }
void drag(TDessin* d, int x0, int y0, int x1, int y1)
{
    press(d, x0, y0);
    move(d, (x0 + x1) / 2, (y0 + y1) / 2 + 1);
    move(d, x1, y1);
    release(d, x1, y1);
}
void undo(TDessin* d) { QTest::keyClick(d, Qt::Key_Z, Qt::ControlModifier); }
void redoY(TDessin* d) { QTest::keyClick(d, Qt::Key_Y, Qt::ControlModifier); }
void redoShiftZ(TDessin* d) { QTest::keyClick(d, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

// A shown document with a noisy image, so that every effect changes it.
TDessin* NoisyDocument(std::uint32_t seed, int w = kW, int h = kH)
{
    auto* d = new TDessin(frm_main, w, h);
    d->GetBmp()->Assign(*testimg::Noise(w, h, seed));
    d->OnPaint();
    d->show();
    return d;
}

bool Shows(TDessin* d, const TBitmap& bytes)
{
    return testimg::SameBytes(*d->GetBmp(), bytes) && testimg::SameBytes(*testimg::Shown(*d->WindowCanvas()), bytes);
}

void AnswerText(const char* text)
{
    QTimer::singleShot(0, [text] {
        if (auto* dialog = qobject_cast<TFrm_entree*>(QApplication::activeModalWidget())) {
            dialog->Edit1->setText(QString::fromUtf8(text));
            dialog->Ok->click();
        }
    });
}

struct Kind {
    const char* name;
    std::function<void(TDessin*)> change;
};

const Kind kKinds[] = {
    {"brush stroke", [](TDessin* d) { frm_main->OnClickPinceau(nullptr), drag(d, 5, 5, 60, 40); }},
    {"line", [](TDessin* d) { frm_main->OnLineClick(nullptr), drag(d, 10, 100, 150, 20); }},
    {"rectangle", [](TDessin* d) { frm_main->OnClickRect(nullptr), drag(d, 10, 10, 90, 70); }},
    {"fill",
     [](TDessin* d) {
         frm_main->btn_outil_potClick(nullptr);
         press(d, 30, 20);
         release(d, 30, 20);
     }},
    {"text",
     [](TDessin* d) {
         testgui::WhenModal([](QWidget* font) { static_cast<QDialog*>(font)->accept(); });
         frm_main->OnClickText(nullptr);
         d->OnActivate();
         AnswerText("Bonjour");
         press(d, 20, 20);
         release(d, 20, 20);
     }},
    {"effect", [](TDessin*) { frm_main->Mirroir1Click(nullptr); }},
    {"double wave", [](TDessin* d) { d->DoubleVague(); }},
    {"filter through a selection",
     [](TDessin* d) {
         frm_main->OnClickSelect(nullptr);
         drag(d, 10, 5, 70, 50);
         frm_main->Flou1Click(nullptr);
     }},
    {"RGB", [](TDessin* d) { d->AdjustColor(10, 200, 30); }},
    {"contrast dialog", [](TDessin* d) { d->AdjustContrastDialog(200, 60); }},
};

class Historique : public FormsSuiteTest {
protected:
    void TearDown() override
    {
        for (TDessin* d : documents)
            delete d;
        SetHistoryBudget(kHistoryBudget);
        frm_main->btn_outil_normalClick(nullptr);
    }
    TDessin* Doc(std::uint32_t seed, int w = kW, int h = kH)
    {
        documents.push_back(NoisyDocument(seed, w, h));
        documents.back()->OnActivate();
        return documents.back();
    }
    std::vector<TDessin*> documents;
};

} // namespace

TEST_F(Historique, EachKindOfChangeIsOneStepUndoneAndRedoneExactly)
{
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        TDessin* d = Doc(7);
        const auto before = testimg::Copy(*d->GetBmp());
        kind.change(d);
        const auto after = testimg::Copy(*d->GetBmp());
        ASSERT_FALSE(testimg::SameBytes(*before, *after));
        EXPECT_TRUE(d->IsModified());
        undo(d);
        testgui::Settle();
        EXPECT_TRUE(Shows(d, *before));
        EXPECT_FALSE(d->IsModified());
        undo(d); // nothing older
        EXPECT_TRUE(Shows(d, *before));
        redoY(d);
        testgui::Settle();
        EXPECT_TRUE(Shows(d, *after));
        undo(d);
        redoShiftZ(d);
        EXPECT_TRUE(Shows(d, *after));
        EXPECT_TRUE(d->IsModified());
    }
}

TEST_F(Historique, SelectionAloneIsNoStepAndANewGestureDropsRedo)
{
    TDessin* d = Doc(3);
    frm_main->OnClickSelect(nullptr);
    drag(d, 10, 10, 50, 50);
    EXPECT_EQ(d->Model()->History()->UndoCount(), 0u);
    EXPECT_FALSE(d->IsModified());

    d = Doc(4); // with everything editable
    frm_main->OnClickPinceau(nullptr);
    drag(d, 5, 5, 40, 30);
    const auto first = testimg::Copy(*d->GetBmp());
    drag(d, 100, 10, 120, 90);
    undo(d);
    EXPECT_TRUE(Shows(d, *first));
    drag(d, 10, 100, 60, 80); // drops the stroke that was undone
    const auto last = testimg::Copy(*d->GetBmp());
    redoY(d);
    EXPECT_TRUE(testimg::SameBytes(*d->GetBmp(), *last));
    EXPECT_EQ(d->Model()->History()->RedoCount(), 0u);
    EXPECT_EQ(d->Model()->History()->UndoCount(), 2u);
}

TEST_F(Historique, DocumentsHaveTheirOwnHistory)
{
    TDessin* a = Doc(1);
    TDessin* b = Doc(2);
    const auto aBefore = testimg::Copy(*a->GetBmp());
    a->InverseColor();
    const auto aAfter = testimg::Copy(*a->GetBmp());
    b->Mirror();
    const auto bAfter = testimg::Copy(*b->GetBmp());
    undo(b);
    undo(b);
    EXPECT_TRUE(Shows(a, *aAfter));
    undo(a);
    EXPECT_TRUE(Shows(a, *aBefore));
    redoY(b);
    EXPECT_TRUE(Shows(b, *bAfter));
    EXPECT_TRUE(Shows(a, *aBefore));
}

TEST_F(Historique, ASmallBudgetDropsTheOldestStepsOfAllDocumentsFirst)
{
    TDessin* a = Doc(4, 40, 30);
    TDessin* b = Doc(5, 40, 30);
    // Room for three whole-image steps of 40 x 30 and a little more.
    const qint64 image = 40 * 30 * 3;
    SetHistoryBudget(3 * image + 3 * 2000);
    std::vector<std::unique_ptr<TBitmap>> states;
    states.push_back(testimg::Copy(*a->GetBmp()));
    for (int i = 0; i < 4; ++i) {
        if (i % 2 == 0)
            a->InverseColor();
        else
            a->Mirror();
        states.push_back(testimg::Copy(*a->GetBmp()));
        EXPECT_LE(HistoryHeldBytes(), HistoryBudget());
    }
    EXPECT_EQ(a->Model()->History()->UndoCount(), 3u);
    b->NB(); // one more step: a's oldest goes
    EXPECT_LE(HistoryHeldBytes(), HistoryBudget());
    EXPECT_EQ(a->Model()->History()->UndoCount(), 2u);
    for (int i = 3; i >= 2; --i) {
        EXPECT_TRUE(a->Undo());
        EXPECT_TRUE(Shows(a, *states[size_t(i)]));
    }
    EXPECT_FALSE(a->Undo());
    EXPECT_TRUE(a->IsModified());

    // A step larger than the whole budget is not kept: the image changes all
    // the same, and nothing older can be undone any more.
    SetHistoryBudget(image / 2);
    EXPECT_LE(HistoryHeldBytes(), HistoryBudget());
    b->Flip();
    EXPECT_FALSE(b->Undo());
    EXPECT_TRUE(b->IsModified());
}

TEST_F(Historique, DefaultBudgetKeepsFiftyStrokesAtVgaAndFiveEffectsAt24Megapixels)
{
    EXPECT_EQ(HistoryBudget(), qint64(512) << 20);
    TDessin* vga = Doc(6, 640, 480);
    frm_main->OnClickPinceau(nullptr);
    for (int i = 0; i < 60; ++i)
        drag(vga, 5 + i * 10, 5, 10 + i * 10, 470);
    EXPECT_EQ(vga->Model()->History()->UndoCount(), 60u);

    TBitmap photo;
    photo.SetSize(6000, 4000);
    THistorique historique(photo);
    for (int i = 0; i < 6; ++i) {
        historique.BeginWhole(); // an effect that changes every byte
        for (int row = 0; row < 4000; ++row) {
            std::uint8_t* pixels = photo.ScanLine(row);
            for (int x = 0; x < 18000; ++x)
                pixels[x] = std::uint8_t(~pixels[x]);
        }
        historique.EndWhole();
    }
    EXPECT_GE(historique.UndoCount(), 5u);
    EXPECT_LE(HistoryHeldBytes(), HistoryBudget());
}

namespace {

class QuitAndSave : public FormsInFolderTest {
protected:
    void SetUp() override
    {
        FormsInFolderTest::SetUp();
        frm_main->show();
    }
    // Closes the palette; `answer` is the button pressed in the question, if one comes.
    bool Close(const QString& answer, QString* asked)
    {
        testgui::WhenModal(
            [answer, asked](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                *asked = box->text();
                EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Revenir"));
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == answer)
                        button->click();
            },
            500);
        return frm_main->close();
    }
    // The document windows shown.
    static int OpenDocuments()
    {
        int shown = 0;
        for (QWidget* window : QApplication::topLevelWidgets())
            shown += qobject_cast<TDessin*>(window) && window->isVisible();
        return shown;
    }
    void SaveAs(const QString& name)
    {
        testgui::WhenModal([name](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_EQ(dialog, frm_main->SavePictureDialog1);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            static_cast<QDialog*>(dialog)->accept();
        });
    }
};

} // namespace

TEST_F(QuitAndSave, NothingModifiedClosesAtOnce)
{
    auto* d = new TDessin(frm_main, 20, 10);
    d->show();
    frm_main->OnClickSelect(nullptr);
    drag(d, 2, 2, 15, 8); // a selection changes no pixel
    QString asked;
    EXPECT_TRUE(Close(QStringLiteral("Revenir"), &asked));
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(QuitAndSave, AModifiedHiddenDocumentAsksAndGoingBackKeepsEverything)
{
    auto* d = new TDessin(frm_main, 20, 10);
    auto* other = new TDessin(frm_main, 20, 10);
    d->show();
    d->InverseColor();
    d->hide(); // out of reach, still modified
    const auto image = testimg::Copy(*d->GetBmp());
    QString asked;
    EXPECT_FALSE(Close(QStringLiteral("Revenir"), &asked));
    EXPECT_TRUE(asked.startsWith(QStringLiteral("1 image n'est pas enregistrée.")));
    EXPECT_TRUE(frm_main->isVisible());
    EXPECT_TRUE(testimg::SameBytes(*d->GetBmp(), *image));
    EXPECT_TRUE(d->IsModified());
    EXPECT_FALSE(other->IsModified());

    other->InverseColor();
    EXPECT_FALSE(Close(QStringLiteral("Revenir"), &asked));
    EXPECT_TRUE(asked.startsWith(QStringLiteral("2 images ne sont pas enregistrées.")));
    EXPECT_TRUE(Close(QStringLiteral("Quitter sans enregistrer"), &asked));
}

TEST_F(QuitAndSave, SavingOrUndoingToTheSavedStateEndsTheQuestion)
{
    TDessin* d = NoisyDocument(9, 20, 10);
    d->OnActivate();
    d->InverseColor();
    SaveAs(dir + QStringLiteral("/noir"));
    frm_main->Enregistrersous1Click(nullptr);
    EXPECT_FALSE(d->IsModified());
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/noir.bmp")));
    d->Mirror();
    EXPECT_TRUE(d->IsModified());
    d->Undo();
    EXPECT_FALSE(d->IsModified());
    d->Undo(); // before the save
    EXPECT_TRUE(d->IsModified());
    d->Redo();
    QString asked;
    EXPECT_TRUE(Close(QStringLiteral("Revenir"), &asked));
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(QuitAndSave, EnregistrerOnANewImageAsksForAName)
{
    TDessin* d = NoisyDocument(9, 20, 10);
    d->OnActivate();
    d->InverseColor();
    SaveAs(dir + QStringLiteral("/premier"));
    frm_main->Enregistrer1Click(nullptr);
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/Dessin")));
    ASSERT_TRUE(QFile::exists(dir + QStringLiteral("/premier.bmp")));
    EXPECT_FALSE(d->IsModified());
    EXPECT_EQ(d->windowTitle(), dir + QStringLiteral("/premier.bmp"));

    // Once named, "Enregistrer" writes that file without asking.
    d->Mirror();
    QFile::remove(dir + QStringLiteral("/premier.bmp"));
    frm_main->Enregistrer1Click(nullptr);
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/premier.bmp")));
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/Dessin")));
    EXPECT_FALSE(d->IsModified());

    // A document opened from a file is written back to it.
    TDessin* opened = new TDessin(frm_main, dir + QStringLiteral("/premier.bmp"));
    opened->InverseColor();
    frm_main->Enregistrer1Click(nullptr);
    EXPECT_FALSE(opened->IsModified());
    TBitmap back;
    LoadFromFile(back, dir + QStringLiteral("/premier.bmp"));
    EXPECT_TRUE(testimg::SameBytes(back, *opened->GetBmp()));
}

TEST_F(QuitAndSave, QuittingWithoutSavingAsksOnceAndEndsTheProgram)
{
    for (int i = 0; i < 2; ++i) {
        auto* d = new TDessin(frm_main, 20, 10);
        d->show();
        d->InverseColor();
    }
    // "Revenir": nothing closes.
    QString asked;
    EXPECT_FALSE(Close(QStringLiteral("Revenir"), &asked));
    EXPECT_EQ(OpenDocuments(), 2);

    // "Quitter sans enregistrer" while the event loop runs, as in the program:
    // the windows Qt closes on the way out ask nothing more.
    QStringList questions;
    testgui::WhenModal([&questions](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        questions << box->text();
        for (QAbstractButton* button : box->buttons())
            if (button->text() == QStringLiteral("Quitter sans enregistrer"))
                button->click();
        // Any further question is answered, and counted.
        testgui::WhenModal(
            [&questions](QWidget* next) {
                questions << static_cast<QMessageBox*>(next)->text();
                static_cast<QMessageBox*>(next)->reject();
            },
            1000);
    });
    QTimer::singleShot(0, frm_main, [] { frm_main->close(); });
    // A program that does not end; the guard goes with the test, so that it
    // cannot end a later test's dialog.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(QStringLiteral("2 images ne sont pas enregistrées.")));
}
