// Qt's own dialogs speak French even when the environment asks for English.
// The dialogs are looked at in a child test program started with an English
// environment, as the editor would be.
#include "app/Startup.h"
#include "codecs/BitmapFiles.h"
#include "support/FormsFixture.h"
#include "ui/Application.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

// Every text a user reads in `dialog`: buttons, labels, group titles.
QStringList textsOf(QWidget* dialog)
{
    QStringList texts;
    for (auto* button : dialog->findChildren<QAbstractButton*>())
        texts << button->text();
    for (auto* label : dialog->findChildren<QLabel*>())
        texts << label->text();
    for (auto* group : dialog->findChildren<QGroupBox*>())
        texts << group->title();
    return texts;
}

// English words Qt shows when its translation or the locale is missing ("Type",
// "Sat" and "Val" are French too).
const QRegularExpression kEnglish(QStringLiteral(
    "\\b(Cancel|Open|Save|Yes|No|Close|Discard|Apply|Folder|Drive|bytes|KiB|MiB|Look in|File name|Files of type|"
    "Basic colors|Custom colors|Pick Screen Color|Add to Custom Colors|Hue|Red|Green|Blue|Alpha|Font|"
    "Font style|Size|Effects|Strikeout|Underline|Sample|Writing System|Name|Date Modified|"
    "Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\\b"));

// The texts with an English word, one a line.
std::string english(const QStringList& texts)
{
    QStringList found;
    for (const QString& text : texts)
        if (text.contains(kEnglish))
            found << text;
    return found.join(QLatin1Char('\n')).toStdString();
}

} // namespace

TEST(FrenchDialogs, DISABLED_InTheChild)
{
    CreateForms();
    PrepareApplication(*Application);
    const QString dir = testimg::TempDir();
    QDir().mkdir(dir + QStringLiteral("/dossier"));
    SaveToFile(*testimg::Noise(4, 4, 1), dir + QStringLiteral("/image.bmp"));

    QFileDialog* files = frm_main->OpenPictureDialog1;
    files->setDirectory(dir);
    files->setViewMode(QFileDialog::Detail);
    files->show();
    auto* model = files->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QModelIndex root = model->index(dir);
    for (int i = 0; i < 250 && model->rowCount(root) < 2; ++i)
        QTest::qWait(20);
    ASSERT_EQ(model->rowCount(root), 2);
    QStringList cells = textsOf(files);
    for (int column = 0; column < model->columnCount(root); ++column) {
        cells << model->headerData(column, Qt::Horizontal).toString();
        for (int row = 0; row < 2; ++row)
            cells << model->index(row, column, root).data().toString();
    }
    EXPECT_TRUE(cells.contains(QStringLiteral("Dossier"))) << cells.join(" | ").toStdString();
    EXPECT_TRUE(cells.join(' ').contains(QStringLiteral("octets"))) << cells.join(" | ").toStdString();
    EXPECT_EQ(english(cells), "");
    files->hide();

    frm_main->ColorDialog1->show();
    EXPECT_EQ(english(textsOf(frm_main->ColorDialog1)), "");
    frm_main->ColorDialog1->hide();
    frm_main->FontDialog1->show();
    EXPECT_EQ(english(textsOf(frm_main->FontDialog1)), "");
    frm_main->FontDialog1->hide();

    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No |
                           QMessageBox::Save | QMessageBox::Discard | QMessageBox::Close | QMessageBox::Apply);
    EXPECT_EQ(english(textsOf(&box)), "");
    testgui::CancelModalActions();
    DestroyForms();
}

TEST(FrenchDialogs, NoEnglishWordEvenInAnEnglishEnvironment)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en_US:en"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=FrenchDialogs.DISABLED_*", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}
