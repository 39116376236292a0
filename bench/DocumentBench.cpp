// One forwarded move of the line tool across a 6000 x 4000 document window:
// the previous preview is taken off the window canvas and the new one drawn.
#include "LineHost.h"
#include "document/Tdessin.h"
#include "tools/Tformes.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

void BM_LineMoveAcrossDocument(benchmark::State& state)
{
    benchhost::App();
    const int width = 6000, height = 4000;
    benchhost::LineHost host;
    TDessin document(&host, width, height);
    document.OnMouseDown(&document, mbLeft, ssLeft, 0, 0);
    bool corner = true;
    for (auto _ : state) {
        // Two diagonals from the press point, one after the other.
        document.OnMouseMove(&document, ssLeft, corner ? width - 1 : width - 7, corner ? height - 1 : height - 3);
        corner = !corner;
        benchmark::DoNotOptimize(document.WindowCanvas()->Target().ScanLine(height - 1)[0]);
    }
}

} // namespace

BENCHMARK(BM_LineMoveAcrossDocument)->Unit(benchmark::kMicrosecond);
