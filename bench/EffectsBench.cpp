// Speed of every whole-image effect on a 6000 x 4000 image (72 MB of pixels).
// Each effect runs again and again on the same image in place.
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "raster/TBitmap.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A photo-sized image of reproducible noise.
TBitmap& noiseImage()
{
    static TBitmap bitmap;
    if (bitmap.Width() == 0) {
        bitmap.SetSize(kWidth, kHeight);
        std::mt19937 random(42);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* row = bitmap.ScanLine(y);
            for (int i = 0; i < 3 * kWidth; i += 4) {
                const std::uint32_t bits = random();
                for (int k = 0; k < 4 && i + k < 3 * kWidth; ++k)
                    row[i + k] = std::uint8_t(bits >> (8 * k));
            }
        }
    }
    return bitmap;
}

template <void (*Effect)(TBitmap&)> void runEffect(benchmark::State& state)
{
    TBitmap& bitmap = noiseImage();
    for (auto _ : state) {
        Effect(bitmap);
        benchmark::DoNotOptimize(bitmap.ScanLine(0)[0]);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(3) * kWidth * kHeight);
}

void gains(TBitmap& bitmap) { effects::AdjustColor(bitmap, 200, 128, 60); }
void contrast(TBitmap& bitmap) { effects::AdjustContrast(bitmap, 150); }
void luminosity(TBitmap& bitmap) { effects::AdjustLuminosite(bitmap, 17); }

} // namespace

BENCHMARK(runEffect<effects::InverseColor>)->Name("InverseColor")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<gains>)->Name("AdjustColor")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<contrast>)->Name("AdjustContrast")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<luminosity>)->Name("AdjustLuminosite")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::NB>)->Name("NB")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::Mirror>)->Name("Mirror")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::Flip>)->Name("Flip")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::VagueX>)->Name("VagueX")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::VagueY>)->Name("VagueY")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::DoubleVague>)->Name("DoubleVague")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::Cercle1>)->Name("Cercle1")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::Cercle2>)->Name("Cercle2")->Unit(benchmark::kMillisecond);
// The plain loops that the circles compute, to show what the fast ones gain.
BENCHMARK(runEffect<effects::plain::Cercle1>)->Name("Cercle1Plain")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::plain::Cercle2>)->Name("Cercle2Plain")->Unit(benchmark::kMillisecond);

namespace {
void plainGains(TBitmap& bitmap) { effects::plain::AdjustColor(bitmap, 200, 128, 60); }
void plainContrast(TBitmap& bitmap) { effects::plain::AdjustContrast(bitmap, 150); }
void plainLuminosity(TBitmap& bitmap) { effects::plain::AdjustLuminosite(bitmap, 17); }
} // namespace

// The plain loops of the byte maps, the mirror and the vertical wave.
BENCHMARK(runEffect<effects::plain::Mirror>)->Name("MirrorPlain")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::plain::VagueY>)->Name("VagueYPlain")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<effects::plain::InverseColor>)->Name("InverseColorPlain")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<plainGains>)->Name("AdjustColorPlain")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<plainContrast>)->Name("AdjustContrastPlain")->Unit(benchmark::kMillisecond);
BENCHMARK(runEffect<plainLuminosity>)->Name("AdjustLuminositePlain")->Unit(benchmark::kMillisecond);
