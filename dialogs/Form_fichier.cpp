#include "dialogs/Form_fichier.h"

#include "dialogs/HelpWindow.h"
#include "dialogs/PaletteCommands.h"
#include "raster/TFont.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Glyphs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

Tfrm_fe* frm_fe = nullptr;

QString InstalledHelpPage()
{
    const QDir prefix(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    return QDir::cleanPath(prefix.absoluteFilePath(QStringLiteral(VELMORA_DATADIR_REL "/html/index.html")));
}

Tfrm_fe::Tfrm_fe(TPaletteCommands* commands)
    : QWidget(nullptr, PaletteFlags(true)), helpPage(InstalledHelpPage()), commands_(commands)
{
    setWindowTitle(QStringLiteral("Fichier - edition"));
    setFont(TFont().ToQFont());
    setFixedSize(202, 59);
    GroupBox1 = MakeGroupBox(this, "GroupBox1", QStringLiteral("Fichier"), 8, 0, 185, 57);
    const QSize glyph(20, 20);
    const auto button = [&](const char* name, int left, const QString& hint) {
        return MakeGlyphButton(GroupBox1, name, left, 16, 33, 33, Glyph(name, glyph), glyph, hint);
    };
    btn_new = button("btn_new", 8, QStringLiteral("Nouveau"));
    btn_open = button("btn_open", 40, QStringLiteral("Ouvrir"));
    btn_save = button("btn_save", 72, QStringLiteral("Enregistrer"));
    btn_saveas = button("btn_saveas", 104, QStringLiteral("Enregistrer sous"));
    btn_aide = button("btn_aide", 144, QStringLiteral("Help - About"));

    connect(btn_new, &QToolButton::clicked, this, Guarded([this] { btn_newClick(); }));
    connect(btn_open, &QToolButton::clicked, this, Guarded([this] { btn_openClick(); }));
    connect(btn_save, &QToolButton::clicked, this, Guarded([this] { btn_saveClick(); }));
    connect(btn_saveas, &QToolButton::clicked, this, Guarded([this] { btn_saveasClick(); }));
    connect(btn_aide, &QToolButton::clicked, this, Guarded([this] { btn_aideClick(); }));

    move(121, 0);
}

void Tfrm_fe::btn_newClick()
{
    if (commands_)
        commands_->Nouveau1Click(this);
}
void Tfrm_fe::btn_openClick()
{
    if (commands_)
        commands_->Ouvrir1Click(this);
}
void Tfrm_fe::btn_saveClick()
{
    if (commands_)
        commands_->Enregistrer1Click(this);
}
void Tfrm_fe::btn_saveasClick()
{
    if (commands_)
        commands_->Enregistrersous1Click(this);
}

THelpWindow* Tfrm_fe::HelpWindow()
{
    if (!help_)
        help_ = new THelpWindow(this);
    return help_;
}

void Tfrm_fe::btn_aideClick()
{
    // No page: the user is told, the editor goes on.
    if (!HelpWindow()->ShowPage(helpPage))
        ShowMessageBox(QStringLiteral("La page d'aide « %1 » est introuvable.").arg(helpPage), QStringLiteral("Aide"),
                       MB_OK | MB_ICONWARNING);
}
