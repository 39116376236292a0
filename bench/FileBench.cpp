// Loading and saving a 6000 x 4000 24-bit BMP (72 MB) with TBitmap. The file
// is written once; the page cache is warm after the first load.
#include "platform/TBitmap.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

TBitmap& photo()
{
    static TBitmap bitmap;
    if (bitmap.Width() == 0) {
        bitmap.SetSize(kWidth, kHeight);
        std::mt19937 random(7);
        for (int y = 0; y < kHeight; ++y)
            for (int i = 0; i < 3 * kWidth; ++i)
                bitmap.ScanLine(y)[i] = std::uint8_t(random() >> 24);
    }
    return bitmap;
}

// A folder on the disk, and one in memory (tmpfs) where the flush costs nothing.
QString folder(bool memory)
{
    static QTemporaryDir disk;
    static QTemporaryDir shm(QStringLiteral("/dev/shm/velmora-bench-XXXXXX"));
    return memory && shm.isValid() ? shm.path() : disk.path();
}

const QString& photoFile()
{
    static const QString path = [] {
        const QString p = folder(false) + QStringLiteral("/photo.bmp");
        photo().SaveToFile(p);
        return p;
    }();
    return path;
}

void LoadBmp24(benchmark::State& state)
{
    const QString& path = photoFile();
    TBitmap bitmap;
    bitmap.LoadFromFile(path); // warms the page cache
    for (auto _ : state) {
        bitmap.LoadFromFile(path);
        benchmark::DoNotOptimize(bitmap.ScanLine(0)[0]);
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

// Saving includes the flush to disk that makes the save safe.
void SaveBmp24(benchmark::State& state, bool memory)
{
    const TBitmap& bitmap = photo();
    const QString path = folder(memory) + QStringLiteral("/saved.bmp");
    for (auto _ : state)
        bitmap.SaveToFile(path);
    state.SetBytesProcessed(state.iterations() * BitmapRowBytes(kWidth) * kHeight);
}

} // namespace

BENCHMARK(LoadBmp24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveBmp24, tmpfs, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveBmp24, disk, false)->Unit(benchmark::kMillisecond);
