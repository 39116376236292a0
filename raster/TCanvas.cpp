#include "raster/TCanvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <utility>

void TCanvas::Draw(int x, int y, const TBitmap& bitmap)
{
    const QRect area = QRect(x, y, bitmap.Width(), bitmap.Height()) & QRect(0, 0, target_.Width(), target_.Height());
    if (area.isEmpty())
        return;
    const size_t bytes = size_t(area.width()) * 3;
    if (overlay_) {
        for (int row = area.top(); row <= area.bottom(); ++row)
            for (int col = area.left(); col <= area.right(); ++col) {
                const std::uint8_t* p = bitmap.ScanLine(row - y) + 3 * qsizetype(col - x);
                overlay_->Write(col, row, RGBColor(p[2], p[1], p[0]));
            }
        Changed(area);
        return;
    }
    for (int row = area.top(); row <= area.bottom(); ++row) {
        const std::uint8_t* src = bitmap.ScanLine(row - y) + 3 * qsizetype(area.left() - x);
        std::memcpy(target_.RowForWriting(row) + 3 * qsizetype(area.left()), src, bytes);
    }
    Changed(area);
}

void TCanvas::FillSpan(int x, int y, int count, TColor color)
{
    if (unsigned(y) >= unsigned(target_.Height()) || count <= 0)
        return;
    const int first = std::max(x, 0);
    const int end = int(std::min<long long>(target_.Width(), (long long)x + count));
    if (first >= end)
        return;
    if (overlay_) {
        overlay_->Fill(first, end, y, color);
        Changed(QRect(first, y, end - first, 1));
        return;
    }
    // One pixel, then copies of what is written, doubling each time.
    std::uint8_t* p = target_.RowForWriting(y) + 3 * qsizetype(first);
    p[0] = GetBValue(color);
    p[1] = GetGValue(color);
    p[2] = GetRValue(color);
    const size_t total = 3 * size_t(end - first);
    for (size_t done = 3; done < total;) {
        const size_t n = std::min(done, total - done);
        std::memcpy(p + done, p, n);
        done += n;
    }
    Changed(QRect(first, y, end - first, 1));
}

void TCanvas::EndUpdate()
{
    if (updates_ == 0 || --updates_ > 0)
        return;
    Changed(std::exchange(pending_, QRect()));
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    if (text.isEmpty() || target_.Width() == 0 || target_.Height() == 0)
        return;
    const QFont font = font_.ToQFont();
    const QFontMetrics metrics(font);
    // The rows the text may reach, with a margin for glyphs that overhang.
    const QRect ink = metrics.boundingRect(text);
    const qint64 margin = metrics.height();
    const qint64 first = qint64(y) + std::min(0, metrics.ascent() + ink.top()) - margin;
    const qint64 last = qint64(y) + std::max(metrics.height(), metrics.ascent() + ink.bottom()) + margin;
    const int top = int(std::clamp<qint64>(first, 0, target_.Height()));
    const int bottom = int(std::clamp<qint64>(last, -1, target_.Height() - 1));
    QImage view;
    if (overlay_) {
        // Painted on a copy of the rows as shown, then shown over the image.
        if (bottom < top)
            return;
        view = QImage(target_.Width(), bottom - top + 1, QImage::Format_BGR888);
        for (int row = top; row <= bottom; ++row)
            std::memcpy(view.scanLine(row - top), overlay_->Row(row), 3 * size_t(target_.Width()));
        y -= top;
    } else {
        target_.WillWriteRows(int(std::clamp<qint64>(first, -1, target_.Height())),
                              int(std::clamp<qint64>(last, -1, target_.Height())));
        // Paint on an image that shares the bitmap's pixels, so nothing is
        // copied; its rows were announced above.
        view = QImage(target_.ScanLine(0), target_.Width(), target_.Height(), target_.BytesPerLine(),
                      QImage::Format_BGR888);
    }
    QPainter painter(&view);
    painter.setFont(font);
    painter.setPen(QColor(GetRValue(font_.Color), GetGValue(font_.Color), GetBValue(font_.Color)));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor(GetRValue(brush_), GetGValue(brush_), GetBValue(brush_)));
    painter.drawText(x, y + metrics.ascent(), text);
    painter.end();
    if (overlay_) {
        for (int row = 0; row < view.height(); ++row) {
            const std::uint8_t* p = view.constScanLine(row);
            for (int col = 0; col < view.width(); ++col, p += 3)
                overlay_->Write(col, top + row, RGBColor(p[2], p[1], p[0]));
        }
        y += top;
    }
    Changed(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()) &
            QRect(0, 0, target_.Width(), target_.Height()));
}
