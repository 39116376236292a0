#pragma once

#include "kernels/Tselection.h"
#include "raster/Mouse.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"
#include "support/Images.h"

#include <memory>
#include <set>
#include <utility>
#include <vector>

class TOutil;

namespace toolscene {

using Point = std::pair<int, int>;
using Points = std::set<Point>;

// A document as the tools see it: an image, its selection mask, and a window
// surface that shows the image 1:1 (the canvas handed to Clic and Trace). The
// anchor and the routing of moves and releases follow the document window:
// a move or release reaches the tool only when it differs from the anchor in x
// or in y, and the window is repainted from the image before each drag call
// and after the release.
struct Scene {
    Scene(int width, int height, TColor colour = clWhite);

    // The tool on this scene's image and mask; `extra` follows them (the
    // palette tools' host).
    template <class Tool, class... Extra> std::unique_ptr<Tool> Make(Extra... extra)
    {
        return std::make_unique<Tool>(image.get(), selection.GetRows(), extra...);
    }

    TCanvas* Window() { return window.Canvas(); }
    void Repaint() { window.Canvas()->Draw(0, 0, *image); }
    // Sets the mask byte of every pixel in [x0, x1) x [y0, y1) to `value`.
    void Mask(int x0, int y0, int x1, int y1, std::uint8_t value);

    void Press(TOutil& tool, int x, int y, TMouseButton button = mbLeft);
    void Move(TOutil& tool, int x, int y, bool left = true, bool right = false);
    void Release(TOutil& tool, int x, int y, TMouseButton button = mbLeft);
    // Press at the first point, moves to the others, release at the last.
    void Stroke(TOutil& tool, const std::vector<Point>& points, TMouseButton button = mbLeft);

    std::unique_ptr<TBitmap> image;
    TSelection selection;
    TBitmap window;
    int anchorX = -1;
    int anchorY = -1;
};

// The pixels of the bitmap that have the colour.
Points Where(const TBitmap& bitmap, TColor colour);
// The pixels that differ between two bitmaps of the same size.
Points Changed(const TBitmap& before, const TBitmap& after);
// The points of the shared rasteriser, in the order it plots them, in a large box.
std::vector<Point> LinePoints(int x0, int y0, int x1, int y1);
Points LineSet(int x0, int y0, int x1, int y1);

} // namespace toolscene
