// The view of a 6000 x 4000 document through a 1600 x 1200 viewport: repaints
// at several levels, one zoom step, keeping the reduced copies up to date, and
// a line tool's move at 800 %. Run with QT_QPA_PLATFORM=offscreen.
#include "LineHost.h"
#include "document/TVueReduite.h"
#include "document/Tdessin.h"
#include "tools/Tformes.h"
#include "tools/Tpinceau.h"

#include <QApplication>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
const QSize kView(1600, 1200);

// A photo-like image: smooth gradients with some texture.
void Fill(TBitmap& image)
{
    for (int y = 0; y < image.Height(); ++y) {
        std::uint8_t* row = image.ScanLine(y);
        for (int x = 0; x < image.Width(); ++x) {
            row[3 * x] = std::uint8_t(x / 24 + (x * y) % 7);
            row[3 * x + 1] = std::uint8_t(y / 16 + (x ^ y) % 5);
            row[3 * x + 2] = std::uint8_t((x + y) / 40);
        }
    }
}

benchhost::LineHost& Host()
{
    benchhost::App();
    static benchhost::LineHost host;
    return host;
}

// The one document every benchmark shares, shown with a viewport of kView.
TDessin& Document()
{
    static TDessin* document = [] {
        auto* made = new TDessin(&Host(), kWidth, kHeight);
        Fill(*made->GetBmp());
        made->OnPaint();
        made->OnActivate();
        made->show();
        QApplication::processEvents();
        return made;
    }();
    return *document;
}

// Sizes the window so that its viewport is kView at the current level.
void SizeViewport(TDessin& document)
{
    const int bar = document.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &document);
    const QSize content = document.Vue()->ContentSize();
    const bool across = content.width() > kView.width(), down = content.height() > kView.height();
    document.setFixedSize(kView.width() + (down || across ? bar : 0), kView.height() + (down || across ? bar : 0));
    QApplication::processEvents();
    if (!across && !down)
        document.setFixedSize(kView);
    QApplication::processEvents();
}

void Centre(TDessin& document)
{
    document.Vue()->HorizontalBar()->setValue(document.Vue()->HorizontalBar()->maximum() / 2);
    document.Vue()->VerticalBar()->setValue(document.Vue()->VerticalBar()->maximum() / 2);
}

// Repaints the whole viewport at a level (-1: fitted in the viewport).
void BM_RepaintViewport(benchmark::State& state)
{
    TDessin& document = Document();
    const int index = int(state.range(0));
    document.Vue()->SetZoom(kZoom100);
    SizeViewport(document);
    if (index < 0)
        document.Vue()->FitInWindow();
    else
        document.Vue()->SetZoom(index);
    SizeViewport(document);
    Centre(document);
    if (document.Vue()->size() != kView) {
        state.SkipWithError("the viewport is not 1600 x 1200");
        return;
    }
    document.Vue()->repaint(); // the reduced copies are up to date
    for (auto _ : state)
        document.Vue()->repaint();
    state.SetLabel(TDessinVue::ZoomCaption(document.Vue()->ZoomIndex()).toStdString());
}

// One Ctrl+wheel step, in and out in turn, each with the repaint it calls for.
void BM_ZoomStep(benchmark::State& state)
{
    TDessin& document = Document();
    document.Vue()->SetZoom(int(state.range(0)));
    SizeViewport(document);
    Centre(document);
    const QPointF at(800, 600);
    int delta = 120;
    for (auto _ : state) {
        QWheelEvent wheel(at, document.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&document, &wheel);
        document.Vue()->repaint();
        delta = -delta;
    }
    state.SetLabel(
        (TDessinVue::ZoomCaption(int(state.range(0))) + " <-> " + TDessinVue::ZoomCaption(int(state.range(0)) + 1))
            .toStdString());
}

// The filled image the reduced copies are made from, made once.
const TBitmap& Photo()
{
    static const std::unique_ptr<TBitmap> image = [] {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetSize(kWidth, kHeight);
        Fill(*bitmap);
        return bitmap;
    }();
    return *image;
}

// A brush move's rows (a 24-pixel dab moved by 6 pixels), then the update.
void BM_ReducedAfterBrushMove(benchmark::State& state)
{
    const TBitmap& image = Photo();
    TVueReduite copies;
    copies.Allocate(kWidth, kHeight);
    copies.Update(image.Image());
    int x = 100;
    for (auto _ : state) {
        copies.Changed(QRect(x, 1000 + x % 300, 30, 24));
        copies.Update(image.Image());
        x = x < kWidth - 200 ? x + 6 : 100;
    }
}

void BM_ReducedAfterWholeImage(benchmark::State& state)
{
    const TBitmap& image = Photo();
    TVueReduite copies;
    copies.Allocate(kWidth, kHeight);
    for (auto _ : state) {
        copies.Changed(QRect(0, 0, kWidth, kHeight));
        copies.Update(image.Image());
    }
    state.counters["copies/image"] = double(copies.Bytes()) / double(image.Image().sizeInBytes());
}

// One forwarded move of the line tool at 800 %: the previous preview taken off
// the window canvas, the new one drawn.
void BM_LineMoveAt800(benchmark::State& state)
{
    TDessin& document = Document();
    document.Vue()->SetZoom(kZoom100 + 5);
    SizeViewport(document);
    // The same two diagonals as BM_LineMoveAcrossDocument at 100 %.
    document.OnMouseDown(&document, mbLeft, ssLeft, 0, 0);
    bool corner = true;
    for (auto _ : state) {
        document.OnMouseMove(&document, ssLeft, corner ? kWidth - 1 : kWidth - 7, corner ? kHeight - 1 : kHeight - 3);
        corner = !corner;
    }
    document.OnMouseUp(&document, mbLeft, 0, 0, 0);
}

// A brush press at 100 %, from the mouse event to the pixels on the screen:
// the press plots into the image and the window repaints that rectangle
// before the event handler returns.
void BM_BrushPressToScreen(benchmark::State& state)
{
    TDessin& document = Document();
    document.Vue()->SetZoom(kZoom100);
    SizeViewport(document);
    Centre(document);
    benchhost::LineHost& host = Host();
    std::unique_ptr<TOutil> line = std::move(host.tool);
    host.tool = std::make_unique<TPinceau>(nullptr, nullptr);
    document.OnActivate();
    const QPointF centre = QRectF(document.Vue()->rect()).center();
    int step = 0;
    for (auto _ : state) {
        const QPointF at = centre + QPointF(step % 50, step / 50 % 50);
        ++step;
        QMouseEvent press(QEvent::MouseButtonPress, at, document.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&document, &press);
        state.PauseTiming();
        QMouseEvent release(QEvent::MouseButtonRelease, at, document.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(&document, &release);
        state.ResumeTiming();
    }
    host.tool = std::move(line);
    document.OnActivate();
}

} // namespace

BENCHMARK(BM_RepaintViewport)
    ->Arg(2)
    ->Arg(-1)
    ->Arg(kZoom100)
    ->Arg(kZoom100 + 5)
    ->Arg(kZoom100 + 9)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomStep)->Arg(4)->Arg(6)->Arg(kZoom100)->Arg(kZoom100 + 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReducedAfterBrushMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReducedAfterWholeImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineMoveAt800)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BrushPressToScreen)->Unit(benchmark::kMicrosecond);
