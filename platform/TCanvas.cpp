#include "platform/TCanvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

void TCanvas::Draw(int x, int y, const TBitmap& bitmap)
{
    const QRect area = QRect(x, y, bitmap.Width(), bitmap.Height()) & QRect(0, 0, target_.Width(), target_.Height());
    if (area.isEmpty())
        return;
    const size_t bytes = size_t(area.width()) * 3;
    for (int row = area.top(); row <= area.bottom(); ++row) {
        const std::uint8_t* src = bitmap.ScanLine(row - y) + 3 * qsizetype(area.left() - x);
        std::memcpy(target_.ScanLine(row) + 3 * qsizetype(area.left()), src, bytes);
    }
    Changed(area);
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    if (text.isEmpty() || target_.Width() == 0 || target_.Height() == 0)
        return;
    // Paint on an image that shares the bitmap's pixels, so nothing is copied.
    QImage view(target_.ScanLine(0), target_.Width(), target_.Height(), target_.BytesPerLine(), QImage::Format_BGR888);
    const QFont font = font_.ToQFont();
    const QFontMetrics metrics(font);
    QPainter painter(&view);
    painter.setFont(font);
    painter.setPen(QColor(GetRValue(font_.Color), GetGValue(font_.Color), GetBValue(font_.Color)));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor(GetRValue(brush_), GetGValue(brush_), GetBValue(brush_)));
    painter.drawText(x, y + metrics.ascent(), text);
    painter.end();
    Changed(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()) &
            QRect(0, 0, target_.Width(), target_.Height()));
}
