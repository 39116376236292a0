// The paint bucket over a whole 6000 x 4000 image of one colour: 24 million
// pixels, each processed once, painted in the bitmap and on the window. The
// walk goes over one bit per pixel; the bitmap and the window are then painted
// row by row, and the window's canvas hears of the fill once. A window's
// canvas draws over the image it shows: where the image already has the
// colour, it keeps nothing.
#include "kernels/Tselection.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"
#include "tools/Tpot.h"

#include <QRect>
#include <benchmark/benchmark.h>

namespace {

enum class Window { document, none };

void fillWholeImage(benchmark::State& state, Window kind)
{
    const int width = 6000, height = 4000;
    TBitmap image;
    image.SetSize(width, height);
    // A document window's canvas over the image, growing a dirty rectangle
    // with every change.
    TTileOverlay overlay(image);
    TCanvas window(image, overlay);
    QRect dirty;
    window.SetChangeNotifier([&dirty](const QRect& r) { dirty |= r; });
    TSelection selection(width, height);
    TPot pot(&image, selection.GetRows());
    bool black = true;
    for (auto _ : state) {
        // Alternate black and white, so each pass fills the whole image again.
        pot.SetCouleur1(black ? clBlack : clWhite);
        pot.Clic(width / 2, height / 2, mbLeft, kind == Window::none ? nullptr : &window);
        overlay.Clear(); // the release shows the image again
        black = !black;
        benchmark::DoNotOptimize(image.ScanLine(0)[0]);
    }
    state.SetItemsProcessed(state.iterations() * qint64(width) * height);
}

// As in a document window.
void BM_FillWholeImage(benchmark::State& state) { fillWholeImage(state, Window::document); }
// The walk and the bitmap alone, without any window.
void BM_FillWholeImageNoWindow(benchmark::State& state) { fillWholeImage(state, Window::none); }

} // namespace

BENCHMARK(BM_FillWholeImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillWholeImageNoWindow)->Unit(benchmark::kMillisecond);
