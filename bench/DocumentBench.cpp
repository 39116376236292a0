// One forwarded move of the line tool across a 6000 x 4000 document window:
// the previous preview is taken off the window canvas and the new one drawn.
#include "document/DocumentHost.h"
#include "document/Tdessin.h"
#include "tools/Tformes.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// The palette as the window sees it: one line tool, black on white.
class LineHost : public QObject, public TDocumentHost {
public:
    TOutil* GetOutil() const override { return tool.get(); }
    TColor Couleur1() const override { return clBlack; }
    TColor Couleur2() const override { return clWhite; }
    void SetDessin(TDessin* document) override { active = document; }
    TDessin* ActiveDessin() const override { return active; }
    void OpenFiles(const QStringList&) override { }

    std::unique_ptr<TLine> tool = std::make_unique<TLine>(nullptr, nullptr);
    TDessin* active = nullptr;
};

QApplication& App()
{
    static int argc = 1;
    static char name[] = "velmora_bench";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

void BM_LineMoveAcrossDocument(benchmark::State& state)
{
    App();
    const int width = 6000, height = 4000;
    LineHost host;
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
