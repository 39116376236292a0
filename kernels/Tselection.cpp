#include "kernels/Tselection.h"

#include "raster/Exception.h"
#include "raster/TBitmap.h"

#include <algorithm>
#include <cstring>
#include <iterator>

TSelection::TSelection(std::int32_t width_, std::int32_t height_)
    : height(std::max<std::int32_t>(height_, 0)), width(std::max<std::int32_t>(width_, 0))
{
    shared_ = std::make_unique<std::uint8_t[]>(std::max<size_t>(size_t(width), 1));
    std::memset(shared_.get(), 1, size_t(width));
    table_ = std::make_unique<std::uint8_t*[]>(std::max<size_t>(size_t(height), 1));
    rows = table_.get();
    SelectAll();
}

TSelection::~TSelection() = default;

std::uint8_t** TSelection::GetRows()
{
    // The rows may be written from now on: the bounds are read again.
    boundsKnown_ = false;
    if (!bytes_) {
        const size_t count = size_t(width) * size_t(height);
        bytes_ = std::make_unique<std::uint8_t[]>(std::max<size_t>(count, 1));
        std::memset(bytes_.get(), 1, count);
        for (std::int32_t y = 0; y < height; ++y)
            table_[size_t(y)] = bytes_.get() + size_t(y) * size_t(width);
    }
    return rows;
}

void TSelection::SelectAll()
{
    for (std::int32_t y = 0; y < height; ++y)
        table_[size_t(y)] = shared_.get();
    bytes_.reset();
}

void TSelection::SelectRectangle(int anchorX, int anchorY, int x, int y)
{
    // Released on the anchor's row or column, the rectangle spans no pixel;
    // a release outside the mask is not one: the press's whole mask stays.
    if (x == anchorX || y == anchorY || x < 0 || y < 0 || x >= width || y >= height) {
        SelectAll();
        return;
    }
    // The right column and the bottom row stay out; an anchor outside the
    // mask gives a rectangle clipped to it.
    const int left = std::max(std::min(anchorX, x), 0);
    const int right = std::min(std::max(anchorX, x), int(width));
    const int top = std::max(std::min(anchorY, y), 0);
    const int bottom = std::min(std::max(anchorY, y), int(height));
    Keep(right > left && bottom > top ? QRect(left, top, right - left, bottom - top) : QRect());
}

void TSelection::Select(const QRect& rect)
{
    const QRect kept = rect & QRect(0, 0, width, height);
    if (kept == QRect(0, 0, width, height))
        SelectAll();
    else
        Keep(kept.isEmpty() ? QRect() : kept);
}

void TSelection::Keep(const QRect& rect)
{
    // While the rows hold exactly the last rectangle, only what differs
    // between it and the new one is written; otherwise every row is.
    const bool onlyOld = bytes_ && boundsKnown_;
    const QRect old = onlyOld ? bounds_ : QRect();
    std::uint8_t** written = GetRows();
    if (!onlyOld)
        for (std::int32_t row = 0; row < height; ++row)
            std::memset(written[row], 0, size_t(width));
    // Row `row`'s columns [from, past) take `value`, except [keepFrom,
    // keepPast): those are in both rectangles and stay editable.
    const auto span = [&](int row, int from, int past, int keepFrom, int keepPast, std::uint8_t value) {
        if (keepFrom >= keepPast || keepPast <= from || keepFrom >= past) {
            std::memset(written[row] + from, value, size_t(past - from));
            return;
        }
        if (keepFrom > from)
            std::memset(written[row] + from, value, size_t(keepFrom - from));
        if (past > keepPast)
            std::memset(written[row] + keepPast, value, size_t(past - keepPast));
    };
    const auto inside = [](const QRect& r, int row) { return !r.isEmpty() && row >= r.top() && row <= r.bottom(); };
    if (!old.isEmpty())
        for (int row = old.top(); row <= old.bottom(); ++row)
            span(row, old.left(), old.right() + 1, inside(rect, row) ? rect.left() : 0,
                 inside(rect, row) ? rect.right() + 1 : 0, 0);
    if (!rect.isEmpty())
        for (int row = rect.top(); row <= rect.bottom(); ++row)
            span(row, rect.left(), rect.right() + 1, inside(old, row) ? old.left() : 0,
                 inside(old, row) ? old.right() + 1 : 0, 1);
    bounds_ = rect;
    boundsKnown_ = true;
}

QRect TSelection::Bounds() const
{
    if (Everything())
        return width > 0 && height > 0 ? QRect(0, 0, width, height) : QRect();
    // Known since the selection tool's rectangle was written.
    if (boundsKnown_)
        return bounds_;
    int left = width, right = -1, top = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
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

std::size_t TSelection::Bytes() const
{
    return size_t(width) + size_t(height) * sizeof(std::uint8_t*) + (bytes_ ? size_t(width) * size_t(height) : 0);
}

void TSelection::fusioncalque(const TBitmap* source, TBitmap* destination)
{
    if (source->Height() != destination->Height() || source->Width() != destination->Width()) {
        // Only a caller's mistake gets here; the editor shows the message.
        throw Exception(QStringLiteral("bmp et temp n'ont pas la meme taille!"));
    }
    // The mask may be smaller than a bitmap that does not belong to its
    // document; pixels it does not cover are left alone.
    const int h = std::min(destination->Height(), int(height));
    const int w = std::min(destination->Width(), int(width));
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* mask = rows[y];
        const std::uint8_t* src = source->ScanLine(y);
        std::uint8_t* dst = destination->ScanLine(y);
        int x = 0;
        while (x < w) {
            // Copy each run of editable pixels at once.
            while (x < w && mask[x] == 0)
                ++x;
            const int start = x;
            while (x < w && mask[x] != 0)
                ++x;
            if (x > start)
                std::memcpy(dst + 3 * size_t(start), src + 3 * size_t(start), 3 * size_t(x - start));
        }
    }
}
