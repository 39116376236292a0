// Recovery copies of a changed 6000 x 4000 image: the longest the event loop
// waits while a copy is taken and written ("stall_max_ms", to stay under
// 20 ms), and how long a whole copy takes. A 1 ms timer stands for the user
// interface: each gap between its ticks beyond 1 ms is a stall.
#include "LineHost.h"
#include "document/Recovery.h"
#include "document/Tdessin.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

void BM_RecoveryCopyStall(benchmark::State& state)
{
    benchhost::App();
    benchhost::LineHost host;
    TDessin document(&host, 6000, 4000);
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/velmora-bench-XXXXXX"));
    TRecovery recovery(folder.path() + QStringLiteral("/recuperation"));
    recovery.SetInterval(0);
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        document.InverseColor(); // the change is the user's, not the copy's
        state.ResumeTiming();
        QElapsedTimer gap;
        double longest = 0;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
            gap.restart();
        });
        recovery.Poll();
        recovery.Poll();
        gap.start();
        ticker.start();
        while (recovery.Busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        ticker.stop();
        worst = std::max(worst, longest);
        state.counters["stall_ms"] = benchmark::Counter(longest, benchmark::Counter::kAvgIterations);
    }
    state.counters["stall_max_ms"] = worst;
    state.counters["copies"] = recovery.CopiesWritten();
}

} // namespace

BENCHMARK(BM_RecoveryCopyStall)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);
