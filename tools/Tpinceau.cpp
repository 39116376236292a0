#include "tools/Tpinceau.h"

#include "raster/TBitmap.h"
#include "raster/TCanvas.h"

void TPinceau::Clic(int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    if (!Editable(x, y))
        return;
    const TColor c = ColourFor(bouton);
    bmp->Canvas()->SetPixels(x, y, c);
    // The window is drawn too, so a single click shows at once.
    if (canvas)
        canvas->SetPixels(x, y, c);
}

void TPinceau::Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas*)
{
    if (!Inside(x, y))
        return;
    const TColor c = ColourFor(bouton);
    // Into the bitmap only: the document's next repaint shows the segment.
    RasteriseLine(*anchorX, *anchorY, x, y, bmp->Width(), bmp->Height(), [&](int px, int py) { Plot(px, py, c); });
    *anchorX = x;
    *anchorY = y;
}

void TGomme::Clic(int x, int y, TMouseButton, TCanvas* canvas)
{
    constexpr int kSide = 16;
    // Column by column; coordinates in 64 bits so a square near the int limits
    // cannot overflow.
    for (int i = 0; i < kSide; ++i) {
        for (int j = 0; j < kSide; ++j) {
            const long long px = (long long)x + i;
            const long long py = (long long)y + j;
            if (!Editable(px, py))
                continue;
            bmp->Canvas()->SetPixels(int(px), int(py), couleur2);
            if (canvas)
                canvas->SetPixels(int(px), int(py), couleur2);
        }
    }
}

void TGomme::Trace(int*, int*, int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    // The anchor stays at the press point for the whole drag.
    Clic(x, y, bouton, canvas);
}
