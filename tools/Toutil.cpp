#include "tools/Toutil.h"

#include "kernels/Tselection.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"

TOutil::TOutil(TBitmap* bmp_, std::uint8_t** masque_) : bmp(bmp_), masque(masque_)
{
    SetCouleur2(0xFFFFFF);
    SetCouleur1(0);
}

TOutil::~TOutil() = default;

// The tools only read the mask; the selection tool writes it through the
// selection itself.
void TOutil::SetMasque(TSelection* selection) { masque = selection ? selection->ReadRows() : nullptr; }

bool TOutil::Inside(long long x, long long y) const
{
    return bmp && x >= 0 && y >= 0 && x < bmp->Width() && y < bmp->Height();
}

bool TOutil::Editable(long long x, long long y) const { return masque && Inside(x, y) && masque[y][x] != 0; }

void TOutil::Plot(long long x, long long y, TColor couleur)
{
    if (Editable(x, y))
        bmp->Canvas()->SetPixels(int(x), int(y), couleur);
}

void TOutil::PlotMasked(TCanvas* canvas, long long x, long long y, TColor couleur) const
{
    if (Editable(x, y))
        canvas->SetPixels(int(x), int(y), couleur);
}
