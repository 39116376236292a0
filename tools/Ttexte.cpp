#include "tools/Ttexte.h"

#include "raster/TBitmap.h"
#include "raster/TCanvas.h"
#include "tools/ToolHost.h"

#include <climits>

void TTexte::Clic(int x, int y, TMouseButton, TCanvas*)
{
    if (!host_)
        return;
    // The text goes into the image clicked, even when another window is
    // activated while the box is open.
    TBitmap* const image = bmp;
    texte = host_->AskText();
    // Cancel, the close box and an empty edit all leave the text empty.
    if (texte.isEmpty() || !image)
        return;
    // A font chosen by size has a negative Height, so the text's top-left
    // corner lies |Height| pixels right of and below the click.
    TCanvas* canvas = image->Canvas();
    const long long h = canvas->Font().Height;
    const long long left = x - h;
    const long long top = y - h;
    // A corner beyond the int range is far outside any image.
    if (left < INT_MIN || left > INT_MAX || top < INT_MIN || top > INT_MAX)
        return;
    canvas->TextOut(int(left), int(top), texte);
    host_->ImageChanged();
}

void TTexte::Trace(int*, int*, int x, int y, TMouseButton bouton, TCanvas* canvas) { Clic(x, y, bouton, canvas); }
