// The paint bucket over a whole 6000 x 4000 image of one colour: 24 million
// pixels, each processed once, painted on the window and in the bitmap. The
// walk goes over one bit per pixel; the window and the bitmap are then painted
// row by row, and the window's canvas hears of the fill once.
#include "kernels/Tselection.h"
#include "platform/TBitmap.h"
#include "platform/TCanvas.h"
#include "tools/Tpot.h"

#include <QRect>
#include <benchmark/benchmark.h>

namespace {

enum class Window { watched, plain, none };

void fillWholeImage(benchmark::State& state, Window kind)
{
    const int width = 6000, height = 4000;
    TBitmap image;
    image.SetSize(width, height);
    TBitmap window;
    window.SetSize(width, height);
    // A document window's canvas grows a dirty rectangle with every change.
    QRect dirty;
    if (kind == Window::watched)
        window.Canvas()->SetChangeNotifier([&dirty](const QRect& r) { dirty |= r; });
    TSelection selection(width, height);
    TPot pot(&image, selection.GetRows());
    bool black = true;
    for (auto _ : state) {
        // Alternate black and white, so each pass fills the whole image again.
        pot.SetCouleur1(black ? clBlack : clWhite);
        pot.Clic(width / 2, height / 2, mbLeft, kind == Window::none ? nullptr : window.Canvas());
        black = !black;
        benchmark::DoNotOptimize(image.ScanLine(0)[0]);
    }
    state.SetItemsProcessed(state.iterations() * qint64(width) * height);
}

// As in a document: the window's canvas grows its dirty rectangle with the
// change it is told of.
void BM_FillWholeImage(benchmark::State& state) { fillWholeImage(state, Window::watched); }
// The same on a canvas that nobody watches.
void BM_FillWholeImagePlainWindow(benchmark::State& state) { fillWholeImage(state, Window::plain); }
// The walk and the bitmap alone, without any window.
void BM_FillWholeImageNoWindow(benchmark::State& state) { fillWholeImage(state, Window::none); }

} // namespace

BENCHMARK(BM_FillWholeImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillWholeImagePlainWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillWholeImageNoWindow)->Unit(benchmark::kMillisecond);
