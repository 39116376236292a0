#include "tools/Tpipette.h"

#include "app/Form_main.h"
#include "platform/TBitmap.h"
#include "platform/TCanvas.h"

void TPipette::Clic(int x, int y, TMouseButton bouton, TCanvas*)
{
    // A point outside the bitmap has no colour to take: the well keeps its own.
    if (!frm_main || !Inside(x, y))
        return;
    TColorWell* well = bouton == mbLeft ? frm_main->Stxt_coul_1 : bouton == mbRight ? frm_main->Stxt_coul_2 : nullptr;
    if (well)
        well->SetColor(bmp->Canvas()->Pixels(x, y));
}

void TPipette::Trace(int*, int*, int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    // During a drag the well follows the colour under the pointer.
    Clic(x, y, bouton, canvas);
}
