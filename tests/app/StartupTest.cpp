#include "app/Form_main.h"
#include "codecs/BitmapFiles.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_entree.h"
#include "dialogs/Form_fichier.h"
#include "document/Tdessin.h"
#include "raster/Exception.h"
#include "support/FormsFixture.h"
#include "ui/Application.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

using StartupTest = FormsTest;

TEST_F(StartupTest, OnlyThePaletteShowsInTheTopLeftCornerWithNoToolAndNoDocument)
{
    QWidgetList shown;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            shown << window;
    EXPECT_EQ(shown, QWidgetList{frm_main});
    EXPECT_EQ(frm_main->windowTitle(), QStringLiteral("V.M."));
    EXPECT_EQ(frm_main->pos(), QPoint(0, 0));
    EXPECT_EQ(frm_main->size(), QSize(113, 329));
    EXPECT_TRUE(frm_main->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(frm_main->GetOutil(), nullptr);
    EXPECT_EQ(frm_main->ActiveDessin(), nullptr);
    // The text tool's dialog waits where it will show.
    EXPECT_EQ(Frm_entree->pos(), QPoint(319, 474));
}

TEST_F(StartupTest, PaletteButtonsShowTheSameSecondaryPalettesInTheirPlaces)
{
    Tfrm_fe* file = frm_fe;
    Tfrm_effets* effects = frm_effets;
    for (int i = 0; i < 3; ++i) {
        frm_main->btn_fichier->click();
        frm_main->btn_effets->click();
    }
    EXPECT_TRUE(file->isVisible());
    EXPECT_TRUE(effects->isVisible());
    EXPECT_EQ(frm_fe, file);
    EXPECT_EQ(frm_effets, effects);
    EXPECT_EQ(file->windowTitle(), QStringLiteral("Fichier - edition"));
    EXPECT_EQ(file->pos(), QPoint(121, 0));
    EXPECT_EQ(file->size(), QSize(202, 59));
    EXPECT_EQ(effects->windowTitle(), QStringLiteral("Effets"));
    EXPECT_EQ(effects->pos(), QPoint(121, 86));
    EXPECT_EQ(effects->size(), QSize(735, 57));
    file->close();
    EXPECT_FALSE(file->isVisible());
    frm_main->btn_fichier->click();
    EXPECT_TRUE(file->isVisible());
}

TEST_F(StartupTest, ClosingThePaletteDestroysTheToolAndReleasesTheActiveDocument)
{
    frm_main->btn_outil_pinceau->click();
    auto* active = new TDessin(frm_main, 10, 10);
    auto* hidden = new TDessin(frm_main, 10, 10);
    hidden->OnActivate();
    active->OnActivate();
    QPointer<TDessin> activeAlive(active), hiddenAlive(hidden);
    frm_main->close();
    EXPECT_EQ(frm_main->GetOutil(), nullptr);
    testgui::Settle();
    EXPECT_TRUE(activeAlive.isNull());
    // The other documents go with their owner.
    EXPECT_FALSE(hiddenAlive.isNull());
    DestroyForms();
    EXPECT_TRUE(hiddenAlive.isNull());
    CreateForms();
}

namespace {
// Throws from an event handler, as a failing command would.
class Thrower : public QObject {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw ERasterError(QStringLiteral("Impossible d'ouvrir « x.bmp » : le fichier est tronqué."));
        return QObject::event(e);
    }
};
} // namespace

TEST_F(StartupTest, AnExceptionInAHandlerIsShownAndTheProgramGoesOn)
{
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    testgui::Settle();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("Impossible d'ouvrir « x.bmp » : le fichier est tronqué."));
    EXPECT_EQ(messages.messages[0].caption, QStringLiteral("Velmora"));
    EXPECT_EQ(messages.messages[0].flags & MB_ICONERROR, MB_ICONERROR);
    // Still running: a timer fires.
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    testgui::Settle();
    EXPECT_TRUE(fired);
}

TEST(RealProgram, StartsUnderXvfbShowsThePaletteAndEndsWithZeroWhenItIsClosed)
{
    const QString bin = QCoreApplication::applicationDirPath();
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    QProcess run;
    testgui::PrepareRealEditor(run);
    const QString script =
        QStringLiteral("env -u XDG_RUNTIME_DIR \"$1\" & pid=$!; \"$2\" 'V.M.' 30; probe=$?; wait $pid; code=$?; "
                       "echo \"probe=$probe exit=$code\"");
    run.start(QStringLiteral("xvfb-run"),
              {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", script, "sh", bin + "/velmora", bin + "/x11window"});
    ASSERT_TRUE(run.waitForFinished(90000));
    const QString output = QString::fromLocal8Bit(run.readAll());
    EXPECT_TRUE(output.contains(QStringLiteral("mapped 113x329 at 0,0"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("probe=0 exit=0"))) << output.toStdString();
    // Qt's note about the runtime folder it made up is not shown.
    EXPECT_FALSE(output.contains(QStringLiteral("XDG_RUNTIME_DIR"))) << output.toStdString();
}

TEST(RealProgram, WithoutAWindowManagerThePaletteStaysAboveAnOpenedImage)
{
    const QString bin = QCoreApplication::applicationDirPath();
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    // An image as large as the screen, shown after the palette.
    const QString file = testimg::TempDir() + QStringLiteral("/grande.bmp");
    SaveToFile(*testimg::Uniform(1200, 900, clWhite), file);
    QProcess run;
    testgui::PrepareRealEditor(run);
    const QString script =
        QStringLiteral("\"$1\" \"$3\" & pid=$!; \"$2\" 'V.M.' 30 \"$3\"; probe=$?; wait $pid; echo \"probe=$probe\"");
    run.start(QStringLiteral("xvfb-run"), {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", script, "sh",
                                           bin + "/velmora", bin + "/x11window", file});
    ASSERT_TRUE(run.waitForFinished(90000));
    const QString output = QString::fromLocal8Bit(run.readAll());
    EXPECT_TRUE(output.contains(QStringLiteral("stacked above"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("probe=0"))) << output.toStdString();
}

TEST(Translation, QtsOwnTextsSpeakFrenchWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(Application->LoadFrenchTranslation());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
}

TEST(Translation, StartUpMakesTheDefaultLocaleFrenchWhateverTheEnvironment)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    PrepareApplication(*Application);
    const QLocale locale;
    EXPECT_EQ(locale.language(), QLocale::French);
    const QDate date(2026, 8, 15);
    EXPECT_TRUE(locale.toString(date, QLocale::LongFormat).contains(QStringLiteral("août")))
        << locale.toString(date, QLocale::LongFormat).toStdString();
    EXPECT_EQ(locale.toString(date, QStringLiteral("d MMMM yyyy")), QStringLiteral("15 août 2026"));
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
}
