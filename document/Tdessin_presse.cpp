// The clipboard of a document window, by keys only: the effects menu's
// "Copier", "Coller" and "Couper" stay as they are.
#include "document/Tdessin.h"

#include "kernels/Tselection.h"
#include "platform/ImageFile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <cstring>

QRect TDessin::SelectionBounds() const
{
    if (!selection)
        return {};
    std::uint8_t* const* rows = selection->GetRows();
    const int width = selection->Width();
    int left = width, right = -1, top = -1, bottom = -1;
    for (int y = 0; y < selection->Height(); ++y) {
        const std::uint8_t* row = rows[y];
        const std::uint8_t* first = std::find_if(row, row + width, [](std::uint8_t m) { return m != 0; });
        if (first == row + width)
            continue;
        const std::uint8_t* last = std::find_if(std::make_reverse_iterator(row + width),
                                                std::make_reverse_iterator(row), [](std::uint8_t m) { return m != 0; })
                                       .base() -
                                   1;
        left = std::min(left, int(first - row));
        right = std::max(right, int(last - row));
        if (top < 0)
            top = y;
        bottom = y;
    }
    return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

bool TDessin::CopyToClipboard()
{
    const QRect area = SelectionBounds();
    if (!bmp || area.isEmpty())
        return false;
    QGuiApplication::clipboard()->setImage(bmp->Image().copy(area));
    return true;
}

namespace {

// The clipboard's image in 24 bits; null when it holds none.
QImage clipboardPicture()
{
    const QImage picture = QGuiApplication::clipboard()->image();
    if (picture.isNull() || !BitmapSizeAllowed(picture.width(), picture.height()))
        return {};
    return ToBitmapImage(picture);
}

} // namespace

void TDessin::Paste(const QImage& picture, QPoint at)
{
    const QRect target = QRect(at, picture.size()) & QRect(0, 0, bmp->Width(), bmp->Height());
    if (target.isEmpty())
        return;
    std::uint8_t* const* mask = selection->GetRows();
    BeginGesture();
    bmp->WillWriteRows(target.top(), target.bottom());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const std::uint8_t* from = picture.constScanLine(y - at.y()) + 3 * qsizetype(target.left() - at.x());
        std::uint8_t* to = bmp->ScanLine(y) + 3 * qsizetype(target.left());
        const std::uint8_t* allowed = mask[y] + target.left();
        for (int x = 0; x < target.width(); ++x)
            if (allowed[x])
                std::memcpy(to + 3 * x, from + 3 * x, 3);
    }
    EndGesture();
    OnPaint();
}

bool TDessin::PasteFromClipboard()
{
    if (!bmp || !selection)
        return false;
    const QImage picture = clipboardPicture();
    if (picture.isNull())
        return false;
    const QRect area = SelectionBounds();
    Paste(picture, area.isEmpty() ? QPoint(0, 0) : area.topLeft());
    return true;
}

bool TDessin::PasteAsNewImage()
{
    const QImage picture = clipboardPicture();
    if (picture.isNull())
        return false;
    // A new image, never saved, whose content is one change: closing or
    // quitting asks before it is lost, and Ctrl+Z gives the white image back.
    auto* document = new TDessin(owner_, picture.width(), picture.height());
    document->Paste(picture, QPoint(0, 0));
    document->show();
    return true;
}
