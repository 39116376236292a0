#include "tools/Tformes.h"

#include "raster/TBitmap.h"
#include "raster/TCanvas.h"

#include <cmath>

void TLine::Clic(int x, int y, TMouseButton bouton, TCanvas*)
{
    // The press pixel is the line's first point; the window shows it at the
    // document's next repaint.
    Plot(x, y, ColourFor(bouton));
}

void TLine::Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    if (!Inside(x, y))
        return;
    const TColor c = ColourFor(bouton);
    RasteriseLine(*anchorX, *anchorY, x, y, bmp->Width(), bmp->Height(), [&](int px, int py) {
        if (canvas)
            PlotMasked(canvas, px, py, c);
        else
            Plot(px, py, c);
    });
}

void TRectangle::Clic(int, int, TMouseButton, TCanvas*) { }

void TRectangle::Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    if (!Inside(x, y))
        return;
    const TColor c = ColourFor(bouton);
    if (canvas) {
        // The preview is drawn whole, over protected pixels too.
        WalkOutline(*anchorX, *anchorY, x, y, canvas->Target().Width(), canvas->Target().Height(),
                    [&](int px, int py) { canvas->SetPixels(px, py, c); });
    } else {
        WalkOutline(*anchorX, *anchorY, x, y, bmp->Width(), bmp->Height(), [&](int px, int py) { Plot(px, py, c); });
    }
}

void TCercle::Clic(int, int, TMouseButton, TCanvas*) { }

void TCercle::Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    if (!Inside(x, y))
        return;
    const TColor c = ColourFor(bouton);
    // 64-bit, so an anchor anywhere in the int range cannot overflow.
    const long long ax = *anchorX;
    const long long ay = *anchorY;
    const long long rx = (x > ax ? x - ax : ax - x) / 2;
    const long long ry = (y > ay ? y - ay : ay - y) / 2;
    const long long cx = ax + (x > ax ? rx : -rx);
    const long long cy = ay + (y > ay ? ry : -ry);
    // The angle is a float and each step's sum is rounded back to float, while
    // the point itself is computed in extended precision and truncated: these
    // fix exactly which pixels the outline hits (1257 samples, the last at
    // t = 6.28010).
    float t = 0;
    while (double(t) < 6.283185306) {
        const long double fx = static_cast<long double>(std::cos(double(t))) * rx + cx;
        const long double fy = static_cast<long double>(std::sin(double(t))) * ry + cy;
        const long long px = static_cast<long long>(fx);
        const long long py = static_cast<long long>(fy);
        if (canvas)
            PlotMasked(canvas, px, py, c);
        else
            Plot(px, py, c);
        t = static_cast<float>(static_cast<long double>(t) + 0.005);
    }
}
