#include "app/Startup.h"

#include "app/Form_main.h"
#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_entree.h"
#include "dialogs/Form_fichier.h"
#include "dialogs/Form_filtres.h"
#include "dialogs/Form_nouveau.h"
#include "document/Recovery.h"
#include "document/Tdessin.h"
#include "raster/Exception.h"
#include "ui/Application.h"
#include "ui/FrenchLocale.h"
#include "ui/StopSignals.h"

#include <QLocale>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Qt's warnings that tell the user nothing: a runtime folder Qt makes up for
// itself, and the image plugins' English lines about a damaged file, which the
// program reports in French.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) ||
        message.startsWith(QLatin1String("QStandardPaths: wrong permissions on runtime directory")) ||
        (context.category && std::strncmp(context.category, "qt.gui.imageio", 14) == 0) ||
        message.startsWith(QLatin1String("libpng")))
        return;
    std::fputs((qFormatLogMessage(type, context, message) + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

QByteArray ChooseWindowSystem()
{
    QByteArray previous = qgetenv("QT_QPA_PLATFORM");
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        // The user's choice stands; native Wayland falls back to X11 when
        // Qt's Wayland module is not installed, instead of not starting.
        if (previous == "wayland")
            qputenv("QT_QPA_PLATFORM", "wayland;xcb");
        return previous;
    }
    const bool wayland = qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!wayland)
        return previous;
    // Wayland gives an ordinary window neither a place nor "always on top":
    // through Xwayland the palette stands at the top-left, above the images.
    // Without Xwayland (no X display in the session), or when it cannot be
    // reached, the windows are native and the compositor places them.
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "wayland" : "xcb;wayland");
    return previous;
}

void CreateForms()
{
    frm_main = new Tfrm_main();
    frm_effets = new Tfrm_effets(frm_main);
    frm_fe = new Tfrm_fe(frm_main);
    frm_filtres = new Tfrm_filtres();
    Dessin = new TDessin(nullptr);
    frm_CL = new Tfrm_CL(nullptr);
    frm_CL->setObjectName("frm_CL");
    Frm_nouveau = new TFrm_nouveau(nullptr);
    Frm_entree = new TFrm_entree(nullptr);
    frm_main->ShowInTheCorner();
}

void DestroyForms()
{
    delete Frm_entree;
    Frm_entree = nullptr;
    delete Frm_nouveau;
    Frm_nouveau = nullptr;
    delete frm_CL;
    frm_CL = nullptr;
    delete Dessin;
    Dessin = nullptr;
    delete frm_filtres;
    frm_filtres = nullptr;
    delete frm_fe;
    frm_fe = nullptr;
    delete frm_effets;
    frm_effets = nullptr;
    // The palette takes the document windows and dialogs it owns with it.
    delete frm_main;
    frm_main = nullptr;
}

void PrepareApplication(TApplication& app)
{
    // Qt's own dialogs speak French, with French dates, sizes and type names,
    // whatever the user's environment.
    app.LoadFrenchTranslation();
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    // Only the main palette ends the program, whatever else is still open.
    app.setQuitOnLastWindowClosed(false);
}

void OfferRecovery(TRecovery& recovery)
{
    const std::vector<TLeftCopy> copies = recovery.FindLeft();
    if (copies.empty())
        return;
    QStringList lines;
    for (const TLeftCopy& copy : copies)
        lines << QStringLiteral("%1, copie du %2")
                     .arg(!copy.caption.isEmpty()   ? copy.caption
                          : copy.fileName.isEmpty() ? QStringLiteral("Dessin")
                                                    : copy.fileName,
                          QLocale().toString(copy.time, QLocale::ShortFormat));
    // "Plus tard" is also what Escape gives: nothing is lost by mistake.
    const int answer = AskQuestion(
        frm_main, QMessageBox::Question, QStringLiteral("Récupération"),
        QStringLiteral("Velmora s'est arrêté sans que ces images soient enregistrées ; des copies de récupération "
                       "existent :\n\n%1\n\nRécupérer les ouvre comme des images modifiées, à enregistrer.")
            .arg(lines.join(QLatin1Char('\n'))),
        {{QStringLiteral("Récupérer"), QMessageBox::AcceptRole},
         {QStringLiteral("Supprimer"), QMessageBox::DestructiveRole},
         {QStringLiteral("Plus tard"), QMessageBox::RejectRole}});
    if (answer != 0) {
        recovery.ReleaseLeft(answer == 1);
        return;
    }
    QStringList damaged;
    for (const TLeftCopy& copy : copies) {
        const QString name = copy.fileName.isEmpty() ? QStringLiteral("Dessin") : copy.fileName;
        if (!copy.problem.isEmpty()) {
            damaged << QStringLiteral("%1 : %2").arg(name, copy.problem);
            continue;
        }
        try {
            auto* document = new TDessin(frm_main, copy.image);
            document->MarkRecovered(copy.fileName, copy.caption);
            recovery.Adopt(document->Model(), copy);
        } catch (const Exception& error) {
            damaged << QStringLiteral("%1 : %2").arg(name, error.Message());
        }
    }
    recovery.ReleaseLeft(true);
    if (!damaged.isEmpty())
        ShowMessageBox(QStringLiteral("Ces copies de récupération sont endommagées et n'ont pas été ouvertes :\n\n%1")
                           .arg(damaged.join(QLatin1Char('\n'))),
                       QStringLiteral("Récupération"), MB_ICONWARNING);
}

int RunVelmora(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    SpeakFrenchWhateverTheEnvironment();
    const bool wasSet = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    const QByteArray platform = ChooseWindowSystem();
    TApplication app(argc, argv);
    // The programs the editor starts (the help's browser) choose for
    // themselves.
    if (wasSet)
        qputenv("QT_QPA_PLATFORM", platform);
    else
        qunsetenv("QT_QPA_PLATFORM");
    PrepareApplication(app);
    TStopSignals stop;
    try {
        app.SetTitle(QStringLiteral("Velmora"));
        CreateForms();
        TRecovery recovery;
        // A logout, a closed terminal or Ctrl+C: every changed image gets its
        // recovery copy now and the program ends without a question. Every
        // event loop ends, the boxes' and the waits for a save too: what
        // opens from here returns at once, and a save under way ends (its
        // file written, or the old one kept and the temporary removed)
        // before the program does.
        QObject::connect(&stop, &TStopSignals::Stop, &recovery, [&](int) {
            QCoreApplication::exit(stop.ExitCode());
            for (const QString& failure : recovery.CopyEverythingNow())
                std::fprintf(stderr, "Velmora : copie de récupération impossible : %s\n", qUtf8Printable(failure));
        });
        // The images named on the command line open as "Ouvrir..." opens
        // them; after a signal, no further one.
        for (const QString& fileName : app.arguments().mid(1))
            if (!stop.Received())
                frm_main->OpenFiles({fileName});
        OfferRecovery(recovery);
        if (!stop.Received())
            app.exec();
        if (stop.Received()) {
            // The copies stay for the next start, which offers them as after
            // a crash; those of images saved meanwhile go.
            recovery.DropCopiesOfSaved();
        } else {
            // A normal end, whatever the user chose: the copies go. After a
            // crash or a kill they stay for the next start.
            recovery.EndNormally();
        }
    } catch (const Exception& error) {
        app.ShowException(error);
    }
    DestroyForms();
    return stop.ExitCode();
}
