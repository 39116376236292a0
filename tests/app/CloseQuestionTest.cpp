// Closing a changed image window asks whether to save it first.
#include "codecs/BitmapFiles.h"
#include "document/Tdessin.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

class CloseQuestion : public FormsInFolderTest {
protected:
    // A changed image: opened from `file` when given, new otherwise.
    TDessin* Changed(const QString& file = QString())
    {
        TDessin* d = file.isEmpty() ? new TDessin(frm_main, 30, 20) : new TDessin(frm_main, file);
        d->show();
        d->OnActivate();
        d->InverseColor();
        return d;
    }
    // Closes `d`, pressing `answer` in the question; `then` answers the next
    // modal window (the save dialog). Returns whether the window went (it is
    // then freed).
    bool Close(TDessin* d, const QString& answer, std::function<void(QWidget*)> then = nullptr)
    {
        const QPointer<TDessin> window(d);
        asked.clear();
        testgui::WhenModal(
            [this, answer, then](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                asked = box->text();
                preferred = box->defaultButton()->text();
                for (QAbstractButton* button : box->buttons())
                    buttons << button->text();
                if (then)
                    testgui::WhenModal(then);
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == answer)
                        button->click();
            },
            2000);
        d->close();
        testgui::Settle();
        return window.isNull();
    }
    QString asked;
    QString preferred; // the answer Enter gives
    QStringList buttons;
};

std::unique_ptr<TBitmap> loaded(const QString& file)
{
    auto bitmap = std::make_unique<TBitmap>();
    LoadFromFile(*bitmap, file);
    return bitmap;
}

void typeName(QWidget* modal, const QString& name)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
    static_cast<QDialog*>(dialog)->accept();
}

} // namespace

TEST_F(CloseQuestion, AnUnchangedWindowClosesWithoutAQuestion)
{
    auto* d = new TDessin(frm_main, 30, 20);
    d->show();
    EXPECT_TRUE(Close(d, QStringLiteral("Annuler")));
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(CloseQuestion, EachAnswerSavesDropsOrKeeps)
{
    const QString file = dir + QStringLiteral("/photo.bmp");
    SaveToFile(*testimg::Noise(30, 20, 5), file);
    const QByteArray before = testimg::ReadFile(file);

    TDessin* d = Changed(file);
    EXPECT_FALSE(Close(d, QStringLiteral("Annuler")));
    EXPECT_EQ(asked, QStringLiteral("Enregistrer les modifications de « photo.bmp » ?"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Annuler", "Enregistrer", "Ne pas enregistrer"}));
    EXPECT_EQ(preferred, QStringLiteral("Enregistrer"));
    EXPECT_TRUE(d->IsModified());
    EXPECT_EQ(testimg::ReadFile(file), before);

    const auto changed = testimg::Copy(*d->GetBmp());
    EXPECT_TRUE(Close(d, QStringLiteral("Enregistrer")));
    EXPECT_TRUE(testimg::SameBytes(*loaded(file), *changed));

    // "Ne pas enregistrer": the changes go with the window and the quit asks nothing.
    TDessin* other = Changed();
    EXPECT_TRUE(Close(other, QStringLiteral("Ne pas enregistrer")));
    EXPECT_EQ(asked, QStringLiteral("Enregistrer les modifications de « Dessin » ?"));
    bool quitAsked = false;
    testgui::WhenModal([&quitAsked](QWidget*) { quitAsked = true; }, 500);
    EXPECT_TRUE(frm_main->close());
    EXPECT_FALSE(quitAsked);
}

TEST_F(CloseQuestion, ANewImageAsksForANameAndStaysWhenNoneIsGiven)
{
    TDessin* d = Changed();
    EXPECT_FALSE(
        Close(d, QStringLiteral("Enregistrer"), [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); }));
    EXPECT_TRUE(d->IsModified());

    const auto changed = testimg::Copy(*d->GetBmp());
    EXPECT_TRUE(Close(d, QStringLiteral("Enregistrer"), [this](QWidget* modal) { typeName(modal, dir + "/neuf"); }));
    EXPECT_TRUE(testimg::SameBytes(*loaded(dir + "/neuf.bmp"), *changed));
}

TEST_F(CloseQuestion, AFailedSaveKeepsTheWindowOpen)
{
    const QString folder = dir + QStringLiteral("/parti");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString file = folder + QStringLiteral("/photo.bmp");
    SaveToFile(*testimg::Noise(30, 20, 6), file);
    TDessin* d = Changed(file);
    ASSERT_TRUE(QDir(folder).removeRecursively()); // the save has nowhere to go
    EXPECT_FALSE(Close(d, QStringLiteral("Enregistrer")));
    EXPECT_TRUE(d->IsModified());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.startsWith(QStringLiteral("Impossible d'enregistrer")))
        << messages.messages[0].text.toStdString();
}
