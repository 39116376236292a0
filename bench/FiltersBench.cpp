// Every filter on a 6000 x 4000 photo-sized image held in memory, one core.
// Each run starts from the same noisy image; restoring it is not timed.
#include "filters/Convolution.h"
#include "filters/Tfiltre.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// Reproducible noise: a filter's time must not depend on a flat image.
std::vector<std::uint8_t> noiseRows()
{
    std::vector<std::uint8_t> bytes(std::size_t(kWidth) * 3 * kHeight);
    std::uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = std::uint8_t(state >> 24);
    }
    return bytes;
}

void restore(TBitmap& bitmap, const std::vector<std::uint8_t>& bytes)
{
    const std::size_t rowBytes = std::size_t(kWidth) * 3;
    for (int r = 0; r < kHeight; ++r)
        std::memcpy(bitmap.ScanLine(r), bytes.data() + r * rowBytes, rowBytes);
}

template <class Filter> void runFilter(benchmark::State& state)
{
    static const std::vector<std::uint8_t> original = noiseRows();
    TBitmap bitmap;
    bitmap.SetSize(kWidth, kHeight);
    for (auto _ : state) {
        state.PauseTiming();
        restore(bitmap, original);
        state.ResumeTiming();
        std::unique_ptr<TFiltre> filter = std::make_unique<Filter>(bitmap);
        filter->Apply();
        benchmark::DoNotOptimize(bitmap.ScanLine(kHeight / 2)[kWidth]);
    }
}

// The plain loop of the convolution with the sharpen kernel.
void BM_SharpenPlain(benchmark::State& state)
{
    static const std::vector<std::uint8_t> original = noiseRows();
    TBitmap bitmap;
    bitmap.SetSize(kWidth, kHeight);
    const filters::Kernel sharpen{{{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}}, 1, 9, 0};
    for (auto _ : state) {
        state.PauseTiming();
        restore(bitmap, original);
        state.ResumeTiming();
        filters::plain::Convolve(bitmap, sharpen, 1, kHeight - 2, 1, kWidth - 2);
        benchmark::DoNotOptimize(bitmap.ScanLine(kHeight / 2)[kWidth]);
    }
}

void BM_Blur(benchmark::State& state) { runFilter<TBlur>(state); }
void BM_Flou(benchmark::State& state) { runFilter<TFlou>(state); }
void BM_Sharpen(benchmark::State& state) { runFilter<TSharpen>(state); }
void BM_Emboss(benchmark::State& state) { runFilter<TEmboss>(state); }
void BM_Aquarelle(benchmark::State& state) { runFilter<TAquarelle>(state); }

} // namespace

BENCHMARK(BM_Blur)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flou)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sharpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Emboss)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Aquarelle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharpenPlain)->Unit(benchmark::kMillisecond);
