// The main palette "V.M.": its buttons, menus and common dialogs, and the end
// of the program. The commands live in Form_main_outils.cpp (tools and
// wells), Form_main_fichiers.cpp (files) and Form_main_effets.cpp (effects,
// filters and value dialogs).
#include "app/Form_main.h"

#include "app/WindowManager.h"

#include "dialogs/Form_effets.h"
#include "dialogs/Form_fichier.h"
#include "document/Tdessin.h"
#include "filters/Tfiltre.h"
#include "raster/TFont.h"
#include "tools/Toutil.h"
#include "ui/Application.h"
#include "ui/Aside.h"
#include "ui/Forms.h"
#include "ui/FrenchLocale.h"
#include "ui/Glyphs.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

Tfrm_main* frm_main = nullptr;

namespace {

// One line of a right-click menu: the item's name, its caption ("-" for a
// separator; none for a command's item, whose caption is its row's in the
// command table), and the submenu it belongs to (empty for the top level).
struct MenuLine {
    const char* name;
    const char* caption;
    const char* submenu;
};

const MenuLine fileMenu[] = {
    {"Fichier1", "&Fichier", nullptr},
    {"Nouveau1", "&Nouveau", "Fichier1"},
    {"Ouvrir1", "&Ouvrir...", "Fichier1"},
    {"Enregistrer1", "&Enregistrer", "Fichier1"},
    {"Enregistrersous1", "En&registrer sous...", "Fichier1"},
    {"N3", "-", "Fichier1"},
    {"Imprimer1", "&Imprimer...", "Fichier1"},
    {"Configurationdelimpression1", "&Configuration de l'impression...", "Fichier1"},
    {"Edition1", "&Edition", nullptr},
    {"Undo1", "&Undo", "Edition1"},
    {"N6", "-", "Edition1"},
    {"Couper1", "&Couper", "Edition1"},
    {"Copier1", "Co&pier", "Edition1"},
    {"Coller1", "C&oller", "Edition1"},
    {"Collage_sur_selection1", "Collage sur &séléction", "Edition1"},
    {"N1", "-", nullptr},
    {"Aide1", "&Aide", nullptr},
    {"N4", "-", nullptr},
    {"Quitter2", "&Quitter", nullptr},
};

const MenuLine effectsMenu[] = {
    {"N2D1", "&2D", nullptr},
    {"Mirroir1", nullptr, "N2D1"},
    {"Flip1", nullptr, "N2D1"},
    {"Vagueenabscisse1", nullptr, "N2D1"},
    {"VagueY1", nullptr, "N2D1"},
    {"Tunnel1", nullptr, "N2D1"},
    {"Pouetpouet1", nullptr, "N2D1"},
    {"Attnuation1", "&Atténuation", nullptr},
    {"Flou1", nullptr, "Attnuation1"},
    {"Blur1", nullptr, "Attnuation1"},
    {"Divers1", "&Divers", nullptr},
    {"Aquarelle1", nullptr, "Divers1"},
    {"Estompage1", nullptr, "Divers1"},
    {"Palette1", "&Palette", nullptr},
    {"Contraste1", "&Contraste", "Palette1"},
    {"Gamma1", "&Gamma", "Palette1"},
    {"Couleurs1", "C&ouleurs", "Palette1"},
    {"Negatif1", nullptr, "Palette1"},
    {"NoirBlanc1", nullptr, "Palette1"},
    {"Renforcement1", "&Renforcement", nullptr},
    {"Nettet1", nullptr, "Renforcement1"},
};

QString captionOf(const MenuLine& line)
{
    if (line.caption)
        return QString::fromUtf8(line.caption);
    const commands::Command* command = commands::FindBy(&commands::Command::menuItem, line.name);
    return QString::fromUtf8(command ? command->menuCaption : nullptr);
}

// Lines whose next line belongs to them are submenus.
template <size_t N> QMenu* buildMenu(QWidget* owner, const char* name, const MenuLine (&lines)[N])
{
    auto* menu = new QMenu(owner);
    menu->setObjectName(name);
    std::map<QString, QMenu*> submenus;
    for (size_t i = 0; i < N; ++i) {
        const MenuLine& line = lines[i];
        QMenu* into = line.submenu ? submenus.at(line.submenu) : menu;
        const bool isSubmenu = i + 1 < N && lines[i + 1].submenu && QString(lines[i + 1].submenu) == line.name;
        QAction* action = nullptr;
        if (isSubmenu) {
            QMenu* sub = into->addMenu(captionOf(line));
            sub->setObjectName(line.name);
            submenus[line.name] = sub;
            action = sub->menuAction();
        } else if (line.caption && QString(line.caption) == "-") {
            action = into->addSeparator();
        } else {
            action = into->addAction(captionOf(line));
        }
        action->setObjectName(line.name);
    }
    return menu;
}

} // namespace

Tfrm_main::Tfrm_main()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      fontDialogFont_(TFont().ToQFont())
{
    setWindowTitle(QStringLiteral("V.M."));
    setFont(TFont().ToQFont());
    setFixedSize(113, 329);
    // Image files dropped on the palette open in their own windows.
    setAcceptDrops(true);
    BuildButtons();
    BuildMenus();
    BuildDialogs();
    // Whatever the layout says, the palette sits in the top-left corner.
    move(0, 0);
    dessin = nullptr;
}

Tfrm_main::~Tfrm_main() = default;

void Tfrm_main::ShowInTheCorner()
{
    // weston's X window manager takes a window mapped at exactly 0,0 for one
    // that asked for no place, puts it where it likes and ignores the moves
    // that follow; one pixel from the corner, the palette keeps that place.
    if (X11WindowManagerName() == QLatin1String("Weston WM"))
        move(1, 0);
    show();
}

void Tfrm_main::BuildButtons()
{
    const QSize toolGlyph(42, 29);
    const auto tool = [&](const char* name, int left, int top, const QString& hint, QSize glyph) {
        return MakeGlyphButton(this, name, left, top, 57, 33, Glyph(name, glyph), glyph, hint);
    };
    const auto captioned = [&](const char* name, int left, const QString& caption, const QString& hint) {
        QToolButton* b = MakeGlyphButton(this, name, left, 8, 57, 33, QIcon(), QSize(), hint, caption);
        QFont f = b->font();
        f.setPixelSize(13);
        b->setFont(f);
        return b;
    };
    btn_fichier =
        captioned("btn_fichier", 0, QStringLiteral("Fichier"), QStringLiteral("Affiche le menu Fichier / Edition"));
    btn_effets = captioned("btn_effets", 56, QStringLiteral("Effets"), QStringLiteral("Menu effets"));
    btn_outil_normal = tool("btn_outil_normal", 0, 40, QStringLiteral("Gomme"), QSize(36, 22));
    btn_outil_pinceau = tool("btn_outil_pinceau", 56, 40, QStringLiteral("Pinceau"), toolGlyph);
    btn_outil_text = tool("btn_outil_text", 0, 72, QStringLiteral("Texte"), toolGlyph);
    btn_outil_pipette = tool("btn_outil_pipette", 56, 72, QStringLiteral("Pipette"), toolGlyph);
    btn_outil_pot = tool("btn_outil_pot", 0, 104, QStringLiteral("Pot de peinture"), toolGlyph);
    btn_outil_selection = tool("btn_outil_selection", 56, 104, QStringLiteral("Sélection"), toolGlyph);
    btn_outil_rectangle = tool("btn_outil_rectangle", 0, 136, QStringLiteral("Rectangle"), toolGlyph);
    btn_outil_ligne = tool("btn_outil_ligne", 56, 136, QStringLiteral("Ligne"), toolGlyph);
    BitBtn1 = tool("BitBtn1", 0, 168, QStringLiteral("Cercle"), toolGlyph);
    BitBtn2 = tool("BitBtn2", 56, 168, QStringLiteral("outil temporaire"), toolGlyph);

    GroupBox_couleurs = MakeGroupBox(this, "GroupBox_couleurs", QStringLiteral("Couleurs"), 0, 208, 113, 121);
    // The second well first, so that the first one lies over its corner.
    Stxt_coul_2 = new TColorWell(GroupBox_couleurs, clWhite);
    Stxt_coul_2->setObjectName("Stxt_coul_2");
    Stxt_coul_2->setGeometry(48, 56, 49, 49);
    Stxt_coul_2->setToolTip(QStringLiteral("couleur deuxième bouton"));
    Stxt_coul_1 = new TColorWell(GroupBox_couleurs, clBlack);
    Stxt_coul_1->setObjectName("Stxt_coul_1");
    Stxt_coul_1->setGeometry(16, 24, 49, 49);
    Stxt_coul_1->setToolTip(QStringLiteral("Couleur premier bouton"));
    Stxt_coul_1->raise();

    // One list, in the order of the palette.
    const std::pair<QToolButton*, void (Tfrm_main::*)(QObject*)> handlers[] = {
        {btn_fichier, &Tfrm_main::OnClickFichier},
        {btn_effets, &Tfrm_main::OnClickEffet},
        {btn_outil_normal, &Tfrm_main::btn_outil_normalClick},
        {btn_outil_pinceau, &Tfrm_main::OnClickPinceau},
        {btn_outil_text, &Tfrm_main::OnClickText},
        {btn_outil_pipette, &Tfrm_main::OnClickPipette},
        {btn_outil_pot, &Tfrm_main::btn_outil_potClick},
        {btn_outil_selection, &Tfrm_main::OnClickSelect},
        {btn_outil_rectangle, &Tfrm_main::OnClickRect},
        {btn_outil_ligne, &Tfrm_main::OnLineClick},
        {BitBtn1, &Tfrm_main::OnClickCercle},
        {BitBtn2, &Tfrm_main::OnLineClick},
    };
    // The button of the current tool stays pressed until another tool is
    // chosen; a text button whose font dialog is cancelled gives it back.
    toolButtons_ = new QButtonGroup(this);
    toolButtons_->setExclusive(true);
    for (QToolButton* button : {btn_outil_normal, btn_outil_pinceau, btn_outil_text, btn_outil_pipette, btn_outil_pot,
                                btn_outil_selection, btn_outil_rectangle, btn_outil_ligne, BitBtn1, BitBtn2}) {
        button->setCheckable(true);
        toolButtons_->addButton(button);
    }
    for (const auto& [button, handler] : handlers)
        connect(button, &QToolButton::clicked, this, Guarded([this, button = button, handler = handler] {
                    const unsigned before = toolsMade_;
                    (this->*handler)(button);
                    if (button->isCheckable())
                        ShowCurrentTool(toolsMade_ != before ? button : currentToolButton_);
                }));
    connect(Stxt_coul_1, &TColorWell::clicked, this, Guarded([this] { Stxt_coul_1Click(Stxt_coul_1); }));
    connect(Stxt_coul_2, &TColorWell::clicked, this, Guarded([this] { Stxt_coul_2Click(Stxt_coul_2); }));
}

void Tfrm_main::ShowCurrentTool(QToolButton* button)
{
    currentToolButton_ = button;
    if (button) {
        button->setChecked(true);
        return;
    }
    // An exclusive group keeps one button pressed; none is, until a tool exists.
    toolButtons_->setExclusive(false);
    for (QAbstractButton* b : toolButtons_->buttons())
        b->setChecked(false);
    toolButtons_->setExclusive(true);
}

void Tfrm_main::BuildMenus()
{
    PopupMenu_fe = buildMenu(this, "PopupMenu_fe", fileMenu);
    PopupMenu_effets = buildMenu(this, "PopupMenu_effets", effectsMenu);
    for (auto [button, menu] : {std::pair{btn_fichier, PopupMenu_fe}, std::pair{btn_effets, PopupMenu_effets}}) {
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [button = button, menu = menu](const QPoint& at) { menu->popup(button->mapToGlobal(at)); });
    }
    // Items without a handler do nothing when chosen.
    const std::pair<const char*, void (Tfrm_main::*)(QObject*)> handlers[] = {
        {"Ouvrir1", &Tfrm_main::Ouvrir1Click},
        {"Enregistrer1", &Tfrm_main::Enregistrer1Click},
        {"Enregistrersous1", &Tfrm_main::Enregistrersous1Click},
    };
    for (const auto& [name, handler] : handlers) {
        QAction* item = MenuItem(name);
        connect(item, &QAction::triggered, this, Guarded([this, item, handler = handler] { (this->*handler)(item); }));
    }
    BuildFileShortcuts();
    // The effects menu's items run the command whose row names them.
    for (const commands::Command& command : commands::AllCommands())
        if (QAction* item = command.menuItem ? MenuItem(command.menuItem) : nullptr)
            connect(item, &QAction::triggered, this, Guarded([this, id = command.id] { RunCommand(id); }));
}

void Tfrm_main::BuildDialogs()
{
    const auto fileDialog = [this](const char* name) {
        auto* dialog = new QFileDialog(this);
        dialog->setObjectName(name);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setOption(QFileDialog::HideNameFilterDetails);
        dialog->setIconProvider(FrenchIconProvider());
        dialog->setFileMode(QFileDialog::AnyFile);
        return dialog;
    };
    OpenPictureDialog1 = fileDialog("OpenPictureDialog1");
    OpenPictureDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    SavePictureDialog1 = fileDialog("SavePictureDialog1");
    SavePictureDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SavePictureDialog1->setWindowTitle(QStringLiteral("Sauvegarde"));
    SavePictureDialog1->setOption(QFileDialog::ReadOnly, false);
    SetFileFilters();

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName("ColorDialog1");
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);

    FontDialog1 = new QFontDialog(this);
    FontDialog1->setObjectName("FontDialog1");
    FontDialog1->setOption(QFontDialog::DontUseNativeDialog);
}

QAction* Tfrm_main::MenuItem(const QString& name) const
{
    // Items, separators and submenus all live below their menu.
    for (QMenu* menu : {PopupMenu_fe, PopupMenu_effets})
        if (auto* item = menu->findChild<QAction*>(name))
            return item;
    return nullptr;
}

void Tfrm_main::OnClickFichier(QObject*)
{
    frm_fe->show();
    frm_fe->raise();
    frm_fe->activateWindow();
}

void Tfrm_main::OnClickEffet(QObject*)
{
    frm_effets->show();
    frm_effets->raise();
    frm_effets->activateWindow();
}

void Tfrm_main::FormClose(QObject*)
{
    outil.reset();
    filtre.reset();
    if (dessin)
        dessin->deleteLater();
    dessin = nullptr;
}

void Tfrm_main::RaisePalettes()
{
    // The palettes are the windows that ask to stay on top; raising does not
    // take the keyboard from the document.
    if (isVisible())
        raise();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible() && (window->windowFlags() & Qt::WindowStaysOnTopHint) &&
            !qobject_cast<TDessin*>(window))
            window->raise();
}

void Tfrm_main::closeEvent(QCloseEvent* event)
{
    // A save or an opening under way ends first; the palette then closes as
    // asked, with its question.
    if (AsideRunning()) {
        event->ignore();
        WhenNothingAside(this, [this] { close(); });
        return;
    }
    if (!MayQuit()) {
        event->ignore();
        return;
    }
    // The question was asked once for every image: the windows that Qt closes
    // on the way out ask nothing more.
    quitting_ = true;
    FormClose(this);
    event->accept();
    // Closing the palette ends the program, whatever other window is open.
    QCoreApplication::quit();
}

bool Tfrm_main::MayQuit()
{
    int unsaved = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* document = qobject_cast<TDessin*>(window); document && document->IsModified())
            ++unsaved;
    if (unsaved == 0)
        return true;
    const QString text = unsaved == 1 ? QStringLiteral("1 image n'est pas enregistrée.")
                                      : QStringLiteral("%1 images ne sont pas enregistrées.").arg(unsaved);
    return AskQuestion(this, QMessageBox::Warning, QStringLiteral("Quitter"),
                       text + QStringLiteral("\nQuitter quand même et perdre les modifications ?"),
                       {{QStringLiteral("Quitter sans enregistrer"), QMessageBox::DestructiveRole},
                        {QStringLiteral("Revenir"), QMessageBox::RejectRole}},
                       1) == 0;
}
