// Loading and saving a 6000 x 4000 24-bit BMP (72 MB) with TBitmap, saving a
// PNG of that size and opening a JPEG of it (quality 90, a smooth picture with
// detail, as photos are). The files are written once; the page cache is warm
// after the first load.
#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "raster/TBitmap.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
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
        SaveToFile(photo(), p);
        return p;
    }();
    return path;
}

void LoadBmp24(benchmark::State& state)
{
    const QString& path = photoFile();
    TBitmap bitmap;
    LoadFromFile(bitmap, path); // warms the page cache
    for (auto _ : state) {
        LoadFromFile(bitmap, path);
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
        SaveToFile(bitmap, path);
    state.SetBytesProcessed(state.iterations() * BitmapRowBytes(kWidth) * kHeight);
}

// A smooth picture with a grain, as photos are.
QImage smoothPicture()
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    std::mt19937 random(3);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int grain = int(random() % 9) - 4;
            row[x] = qRgb(std::clamp(int(128 + 100 * std::sin(x / 170.0)) + grain, 0, 255),
                          std::clamp(int(128 + 100 * std::sin(y / 90.0 + x / 400.0)) + grain, 0, 255),
                          std::clamp(int(128 + 100 * std::cos((x + y) / 250.0)) + grain, 0, 255));
        }
    }
    return picture;
}

const QString& jpegFile()
{
    static const QString path = [] {
        const QString p = folder(false) + QStringLiteral("/photo.jpg");
        QImageWriter writer(p, "jpeg");
        writer.setQuality(90);
        writer.write(smoothPicture());
        return p;
    }();
    return path;
}

void OpenJpeg(benchmark::State& state)
{
    const QString& path = jpegFile();
    TBitmap bitmap;
    LoadFromFile(bitmap, path); // warms the page cache
    for (auto _ : state) {
        LoadFromFile(bitmap, path);
        benchmark::DoNotOptimize(bitmap.ScanLine(0)[0]);
    }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
}

// Saving the smooth picture as a PNG in memory (tmpfs): its bands filtered
// and compressed on every core.
void SavePng(benchmark::State& state)
{
    TBitmap bitmap;
    bitmap.SetImage(smoothPicture(), pf24bit);
    const QString path = folder(true) + QStringLiteral("/saved.png");
    for (auto _ : state)
        SaveToFile(bitmap, path, ImageFormat::Png, kDefaultQuality);
    state.SetBytesProcessed(state.iterations() * BitmapRowBytes(kWidth) * kHeight);
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
}

} // namespace

BENCHMARK(SavePng)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadBmp24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveBmp24, tmpfs, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveBmp24, disk, false)->Unit(benchmark::kMillisecond);
