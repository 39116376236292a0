// The cost of recording undo steps on a 6000 x 4000 image: a whole-image step
// (the copy taken before an effect and the comparison after it) and a brush
// stroke of 100 pixels (rows copied as they are first written, then the
// changed spans kept). The change itself is not timed for the whole image.
// The bucket's step fills a 100 x 100 square and reports the bytes the step
// keeps and the rows it copied on the way.
#include "kernels/Tselection.h"
#include "model/Thistorique.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"
#include "tools/Tpot.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

void wholeImageStep(benchmark::State& state)
{
    TBitmap image;
    image.SetSize(kWidth, kHeight);
    const qint64 budget = HistoryBudget();
    SetHistoryBudget(qint64(4) * kWidth * 3 * kHeight);
    {
        THistorique historique(image);
        for (auto _ : state) {
            historique.BeginWhole();
            state.PauseTiming();
            for (int row = 0; row < kHeight; ++row) {
                std::uint8_t* pixels = image.ScanLine(row);
                for (int i = 0; i < kWidth * 3; ++i)
                    pixels[i] = std::uint8_t(~pixels[i]);
            }
            state.ResumeTiming();
            historique.EndWhole();
        }
    }
    SetHistoryBudget(budget);
}
BENCHMARK(wholeImageStep)->Unit(benchmark::kMillisecond)->UseRealTime();

void brushStep(benchmark::State& state)
{
    TBitmap image;
    image.SetSize(kWidth, kHeight);
    THistorique historique(image);
    bool black = true;
    for (auto _ : state) {
        historique.BeginGesture();
        const TColor colour = black ? clBlack : clWhite;
        for (int i = 0; i < 100; ++i)
            image.Canvas()->SetPixels(2000 + i, 1500 + i / 2, colour);
        historique.EndGesture();
        black = !black;
    }
}
BENCHMARK(brushStep)->Unit(benchmark::kMicrosecond)->UseRealTime();

void fillStep(benchmark::State& state)
{
    TBitmap image;
    image.SetSize(kWidth, kHeight);
    for (int y = 1500; y < 1600; ++y)
        image.Canvas()->FillSpan(2000, y, 100, clBlack);
    TSelection selection(kWidth, kHeight);
    // Counts the rows the history is asked to keep, then passes them on.
    struct Counting : TRowWatcher {
        TRowWatcher* history = nullptr;
        int rows = 0;
        void RowTouched(int row) override
        {
            ++rows;
            history->RowTouched(row);
        }
    } counting;
    THistorique historique(image);
    const qint64 heldBefore = HistoryHeldBytes();
    bool red = true;
    for (auto _ : state) {
        historique.BeginGesture();
        counting.history = image.RowWatcher();
        counting.rows = 0;
        image.SetRowWatcher(&counting);
        TPot pot(&image, selection.GetRows());
        pot.SetCouleur1(red ? RGBColor(255, 0, 0) : clBlack);
        pot.Clic(2050, 1550, mbLeft, nullptr);
        image.SetRowWatcher(counting.history);
        historique.EndGesture();
        red = !red;
    }
    state.counters["rows_copied"] = counting.rows;
    state.counters["bytes_kept_per_step"] = double(HistoryHeldBytes() - heldBefore) / double(historique.UndoCount());
}
BENCHMARK(fillStep)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
