#include "app/Form_main.h"

#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_effets.h"
#include "dialogs/Form_fichier.h"
#include "dialogs/Form_nouveau.h"
#include "dialogs/Form_rvb.h"
#include "document/Tdessin.h"
#include "filters/Tfiltre.h"
#include "platform/Application.h"
#include "platform/Forms.h"
#include "platform/Glyphs.h"
#include "platform/Screen.h"
#include "platform/TFont.h"
#include "tools/Tformes.h"
#include "tools/Tpinceau.h"
#include "tools/Tpipette.h"
#include "tools/Tpot.h"
#include "tools/Tselectrect.h"
#include "tools/Ttexte.h"

#include <QAction>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QMenu>
#include <QToolButton>

Tfrm_main* frm_main = nullptr;

namespace {

QColor toQColor(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
TColor fromQColor(const QColor& c) { return RGBColor(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue())); }

// One line of a right-click menu: the item's name, its caption ("-" for a
// separator), and the submenu it belongs to (empty for the top level).
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
    {"Mirroir1", "&Mirroir", "N2D1"},
    {"Flip1", "&Flip", "N2D1"},
    {"Vagueenabscisse1", "VagueX", "N2D1"},
    {"VagueY1", "VagueY", "N2D1"},
    {"Tunnel1", "Tunnel", "N2D1"},
    {"Pouetpouet1", "Pouet pouet", "N2D1"},
    {"Attnuation1", "&Atténuation", nullptr},
    {"Flou1", "&Flou", "Attnuation1"},
    {"Blur1", "&Blur", "Attnuation1"},
    {"Divers1", "&Divers", nullptr},
    {"Aquarelle1", "&Aquarelle", "Divers1"},
    {"Estompage1", "&Estampage", "Divers1"},
    {"Palette1", "&Palette", nullptr},
    {"Contraste1", "&Contraste", "Palette1"},
    {"Gamma1", "&Gamma", "Palette1"},
    {"Couleurs1", "C&ouleurs", "Palette1"},
    {"Negatif1", "&Négatif", "Palette1"},
    {"NoirBlanc1", "Noir et Blanc", "Palette1"},
    {"Renforcement1", "&Renforcement", nullptr},
    {"Nettet1", "&Netteté", "Renforcement1"},
};

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
            QMenu* sub = into->addMenu(QString::fromUtf8(line.caption));
            sub->setObjectName(line.name);
            submenus[line.name] = sub;
            action = sub->menuAction();
        } else if (QString(line.caption) == "-") {
            action = into->addSeparator();
        } else {
            action = into->addAction(QString::fromUtf8(line.caption));
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
    BuildButtons();
    BuildMenus();
    BuildDialogs();
    // Whatever the layout says, the palette sits in the top-left corner.
    move(0, 0);
    dessin = nullptr;
}

Tfrm_main::~Tfrm_main() = default;

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
    btn_fichier = captioned("btn_fichier", 0, QStringLiteral("Fichier"), QStringLiteral("Affiche le menu Fichier / Edition"));
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
    for (const auto& [button, handler] : handlers)
        connect(button, &QToolButton::clicked, this, Guarded([this, button, handler] { (this->*handler)(button); }));
    connect(Stxt_coul_1, &TColorWell::clicked, this, Guarded([this] { Stxt_coul_1Click(Stxt_coul_1); }));
    connect(Stxt_coul_2, &TColorWell::clicked, this, Guarded([this] { Stxt_coul_2Click(Stxt_coul_2); }));
}

void Tfrm_main::BuildMenus()
{
    PopupMenu_fe = buildMenu(this, "PopupMenu_fe", fileMenu);
    PopupMenu_effets = buildMenu(this, "PopupMenu_effets", effectsMenu);
    for (auto [button, menu] : {std::pair{btn_fichier, PopupMenu_fe}, std::pair{btn_effets, PopupMenu_effets}}) {
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [button, menu](const QPoint& at) { menu->popup(button->mapToGlobal(at)); });
    }
    // Items without a handler do nothing when chosen.
    const std::pair<const char*, void (Tfrm_main::*)(QObject*)> handlers[] = {
        {"Ouvrir1", &Tfrm_main::Ouvrir1Click},
        {"Enregistrer1", &Tfrm_main::Enregistrer1Click},
        {"Enregistrersous1", &Tfrm_main::Enregistrersous1Click},
        {"Mirroir1", &Tfrm_main::Mirroir1Click},
        {"Flip1", &Tfrm_main::Flip1Click},
        {"Vagueenabscisse1", &Tfrm_main::Vagueenabscisse1Click},
        {"VagueY1", &Tfrm_main::VagueY1Click},
        {"Tunnel1", &Tfrm_main::Tunnel1Click},
        {"Pouetpouet1", &Tfrm_main::Pouetpouet1Click},
        {"Flou1", &Tfrm_main::Flou1Click},
        {"Blur1", &Tfrm_main::Blur1Click},
        {"Aquarelle1", &Tfrm_main::Aquarelle1Click},
        {"Estompage1", &Tfrm_main::Estompage1Click},
        {"Negatif1", &Tfrm_main::Negatif1Click},
        {"NoirBlanc1", &Tfrm_main::NoirBlanc1Click},
        {"Nettet1", &Tfrm_main::Nettet1Click},
    };
    for (const auto& [name, handler] : handlers) {
        QAction* item = MenuItem(name);
        connect(item, &QAction::triggered, this, Guarded([this, item, handler] { (this->*handler)(item); }));
    }
}

void Tfrm_main::BuildDialogs()
{
    const auto fileDialog = [this](const char* name) {
        auto* dialog = new QFileDialog(this);
        dialog->setObjectName(name);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setOption(QFileDialog::HideNameFilterDetails);
        dialog->setNameFilter(QStringLiteral("Image Bitmap (*.bmp)"));
        dialog->setFileMode(QFileDialog::AnyFile);
        return dialog;
    };
    OpenPictureDialog1 = fileDialog("OpenPictureDialog1");
    OpenPictureDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    SavePictureDialog1 = fileDialog("SavePictureDialog1");
    SavePictureDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SavePictureDialog1->setWindowTitle(QStringLiteral("Sauvegarde"));
    SavePictureDialog1->setOption(QFileDialog::ReadOnly, false);

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

void Tfrm_main::ReplaceTool(std::unique_ptr<TOutil> tool)
{
    // The old tool goes first; the new one has no image and no mask, and the
    // default colours, until a document window is activated.
    outil.reset();
    outil = std::move(tool);
}

void Tfrm_main::btn_outil_normalClick(QObject*) { ReplaceTool(std::make_unique<TGomme>(nullptr, nullptr)); }
void Tfrm_main::OnClickPinceau(QObject*) { ReplaceTool(std::make_unique<TPinceau>(nullptr, nullptr)); }
void Tfrm_main::OnClickPipette(QObject*) { ReplaceTool(std::make_unique<TPipette>(nullptr, nullptr)); }
void Tfrm_main::btn_outil_potClick(QObject*) { ReplaceTool(std::make_unique<TPot>(nullptr, nullptr)); }
void Tfrm_main::OnClickSelect(QObject*) { ReplaceTool(std::make_unique<TSelectRect>(nullptr, nullptr)); }
void Tfrm_main::OnClickRect(QObject*) { ReplaceTool(std::make_unique<TRectangle>(nullptr, nullptr)); }
void Tfrm_main::OnLineClick(QObject*) { ReplaceTool(std::make_unique<TLine>(nullptr, nullptr)); }
void Tfrm_main::OnClickCercle(QObject*) { ReplaceTool(std::make_unique<TCercle>(nullptr, nullptr)); }

void Tfrm_main::OnClickText(QObject*)
{
    if (!dessin || !dessin->GetBmp())
        return;
    FontDialog1->setCurrentFont(fontDialogFont_);
    if (FontDialog1->exec() != QDialog::Accepted)
        return;
    fontDialogFont_ = FontDialog1->selectedFont();
    // The text tool writes with the font of the image's own canvas.
    dessin->GetBmp()->Canvas()->SetFont(TFont::FromQFont(fontDialogFont_, clBlack));
    ReplaceTool(std::make_unique<TTexte>(nullptr, nullptr));
}

TColor Tfrm_main::PickColour()
{
    // The dialog opens on its own last colour, not on the well's; Cancel keeps
    // that colour, so the well still takes it.
    ColorDialog1->setCurrentColor(toQColor(colourDialogColour_));
    if (ColorDialog1->exec() == QDialog::Accepted)
        colourDialogColour_ = fromQColor(ColorDialog1->currentColor());
    return colourDialogColour_;
}

void Tfrm_main::Stxt_coul_1Click(QObject*)
{
    Stxt_coul_1->SetColor(PickColour());
    if (outil)
        outil->SetCouleur1(Stxt_coul_1->Color());
}

void Tfrm_main::Stxt_coul_2Click(QObject*)
{
    Stxt_coul_2->SetColor(PickColour());
    if (outil)
        outil->SetCouleur2(Stxt_coul_2->Color());
}

void Tfrm_main::Nouveau1Click(QObject*)
{
    TFrm_nouveau dialog(this);
    // Preset to "cancelled", so a dialog closed by neither button creates nothing.
    std::int32_t largeur = -1;
    std::int32_t hauteur = -1;
    dialog.SetRetour(&largeur, &hauteur);
    dialog.ShowModal();
    if (hauteur > 0 && largeur > 0) {
        if (!BitmapSizeAllowed(largeur, hauteur)) {
            ShowMessageBox(QStringLiteral("Impossible de créer une image de %1 x %2 pixels : chaque côté doit faire "
                                          "au plus %3 pixels et l'image au plus 1 Gio.")
                               .arg(largeur).arg(hauteur).arg(kMaxBitmapSide),
                           QStringLiteral("Nouveau fichier"), MB_OK | MB_ICONERROR);
            return;
        }
        auto* document = new TDessin(this, largeur, hauteur);
        document->show();
    }
}

void Tfrm_main::Ouvrir1Click(QObject*)
{
    if (OpenPictureDialog1->exec() != QDialog::Accepted)
        return;
    bool canClose = true;
    OpenPictureDialog1CanClose(OpenPictureDialog1, canClose);
}

void Tfrm_main::OpenPictureDialog1CanClose(QObject*, bool& canClose)
{
    if (!canClose)
        return;
    const QStringList files = OpenPictureDialog1->selectedFiles();
    const QString fileName = files.isEmpty() ? QString() : files.first();
    // A name typed by hand that does not exist opens nothing.
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return;
    auto* document = new TDessin(this, fileName);
    document->show();
}

void Tfrm_main::Enregistrer1Click(QObject*)
{
    if (!dessin || !dessin->GetBmp())
        return;
    dessin->show();
    dessin->raise();
    dessin->GetBmp()->SaveToFile(dessin->windowTitle());
}

void Tfrm_main::Enregistrersous1Click(QObject*)
{
    if (SavePictureDialog1->exec() != QDialog::Accepted)
        return;
    bool canClose = true;
    SavePictureDialog1CanClose(SavePictureDialog1, canClose);
}

void Tfrm_main::SavePictureDialog1CanClose(QObject*, bool& canClose)
{
    if (!canClose)
        return;
    const QStringList files = SavePictureDialog1->selectedFiles();
    QString fileName = files.isEmpty() ? QString() : files.first();
    // Only a name without ".bmp" anywhere in it gets the extension.
    if (!fileName.contains(QStringLiteral(".bmp"), Qt::CaseSensitive)) {
        fileName += QStringLiteral(".bmp");
        SavePictureDialog1->selectFile(fileName);
    }
    if (!dessin || !dessin->GetBmp())
        return;
    dessin->GetBmp()->SaveToFile(fileName);
}

void Tfrm_main::Mirroir1Click(QObject*) { if (dessin) dessin->Mirror(); }
void Tfrm_main::Flip1Click(QObject*) { if (dessin) dessin->Flip(); }
void Tfrm_main::Vagueenabscisse1Click(QObject*) { if (dessin) dessin->VagueX(); }
void Tfrm_main::VagueY1Click(QObject*) { if (dessin) dessin->VagueY(); }
void Tfrm_main::Tunnel1Click(QObject*) { if (dessin) dessin->Cercle1(); }
void Tfrm_main::Pouetpouet1Click(QObject*) { if (dessin) dessin->Cercle2(); }
void Tfrm_main::Negatif1Click(QObject*) { if (dessin) dessin->InverseColor(); }
void Tfrm_main::NoirBlanc1Click(QObject*) { if (dessin) dessin->NB(); }

namespace {
template <typename Filter> std::unique_ptr<TFiltre> makeFilter(TBitmap& copy)
{
    return std::make_unique<Filter>(copy);
}
} // namespace

void Tfrm_main::Blur1Click(QObject*) { RunFilter(makeFilter<TBlur>); }
void Tfrm_main::Flou1Click(QObject*) { RunFilter(makeFilter<TFlou>); }
void Tfrm_main::Nettet1Click(QObject*) { RunFilter(makeFilter<TSharpen>); }
void Tfrm_main::Estompage1Click(QObject*) { RunFilter(makeFilter<TEmboss>); }
void Tfrm_main::Aquarelle1Click(QObject*) { RunFilter(makeFilter<TAquarelle>); }

void Tfrm_main::RunFilter(const FilterFactory& make)
{
    Screen->SetCursor(crHourGlass);
    // The arrow comes back whatever happens, with or without a document.
    struct ArrowAtEnd {
        ~ArrowAtEnd() { Screen->SetCursor(crArrow); }
    } arrow;
    if (!dessin || !dessin->GetBmp())
        return;
    // An exact 24-bit copy of the image, the size of the document's.
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(*dessin->GetBmp());
    copy->SetPixelFormat(pf24bit);
    filtre.reset();
    filtre = make(*copy);
    filtre->Apply();
    dessin->fusionMasque(copy.get());
    // The filter keeps referring to the copy, which goes now: it is never
    // applied again, only destroyed by the next filter command or at the end.
    copy.reset();
    dessin->OnPaint();
}

void Tfrm_main::Couleurs1Click(QObject*)
{
    Tfrm_rvb dialog(this);
    // Preset to "cancelled", so the close box applies nothing.
    std::int32_t rouge = -1, vert = -1, bleu = -1;
    dialog.SetRetour(&rouge, &vert, &bleu);
    dialog.ShowModal();
    if (dessin && rouge != -1 && vert != -1 && bleu != -1)
        dessin->AdjustColor(std::uint8_t(rouge), std::uint8_t(vert), std::uint8_t(bleu));
}

void Tfrm_main::Contraste1Click(QObject*)
{
    Tfrm_CL dialog(this);
    std::int32_t contraste = -1, luminosite = -1;
    dialog.SetRetour(&contraste, &luminosite);
    dialog.ShowModal();
    if (dessin && contraste != -1 && luminosite != -1) {
        dessin->AdjustContrast(std::uint8_t(contraste));
        dessin->AdjustLuminosite(luminosite - 128);
    }
}

void Tfrm_main::FormClose(QObject*)
{
    outil.reset();
    filtre.reset();
    if (dessin)
        dessin->deleteLater();
    dessin = nullptr;
}

void Tfrm_main::closeEvent(QCloseEvent* event)
{
    FormClose(this);
    event->accept();
    // Closing the palette ends the program, whatever other window is open.
    QCoreApplication::quit();
}
