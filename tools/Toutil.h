#pragma once

#include "raster/Mouse.h"
#include "raster/TColor.h"

#include <algorithm>
#include <cstdint>
#include <utility>

class TBitmap;
class TCanvas;
class TSelection;

// The base of every drawing tool. The tool borrows the active document's bitmap
// and the row table of its selection mask; it never frees either. The anchor of
// a drag belongs to the document and is handed to Trace by address.
class TOutil {
public:
    TOutil(TBitmap* bmp, std::uint8_t** masque);
    TOutil(const TOutil&) = delete;
    TOutil& operator=(const TOutil&) = delete;

    void SetCouleur1(TColor couleur) { couleur1 = couleur; }
    void SetCouleur2(TColor couleur) { couleur2 = couleur; }
    void SetBmp(TBitmap* bitmap) { bmp = bitmap; }

    // The tool keeps the selection's row table, never the selection itself: the
    // mask always has the bitmap's size.
    virtual void SetMasque(TSelection* selection);
    // The press at (x, y); `canvas` is the document window's canvas.
    virtual void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) = 0;
    // From the document's anchor to (x, y): a drag with the window canvas, or
    // the release with no canvas.
    virtual void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) = 0;
    virtual ~TOutil();

    TColor Couleur1() const { return couleur1; }
    TColor Couleur2() const { return couleur2; }
    TBitmap* GetBmp() const { return bmp; }
    std::uint8_t** Masque() const { return masque; }

protected:
    // The first button draws in couleur1; the right, the middle and any other
    // button in couleur2.
    TColor ColourFor(TMouseButton bouton) const { return bouton == mbLeft ? couleur1 : couleur2; }
    // True when (x, y) lies in the bitmap. Trace returns at once for a current
    // point that does not.
    bool Inside(long long x, long long y) const;
    // True when (x, y) lies in the bitmap and its mask byte allows a change.
    bool Editable(long long x, long long y) const;
    // Writes the colour into the bitmap where Editable allows it.
    void Plot(long long x, long long y, TColor couleur);
    // Writes the colour onto a window canvas, but only where the bitmap pixel
    // below would be editable, so a preview shows the figure's gaps.
    void PlotMasked(TCanvas* canvas, long long x, long long y, TColor couleur) const;

    TColor couleur2;
    TColor couleur1;
    TBitmap* bmp;
    std::uint8_t** masque;
};

// The base of the shape tools; it adds nothing.
class TForme : public TOutil {
public:
    using TOutil::TOutil;
};

namespace lineraster {

// Walks the driving axis u from (u0, v0) to (u1, v1), u0 <= u1 and
// |v1 - v0| <= u1 - u0, visiting only u in [low, high). The minor coordinate
// steps whenever the error term is zero or more. Points before `low` are not
// walked one by one: after k steps the minor axis has moved
// floor((2Ak + D) / 2D) times, which gives the state at `low` directly, so an
// anchor far outside the image costs nothing. 128-bit products keep every
// int pair exact.
template <class Visit>
void Walk(long long u0, long long v0, long long u1, long long v1, long long low, long long high, Visit&& visit)
{
    const long long D = u1 - u0;
    const long long A = v1 > v0 ? v1 - v0 : v0 - v1;
    const long long step = v1 > v0 ? 1 : -1;
    const long long first = std::max(u0, low);
    const long long last = std::min(u1, high - 1);
    if (first > last)
        return;
    const long long k = first - u0;
    const long long moves = k == 0 ? 0 : static_cast<long long>((__int128(2) * A * k + D) / (2 * D));
    long long v = v0 + step * moves;
    long long e = static_cast<long long>(__int128(2) * A * (k + 1) - D - __int128(2) * D * moves);
    visit(first, v);
    for (long long u = first + 1; u <= last; ++u) {
        if (e >= 0) {
            v += step;
            e += 2 * (A - D);
        } else {
            e += 2 * A;
        }
        visit(u, v);
    }
}

} // namespace lineraster

// The integer line of the brush and the line tool, from (x0, y0) to (x1, y1),
// both ends included: max(dx, dy) + 1 points. The longer axis drives (x on a
// tie), the end points are swapped so that the driving coordinate grows, which
// makes the line the same in both directions. Only the points inside
// [0, width) x [0, height) reach plot(x, y), in the order of the walk.
template <class PlotFn> void RasteriseLine(int x0, int y0, int x1, int y1, int width, int height, PlotFn&& plot)
{
    const long long dx = x1 > x0 ? (long long)x1 - x0 : (long long)x0 - x1;
    const long long dy = y1 > y0 ? (long long)y1 - y0 : (long long)y0 - y1;
    if (dx < dy) {
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        lineraster::Walk(y0, x0, y1, x1, 0, height, [&](long long y, long long x) {
            if (x >= 0 && x < width)
                plot(int(x), int(y));
        });
    } else {
        if (x0 > x1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        lineraster::Walk(x0, y0, x1, y1, 0, width, [&](long long x, long long y) {
            if (y >= 0 && y < height)
                plot(int(x), int(y));
        });
    }
}

// The outline of a rectangle between two corners of a drag, as the rectangle
// and the selection draw it: put(c, top) and put(c, bottom) for each column c
// from left to right - 1, then put(left, r) and put(right, r) for each row r
// from top to bottom - 1. The corner (right, bottom) is never visited. Only the
// columns and rows in [0, width) x [0, height) are walked (points beyond them
// would be dropped by any canvas or bitmap of that size); put still receives
// the fixed coordinate as it is and must skip what lies outside.
template <class Put> void WalkOutline(int anchorX, int anchorY, int x, int y, int width, int height, Put&& put)
{
    const int left = std::min(anchorX, x);
    const int right = std::max(anchorX, x);
    const int top = std::min(anchorY, y);
    const int bottom = std::max(anchorY, y);
    for (int c = std::max(left, 0); c < std::min(right, width); ++c) {
        put(c, top);
        put(c, bottom);
    }
    for (int r = std::max(top, 0); r < std::min(bottom, height); ++r) {
        put(left, r);
        put(right, r);
    }
}
