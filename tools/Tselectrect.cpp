#include "tools/Tselectrect.h"

#include "kernels/Tselection.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"

#include <cstring>

void TSelectRect::SetMasque(TSelection* selection)
{
    selection_ = selection;
    TOutil::SetMasque(selection);
}

void TSelectRect::SetWholeMask(std::uint8_t value)
{
    if (!bmp || !masque)
        return;
    if (selection_ && value == 1) {
        selection_->SelectAll();
        return;
    }
    for (int y = 0; y < bmp->Height(); ++y)
        std::memset(masque[y], value, size_t(bmp->Width()));
}

void TSelectRect::Clic(int, int, TMouseButton, TCanvas*) { SetWholeMask(1); }

void TSelectRect::Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    if (!Inside(x, y) || !masque)
        return;
    if (canvas) {
        // The same outline as the rectangle's preview, over protected pixels too.
        const TColor c = ColourFor(bouton);
        WalkOutline(*anchorX, *anchorY, x, y, canvas->Target().Width(), canvas->Target().Height(),
                    [&](int px, int py) { canvas->SetPixels(px, py, c); });
        return;
    }
    if (selection_) {
        selection_->SelectRectangle(*anchorX, *anchorY, x, y);
        return;
    }
    // Released on the anchor's row or column, the rectangle spans no pixel: the
    // whole image stays editable, as the press left it.
    if (x == *anchorX || y == *anchorY) {
        SetWholeMask(1);
        return;
    }
    SetWholeMask(0);
    // The right column and the bottom row stay out; an anchor outside the
    // bitmap gives a rectangle clipped to it.
    const int left = std::max(std::min(*anchorX, x), 0);
    const int right = std::min(std::max(*anchorX, x), bmp->Width());
    const int top = std::max(std::min(*anchorY, y), 0);
    const int bottom = std::min(std::max(*anchorY, y), bmp->Height());
    for (int row = top; row < bottom; ++row)
        if (right > left)
            std::memset(masque[row] + left, 1, size_t(right - left));
}
