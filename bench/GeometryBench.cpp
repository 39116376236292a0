// Speed of the crop, autocrop, canvas size, turns, rotation and resizing of a
// 6000 x 4000 photo-like image: smooth shades with a little grain, inside a
// plain frame 200 pixels wide (which the autocrop takes away). Each operation
// makes a new image from the same source again and again.
#include "effects/Geometry.h"
#include "effects/Resample.h"
#include "raster/TBitmap.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kFrame = 200;

TBitmap& photo()
{
    static TBitmap bitmap;
    if (bitmap.Width() == 0) {
        bitmap.SetSize(kWidth, kHeight);
        std::mt19937 random(42);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* row = bitmap.ScanLine(y);
            for (int x = 0; x < kWidth; ++x) {
                const bool frame = x < kFrame || y < kFrame || x >= kWidth - kFrame || y >= kHeight - kFrame;
                for (int c = 0; c < 3; ++c) {
                    const double shade = 128 + 90 * std::sin(x * (0.003 + 0.001 * c) + y * 0.002) *
                                                   std::cos(y * (0.004 - 0.001 * c) - x * 0.001);
                    row[3 * x + c] = frame ? 240 : std::uint8_t(std::lround(shade) + int(random() % 9) - 4);
                }
            }
        }
    }
    return bitmap;
}

template <typename Operation> void run(benchmark::State& state, Operation operation)
{
    const TBitmap& source = photo();
    for (auto _ : state) {
        auto result = operation(source);
        benchmark::DoNotOptimize(result);
    }
}

void crop(benchmark::State& state)
{
    run(state, [](const TBitmap& b) { return effects::Crop(b, QRect(1000, 500, 4000, 3000)); });
}
void autocrop(benchmark::State& state) { run(state, effects::AutocropBounds); }
void canvas(benchmark::State& state)
{
    run(state, [](const TBitmap& b) { return effects::CanvasSize(b, 6400, 4400, effects::anchorCentre, clWhite); });
}
void clockwise(benchmark::State& state) { run(state, effects::TurnClockwise); }
void counterClockwise(benchmark::State& state) { run(state, effects::TurnCounterClockwise); }
void half(benchmark::State& state) { run(state, effects::TurnHalf); }
void rotate(benchmark::State& state)
{
    run(state, [](const TBitmap& b) { return effects::Rotate(b, 17, clWhite); });
}
void rotatePlain(benchmark::State& state)
{
    run(state, [](const TBitmap& b) { return effects::plain::Rotate(b, 17, clWhite); });
}

template <effects::ResampleFilter Filter, int Width, int Height> void resize(benchmark::State& state)
{
    run(state, [](const TBitmap& b) { return effects::Resize(b, Width, Height, Filter); });
}
template <effects::ResampleFilter Filter, int Width, int Height> void resizePlain(benchmark::State& state)
{
    run(state, [](const TBitmap& b) { return effects::plain::Resize(b, Width, Height, Filter); });
}

using effects::ResampleFilter;

} // namespace

BENCHMARK(crop)->Name("Crop")->Unit(benchmark::kMillisecond);
BENCHMARK(autocrop)->Name("AutocropBounds")->Unit(benchmark::kMillisecond);
BENCHMARK(canvas)->Name("CanvasSize")->Unit(benchmark::kMillisecond);
BENCHMARK(clockwise)->Name("TurnClockwise")->Unit(benchmark::kMillisecond);
BENCHMARK(counterClockwise)->Name("TurnCounterClockwise")->Unit(benchmark::kMillisecond);
BENCHMARK(half)->Name("TurnHalf")->Unit(benchmark::kMillisecond);
BENCHMARK(rotate)->Name("Rotate17")->Unit(benchmark::kMillisecond);
BENCHMARK(rotatePlain)->Name("Rotate17Plain")->Unit(benchmark::kMillisecond);
BENCHMARK(resize<ResampleFilter::Lanczos, 1600, 1067>)->Name("ResizeLanczos1600")->Unit(benchmark::kMillisecond);
BENCHMARK(resize<ResampleFilter::Lanczos, 3000, 2000>)->Name("ResizeLanczos3000")->Unit(benchmark::kMillisecond);
BENCHMARK(resize<ResampleFilter::Bicubic, 1600, 1067>)->Name("ResizeBicubic1600")->Unit(benchmark::kMillisecond);
BENCHMARK(resize<ResampleFilter::Bilinear, 1600, 1067>)->Name("ResizeBilinear1600")->Unit(benchmark::kMillisecond);
BENCHMARK(resize<ResampleFilter::Nearest, 1600, 1067>)->Name("ResizeNearest1600")->Unit(benchmark::kMillisecond);
// Enlarging: the horizontal pass comes first there.
BENCHMARK(resize<ResampleFilter::Lanczos, 4500, 9000>)->Name("ResizeLanczos4500x9000")->Unit(benchmark::kMillisecond);
// The plain loops, to show what the program's versions gain.
BENCHMARK(resizePlain<ResampleFilter::Lanczos, 1600, 1067>)
    ->Name("ResizeLanczos1600Plain")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(resizePlain<ResampleFilter::Lanczos, 3000, 2000>)
    ->Name("ResizeLanczos3000Plain")
    ->Unit(benchmark::kMillisecond);
