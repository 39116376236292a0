// The main palette's effect, filter and value-dialog commands, all on the
// active document.
#include "app/Form_main.h"

#include "commands/SharedCommands.h"
#include "dialogs/Fomr_cl.h"
#include "dialogs/Form_rvb.h"
#include "document/Tdessin.h"
#include "platform/Screen.h"

void Tfrm_main::Mirroir1Click(QObject*)
{
    if (dessin)
        dessin->Mirror();
}
void Tfrm_main::Flip1Click(QObject*)
{
    if (dessin)
        dessin->Flip();
}
void Tfrm_main::Vagueenabscisse1Click(QObject*)
{
    if (dessin)
        dessin->VagueX();
}
void Tfrm_main::VagueY1Click(QObject*)
{
    if (dessin)
        dessin->VagueY();
}
void Tfrm_main::Tunnel1Click(QObject*)
{
    if (dessin)
        dessin->Cercle1();
}
void Tfrm_main::Pouetpouet1Click(QObject*)
{
    if (dessin)
        dessin->Cercle2();
}
void Tfrm_main::Negatif1Click(QObject*)
{
    if (dessin)
        dessin->InverseColor();
}
void Tfrm_main::NoirBlanc1Click(QObject*)
{
    if (dessin)
        dessin->NB();
}

void Tfrm_main::Blur1Click(QObject*) { RunFilter(commands::MakeFilter<TBlur>); }
void Tfrm_main::Flou1Click(QObject*) { RunFilter(commands::MakeFilter<TFlou>); }
void Tfrm_main::Nettet1Click(QObject*) { RunFilter(commands::MakeFilter<TSharpen>); }
void Tfrm_main::Estompage1Click(QObject*) { RunFilter(commands::MakeFilter<TEmboss>); }
void Tfrm_main::Aquarelle1Click(QObject*) { RunFilter(commands::MakeFilter<TAquarelle>); }

void Tfrm_main::RunFilter(const FilterFactory& make)
{
    Screen->SetCursor(crHourGlass);
    // The arrow comes back whatever happens, with or without a document.
    struct ArrowAtEnd {
        ~ArrowAtEnd() { Screen->SetCursor(crArrow); }
    } arrow;
    if (!dessin || !dessin->GetBmp() || !dessin->GetSelection())
        return;
    filtre.reset();
    // The filter keeps referring to the run's copy, which is gone: it is never
    // applied again, only destroyed by the next filter command or at the end.
    dessin->RecordChange([&] { filtre = commands::RunFilter(*dessin->GetBmp(), *dessin->GetSelection(), make); });
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
    if (dessin && contraste != -1 && luminosite != -1)
        dessin->AdjustContrastDialog(contraste, luminosite);
}
