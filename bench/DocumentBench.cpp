// One forwarded move of the line tool across a 6000 x 4000 document window:
// the previous preview is taken off the window canvas and the new one drawn.
// And the memory of six photos opened, then closed.
#include "LineHost.h"
#include "document/TDessinVue.h"
#include "document/Tdessin.h"
#include "model/ImageDocument.h"
#include "tools/Tformes.h"

#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "raster/TBitmap.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <memory>
#include <unistd.h>
#include <vector>

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

namespace {

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (::sysconf(_SC_PAGESIZE) / 1024) : 0;
}

// Six 6000 x 4000 photos (JPEG, quality 90) opened in windows, then closed:
// the memory each one takes, and what is left once all are closed.
void BM_SixPhotosOpenedThenClosed(benchmark::State& state)
{
    benchhost::App();
    const int width = 6000, height = 4000;
    const QString folder = QDir::tempPath() + QStringLiteral("/velmora-bench-photos");
    QDir().mkpath(folder);
    QStringList photos;
    {
        TBitmap photo;
        photo.SetSize(width, height);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = photo.ScanLine(y);
            for (int x = 0; x < width; ++x) {
                row[3 * x] = std::uint8_t(x / 24 + (x * y) % 7);
                row[3 * x + 1] = std::uint8_t(y / 16 + (x ^ y) % 5);
                row[3 * x + 2] = std::uint8_t((x + y) / 40);
            }
        }
        for (int i = 0; i < 6; ++i) {
            photos << QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i);
            if (!QFile::exists(photos.back()))
                SaveToFile(photo, photos.back(), ImageFormat::Jpeg, 90);
        }
    }
    ::malloc_trim(0);
    benchhost::LineHost host;
    for (auto _ : state) {
        const long start = residentKiB();
        std::vector<QPointer<TDessin>> windows;
        for (const QString& photo : photos)
            windows.emplace_back(new TDessin(&host, photo));
        QApplication::processEvents();
        const long open = residentKiB();
        for (const QPointer<TDessin>& window : windows)
            window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        const long closed = residentKiB();
        state.counters["MiB_each_open"] = double(open - start) / 6 / 1024;
        state.counters["MiB_after_close"] = double(closed - start) / 1024;
        state.counters["pixels_MiB_each"] = double(width) * height * 3 / (1 << 20);
    }
}

} // namespace

BENCHMARK(BM_SixPhotosOpenedThenClosed)->Unit(benchmark::kMillisecond)->Iterations(1);

namespace {

// A change of size or orientation of a 6000 x 4000 photo in its window, from
// the key to the window laid out again, then its undo: each timed alone.
struct Reshape {
    commands::CommandId id;
    commands::Values values;
};

const Reshape kReshapes[] = {
    {commands::CommandId::Redimensionner, {1600, 1067, 0}}, // Lanczos
    {commands::CommandId::Redimensionner, {3000, 2000, 0}},
    {commands::CommandId::Rotation, {9000}},
    {commands::CommandId::Rogner, {1000, 500, 5000, 3500}},
    {commands::CommandId::Toile, {6400, 4400, 4, 0xFFFFFF}},
    {commands::CommandId::Rotation, {1700}},
};

void BM_ReshapeInWindow(benchmark::State& state)
{
    benchhost::App();
    const int width = 6000, height = 4000;
    benchhost::LineHost host;
    TDessin document(&host, width, height);
    TBitmap& image = *document.GetBmp();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.ScanLine(y);
        for (int x = 0; x < 3 * width; ++x)
            row[x] = std::uint8_t((x / 7 + y / 5 + (x * y) % 11) & 0xFF);
    }
    const Reshape& reshape = kReshapes[state.range(0)];
    const bool undo = state.range(1) != 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        document.Reshape(reshape.id, reshape.values);
        const qint64 reshaped = timer.nsecsElapsed();
        timer.restart();
        document.Undo();
        const qint64 undone = timer.nsecsElapsed();
        state.SetIterationTime(double(undo ? undone : reshaped) / 1e9);
    }
}

} // namespace

// Arguments: the change (resize to 1600 and to 3000, quarter turn, crop,
// canvas size, 17 degrees), then 0 for the change, 1 for its undo. Ten
// iterations: an undo of a few microseconds would otherwise ask for
// thousands of changes.
BENCHMARK(BM_ReshapeInWindow)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

namespace {

// A 2000 x 2000 piece floating over a 6000 x 4000 image in a 1600 x 1200
// viewport: a move and the repaint it brings, at 25 % and 100 %; the piece set down; Suppr on a 3000 x 2000
// selection. Each timed alone.
void BM_FloatingPiece(benchmark::State& state)
{
    benchhost::App();
    const int width = 6000, height = 4000;
    benchhost::LineHost host;
    TDessin document(&host, width, height);
    document.show();
    document.setFixedSize(1600, 1200);
    QApplication::processEvents();
    ImageDocument& model = *document.Model();
    const int what = int(state.range(0));
    if (what <= 1)
        document.Vue()->SetZoom(what == 0 ? kZoom100 - 4 : kZoom100); // 25 % or 100 %
    QImage piece(2000, 2000, QImage::Format_BGR888);
    piece.fill(Qt::darkCyan);
    int step = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        if (what <= 1) {
            if (!model.Floating())
                model.Float(piece, QPoint(100, 100));
            QApplication::processEvents();
            timer.start();
            // The move, and the repaint it brings once the event is handled.
            model.MoveFloating(QPoint(100 + step % 7, 100 + step % 5));
            QApplication::processEvents();
            QApplication::processEvents();
        } else if (what == 2) {
            model.Float(piece, QPoint(100 + step % 7, 100));
            timer.start();
            model.SetDown();
        } else {
            model.SelectRectangle(1000, 1000, 4000, 3000);
            timer.start();
            document.DeleteSelection();
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (what >= 2)
            document.Undo();
        ++step;
    }
}

} // namespace

// Arguments: 0 a move at 25 %, 1 at 100 %, 2 setting down, 3 Suppr.
BENCHMARK(BM_FloatingPiece)->DenseRange(0, 3)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

namespace {

// A 6000 x 4000 photo written as a PNG from its window: the save's time, and
// the longest the event loop goes without answering meanwhile (a timer asks
// every 10 ms; a menu opened at any moment would wait that long at most).
void BM_AnswerDuringPngSave(benchmark::State& state)
{
    benchhost::App();
    benchhost::LineHost host;
    const QString photo = QDir::temp().filePath(QStringLiteral("velmora-bench-answer.png"));
    TDessin document(&host, 6000, 4000);
    std::uint8_t value = 0;
    TBitmap& image = *document.GetBmp();
    for (int y = 0; y < image.Height(); ++y) {
        std::uint8_t* row = image.ScanLine(y);
        for (int x = 0; x < 3 * image.Width(); ++x)
            row[x] = std::uint8_t(((x / 3 + y) >> 3) + ((value = std::uint8_t(value * 73 + 41)) & 15));
    }
    for (auto _ : state) {
        QElapsedTimer save;
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        QTimer ticks;
        ticks.setInterval(10);
        QObject::connect(&ticks, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
        save.start();
        sinceTick.start();
        ticks.start();
        document.Save(photo, ImageFormat::Png, 92);
        ticks.stop();
        longest = std::max(longest, sinceTick.elapsed());
        state.SetIterationTime(double(longest) / 1000.0);
        state.counters["save_ms"] = double(save.elapsed());
    }
    QFile::remove(photo);
}

} // namespace

BENCHMARK(BM_AnswerDuringPngSave)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
