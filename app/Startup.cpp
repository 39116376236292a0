#include "app/Startup.h"

#include "app/Form_main.h"
#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_entree.h"
#include "dialogs/Form_fichier.h"
#include "dialogs/Form_filtres.h"
#include "dialogs/Form_nouveau.h"
#include "document/Tdessin.h"
#include "platform/Exception.h"
#include "ui/Application.h"

#include <QLocale>

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
    frm_main->show();
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

int RunVelmora(int argc, char** argv)
{
    TApplication app(argc, argv);
    PrepareApplication(app);
    try {
        app.SetTitle(QStringLiteral("Velmora"));
        CreateForms();
        // The images named on the command line open as "Ouvrir..." opens them.
        frm_main->OpenFiles(app.arguments().mid(1));
        app.exec();
    } catch (const Exception& error) {
        app.ShowException(error);
    }
    DestroyForms();
    return 0;
}
