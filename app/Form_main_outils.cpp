// The main palette's tool buttons and colour wells, and what the tools ask of
// the palette as their host.
#include "app/Form_main.h"

#include "dialogs/Form_entree.h"
#include "document/Tdessin.h"
#include "model/ImageDocument.h"
#include "raster/TFont.h"
#include "tools/Tformes.h"
#include "tools/Tpinceau.h"
#include "tools/Tpipette.h"
#include "tools/Tpot.h"
#include "tools/Tselectrect.h"
#include "tools/Ttexte.h"

#include <QColorDialog>
#include <QFontDialog>

namespace {

QColor toQColor(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
TColor fromQColor(const QColor& c)
{
    return RGBColor(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
}

} // namespace

void Tfrm_main::ReplaceTool(std::unique_ptr<TOutil> tool)
{
    // A piece floating over the active image is set down: the new tool
    // works on the image as it shows.
    if (dessin && dessin->Model())
        dessin->Model()->SetDown();
    // The old tool goes first; the new one has no image and no mask, and the
    // default colours, until a document window is activated.
    outil.reset();
    outil = std::move(tool);
    ++toolsMade_;
}

void Tfrm_main::btn_outil_normalClick(QObject*) { ReplaceTool(std::make_unique<TGomme>(nullptr, nullptr)); }
void Tfrm_main::OnClickPinceau(QObject*) { ReplaceTool(std::make_unique<TPinceau>(nullptr, nullptr)); }
void Tfrm_main::OnClickPipette(QObject*) { ReplaceTool(std::make_unique<TPipette>(nullptr, nullptr, this)); }
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
    ReplaceTool(std::make_unique<TTexte>(nullptr, nullptr, this));
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

void Tfrm_main::SetWellColour(TMouseButton bouton, TColor couleur)
{
    TColorWell* well = bouton == mbLeft ? Stxt_coul_1 : bouton == mbRight ? Stxt_coul_2 : nullptr;
    if (well)
        well->SetColor(couleur);
}

QString Tfrm_main::AskText()
{
    QString texte;
    if (!Frm_entree)
        return texte;
    // The dialog writes the text through retourTexte on OK only.
    Frm_entree->retourTexte = &texte;
    Frm_entree->ShowModal();
    return texte;
}

void Tfrm_main::ImageChanged()
{
    if (dessin)
        dessin->OnPaint();
}
