#include "tools/Tpipette.h"

#include "raster/TBitmap.h"
#include "raster/TCanvas.h"
#include "tools/ToolHost.h"

void TPipette::Clic(int x, int y, TMouseButton bouton, TCanvas*)
{
    // A point outside the bitmap has no colour to take: the well keeps its own.
    if (!host_ || !Inside(x, y))
        return;
    host_->SetWellColour(bouton, bmp->Canvas()->Pixels(x, y));
}

void TPipette::Trace(int*, int*, int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    // During a drag the well follows the colour under the pointer.
    Clic(x, y, bouton, canvas);
}
