// How the view paints the image at each level, and the outline of a
// rectangular selection. Only the viewport's pixels are computed; the window
// canvas is read, never written.
#include "document/Tdessin.h"

#include "document/TDessinVue.h"
#include "kernels/Tselection.h"
#include "model/ImageDocument.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cstring>

namespace {

// Around the image while it is smaller than the viewport.
constexpr std::uint32_t kBackground = 0xFF6E6E6Eu;
// Between image pixels from 800 %.
constexpr std::uint32_t kGrid = 0xFF9A9A9Au;
constexpr int kGridFrom = 8;
// The outline's dashes, in screen pixels, and how often they move.
constexpr int kDash = 4;
constexpr int kAntsMs = 150;

} // namespace

void TDessinVue::RenderArea(const QRect& area)
{
    if (frame_.width() < area.width() || frame_.height() < area.height())
        frame_ = QImage(std::max(frame_.width(), area.width()), std::max(frame_.height(), area.height()),
                        QImage::Format_RGB32);
    const int stride = int(frame_.bytesPerLine() / 4);
    auto* out = reinterpret_cast<std::uint32_t*>(frame_.bits());
    // The image as shown: its own rows, or rows with what was drawn over it.
    const TVueReduite::Source image(*dessin_->overlay_, dessin_->bmp ? dessin_->bmp->Width() : 0,
                                    dessin_->bmp ? dessin_->bmp->Height() : 0);
    const QRect content = QRect(origin_ - ScrollOffset(), ContentSize()) & area;
    for (int y = 0; y < area.height(); ++y)
        std::fill_n(out + std::size_t(y) * stride, area.width(), kBackground);
    if (content.isEmpty() || image.isNull())
        return;
    // The content point (zoomed image coordinates) of the first pixel drawn.
    const QPoint z0 = content.topLeft() - origin_ + ScrollOffset();
    std::uint32_t* first = out + std::size_t(content.top() - area.top()) * stride + (content.left() - area.left());
    const TZoomLevel level = kZoomLevels[zoom_];
    if (level.den > 1) {
        reduites_.Update(image);
        reduites_.Render(image, level.num, level.den, z0.x(), z0.y(), content.width(), content.height(), first, stride);
        RenderFloating(area);
        return;
    }
    // n x n screen pixels per image pixel: one screen row is built per image
    // row and copied to the rows below it; from 800 % the first screen row and
    // column of every image pixel are the grid.
    const int n = level.num;
    const bool grid = n >= kGridFrom;
    // Under a floating piece the image does not show: those screen pixels are
    // left to RenderFloating (content-relative; empty without a piece).
    const ImageDocument* model = dessin_->model_.get();
    const QRect cover = !grid && model && model->Floating()
                            ? (ToDevice(model->FloatingRect() & QRect(0, 0, image.width(), image.height())) & content)
                                  .translated(-content.topLeft())
                            : QRect();
    std::vector<std::uint32_t> row(std::size_t(content.width()));
    int builtRow = -1;
    bool builtAround = false; // only the columns around the piece were built
    for (int y = 0; y < content.height(); ++y) {
        std::uint32_t* line = first + std::size_t(y) * stride;
        const int zy = z0.y() + y;
        if (grid && zy % n == 0) {
            std::fill_n(line, content.width(), kGrid);
            continue;
        }
        const int iy = zy / n;
        const bool covered = y >= cover.top() && y <= cover.bottom();
        if (iy != builtRow || (builtAround && !covered)) {
            const std::uint8_t* src = image.Row(iy);
            for (int x = 0; x < content.width(); ++x) {
                if (covered && x == cover.left()) {
                    x = cover.right();
                    continue;
                }
                const int zx = z0.x() + x;
                const std::uint8_t* p = src + 3 * (zx / n);
                row[std::size_t(x)] = grid && zx % n == 0
                                          ? kGrid
                                          : 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            }
            builtRow = iy;
            builtAround = covered;
        }
        if (covered) {
            std::memcpy(line, row.data(), std::size_t(cover.left()) * sizeof(std::uint32_t));
            std::memcpy(line + cover.right() + 1, row.data() + cover.right() + 1,
                        std::size_t(content.width() - cover.right() - 1) * sizeof(std::uint32_t));
        } else {
            std::memcpy(line, row.data(), row.size() * sizeof(std::uint32_t));
        }
    }
    RenderFloating(area);
}

void TDessinVue::RenderFloating(const QRect& area)
{
    const ImageDocument* model = dessin_->model_.get();
    if (!model || !model->Floating())
        return;
    // Each screen pixel shows the image pixel under its centre: the hole a
    // lifted piece leaves, then the piece over it.
    const QRect image(0, 0, dessin_->bmp->Width(), dessin_->bmp->Height());
    const QImage& piece = model->FloatingPicture();
    const QRect pieceRect = model->FloatingRect() & image;
    const QRect hole = model->LiftedFrom();
    const TColor holeColour = model->HoleColour();
    const std::uint32_t holePixel = 0xFF000000u | std::uint32_t(GetRValue(holeColour)) << 16 |
                                    std::uint32_t(GetGValue(holeColour)) << 8 | GetBValue(holeColour);
    const QRect covered = (ToDevice(pieceRect) | ToDevice(hole)) & area;
    if (covered.isEmpty())
        return;
    const TZoomLevel level = kZoomLevels[zoom_];
    const QPoint shift = origin_ - ScrollOffset();
    const int stride = int(frame_.bytesPerLine() / 4);
    auto* out = reinterpret_cast<std::uint32_t*>(frame_.bits());
    if (level.den == 1 && hole.isEmpty()) {
        // At 100 % and above, each piece pixel covers n x n screen pixels:
        // a row of the piece is read straight along.
        const int n = level.num;
        const QRect shown = ToDevice(pieceRect) & area;
        for (int y = shown.top(); y <= shown.bottom(); ++y) {
            const int iy = (y - shift.y()) / n;
            const int zx = shown.left() - shift.x();
            const std::uint8_t* p =
                piece.constScanLine(iy - model->FloatingAt().y()) + 3 * qsizetype(zx / n - model->FloatingAt().x());
            int phase = zx % n;
            std::uint32_t* line = out + std::size_t(y - area.top()) * stride + (shown.left() - area.left());
            for (int x = 0; x < shown.width(); ++x) {
                line[x] = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                if (++phase == n) {
                    phase = 0;
                    p += 3;
                }
            }
        }
        return;
    }
    // Columns first: the image column under each screen column.
    std::vector<int> columns(std::size_t(covered.width()));
    for (int x = 0; x < covered.width(); ++x)
        columns[std::size_t(x)] =
            int((2 * std::int64_t(covered.left() + x - shift.x()) + 1) * level.den / (2 * std::int64_t(level.num)));
    for (int y = covered.top(); y <= covered.bottom(); ++y) {
        const int iy = int((2 * std::int64_t(y - shift.y()) + 1) * level.den / (2 * std::int64_t(level.num)));
        if (iy < 0 || iy >= image.height())
            continue;
        std::uint32_t* line = out + std::size_t(y - area.top()) * stride - area.left();
        const bool inHole = iy >= hole.top() && iy <= hole.bottom();
        const bool inPiece = iy >= pieceRect.top() && iy <= pieceRect.bottom();
        const std::uint8_t* from = inPiece ? piece.constScanLine(iy - model->FloatingAt().y()) : nullptr;
        for (int x = 0; x < covered.width(); ++x) {
            const int ix = columns[std::size_t(x)];
            if (ix < 0 || ix >= image.width())
                continue;
            if (inPiece && ix >= pieceRect.left() && ix <= pieceRect.right()) {
                const std::uint8_t* p = from + 3 * qsizetype(ix - model->FloatingAt().x());
                line[covered.left() + x] = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            } else if (inHole && ix >= hole.left() && ix <= hole.right()) {
                line[covered.left() + x] = holePixel;
            }
        }
    }
}

TDessinVue::TDessinVue(TDessin* dessin) : QWidget(dessin), dessin_(dessin)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&antsTimer_, &QTimer::timeout, this, &TDessinVue::MarchAnts);
}

void TDessinVue::Release()
{
    reduites_.Release();
    frame_ = QImage();
}

void TDessinVue::paintEvent(QPaintEvent* event)
{
    // The frame holds the device pixels under the rectangle to paint; it is
    // laid on the screen one to one, whatever the scale factor.
    const QRect area = ToDeviceArea(event->rect());
    if (area.isEmpty())
        return;
    RenderArea(area);
    DrawOutline(area);
    QPainter painter(this);
    const qreal r = Ratio();
    if (r == 1)
        painter.drawImage(area.topLeft(), frame_, QRect(QPoint(0, 0), area.size()));
    else
        painter.drawImage(QRectF(area.left() / r, area.top() / r, area.width() / r, area.height() / r), frame_,
                          QRectF(0, 0, area.width(), area.height()));
}

QImage TDessinVue::RenderView()
{
    const QRect area(QPoint(0, 0), DeviceSize());
    RenderArea(area);
    DrawOutline(area);
    return frame_.copy(area);
}

void TDessinVue::DrawOutline(const QRect& area)
{
    // The device pixels just outside the editable rectangle, white under
    // black dashes that move along the outline.
    if (outline_.isEmpty())
        return;
    const QRect around = ToDevice(outline_).adjusted(-1, -1, 0, 0);
    if (!around.adjusted(-1, -1, 1, 1).intersects(area))
        return;
    QPainter painter(&frame_);
    painter.setClipRect(QRect(QPoint(0, 0), area.size()));
    painter.translate(-area.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    QPen white(Qt::white, 0);
    painter.setPen(white);
    painter.drawRect(around);
    QPen black(Qt::black, 0);
    black.setDashPattern({qreal(kDash), qreal(kDash)});
    black.setDashOffset(antsPhase_);
    painter.setPen(black);
    painter.drawRect(around);
}

void TDessinVue::MarchAnts()
{
    antsPhase_ = (antsPhase_ + 1) % (2 * kDash);
    update(ToView(outline_).adjusted(-1, -1, 1, 1));
}

void TDessinVue::UpdateOutline()
{
    const QRect before = outline_;
    const ImageDocument* model = dessin_->model_.get();
    const QRect image = dessin_->bmp ? QRect(0, 0, dessin_->bmp->Width(), dessin_->bmp->Height()) : QRect();
    const QRect bounds = model ? model->SelectionBounds() : QRect();
    // A floating piece is the selection: its part over the image is
    // outlined, even when it covers all of it.
    if (model && model->Floating())
        outline_ = model->FloatingRect() & image;
    else
        outline_ = bounds != image ? bounds : QRect();
    if (outline_ == before)
        return;
    if (outline_.isEmpty())
        antsTimer_.stop();
    else if (!antsTimer_.isActive())
        antsTimer_.start(kAntsMs);
    // The old outline goes, the new one comes.
    update(ToView(before | outline_).adjusted(-1, -1, 1, 1));
}
