// Crop, autocrop, canvas size and the exact turns: pixels copied whole, three
// bytes at a time, into a new image.
#include "effects/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace effects {

namespace {

const std::uint8_t* pixelAt(const TBitmap& bitmap, int x, int y) { return bitmap.ScanLine(y) + 3 * std::size_t(x); }

// Floor division by 2, also for a negative number (a canvas smaller than the image).
int halfDown(int n) { return n >= 0 ? n / 2 : -((1 - n) / 2); }

// A result the size of the bitmap, or its sides swapped.
QImage newLike(const TBitmap& bitmap, bool swapped)
{
    return swapped ? NewResultImage(bitmap.Height(), bitmap.Width()) : NewResultImage(bitmap.Width(), bitmap.Height());
}

// A quarter turn: source pixel (x, y) goes to result column H - 1 - y of row
// x when clockwise, to column y of row W - 1 - x otherwise. The source is read
// in tiles of kTile x kTile pixels, each row of a tile going down (or up) a
// column of the result: the tile's result rows stay in the cache while its
// source rows go by. Reading whole rows of the source instead would reach a
// new result row every pixel, 6000 of them for a 6000-pixel row.
QImage quarterTurn(const TBitmap& bitmap, bool clockwise)
{
    QImage result = newLike(bitmap, true);
    if (result.isNull())
        return result;
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const qsizetype stride = result.bytesPerLine();
    std::uint8_t* const bits = result.bits();
    // Where source pixel (0, y) goes, and the step to the next pixel of the row.
    const qsizetype step = clockwise ? stride : -stride;
    const auto start = [&](int y) {
        return clockwise ? bits + 3 * qsizetype(height - 1 - y) : bits + (width - 1) * stride + 3 * qsizetype(y);
    };
    // Two threads measured no faster than one: the copy waits on memory.
    constexpr int kTile = 64;
    for (int y0 = 0; y0 < height; y0 += kTile) {
        const int y1 = std::min(height, y0 + kTile);
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int x1 = std::min(width, x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* in = pixelAt(bitmap, x0, y);
                std::uint8_t* out = start(y) + x0 * step;
                for (int x = x0; x < x1; ++x, in += 3, out += step)
                    std::memcpy(out, in, 3);
            }
        }
    }
    return result;
}

} // namespace

bool ResultSizeAllowed(qint64 width, qint64 height)
{
    return width >= 1 && height >= 1 && BitmapSizeAllowed(width, height);
}

QImage NewResultImage(int width, int height)
{
    if (!ResultSizeAllowed(width, height))
        return QImage();
    QImage image = NewBitmapImage(width, height);
    if (image.isNull())
        return image;
    const std::size_t rowBytes = 3 * std::size_t(width);
    const std::size_t padding = std::size_t(image.bytesPerLine()) - rowBytes;
    if (padding > 0)
        for (int y = 0; y < height; ++y)
            std::memset(image.scanLine(y) + rowBytes, 0, padding);
    return image;
}

QImage Crop(const TBitmap& bitmap, QRect rect)
{
    const QRect kept = rect.intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
    if (kept.isEmpty())
        return QImage();
    QImage result = NewResultImage(kept.width(), kept.height());
    if (result.isNull())
        return result;
    for (int y = 0; y < kept.height(); ++y)
        std::memcpy(result.scanLine(y), pixelAt(bitmap, kept.left(), kept.top() + y), 3 * std::size_t(kept.width()));
    return result;
}

QRect AutocropBounds(const TBitmap& bitmap)
{
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (width <= 0 || height <= 0)
        return QRect();
    std::uint8_t border[3];
    std::memcpy(border, pixelAt(bitmap, 0, 0), 3);
    const auto plain = [&](int x, int y) { return std::memcmp(pixelAt(bitmap, x, y), border, 3) == 0; };
    const auto plainRow = [&](int y) {
        for (int x = 0; x < width; ++x)
            if (!plain(x, y))
                return false;
        return true;
    };
    int top = 0;
    while (top < height && plainRow(top))
        ++top;
    if (top == height)
        return QRect(0, 0, width, height); // one colour: nothing is taken away
    int bottom = height - 1;
    while (plainRow(bottom))
        --bottom;
    // Columns are tested on the rows that stay only.
    const auto plainColumn = [&](int x) {
        for (int y = top; y <= bottom; ++y)
            if (!plain(x, y))
                return false;
        return true;
    };
    int left = 0;
    while (plainColumn(left))
        ++left;
    int right = width - 1;
    while (plainColumn(right))
        --right;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage CanvasSize(const TBitmap& bitmap, int width, int height, int anchor, TColor fill)
{
    if (anchor < anchorTopLeft || anchor > anchorBottomRight)
        return QImage();
    QImage result = NewResultImage(width, height);
    if (result.isNull())
        return result;
    const auto offset = [](int place, int added) { return place == 0 ? 0 : place == 1 ? halfDown(added) : added; };
    const int left = offset(anchor % 3, width - bitmap.Width());
    const int top = offset(anchor / 3, height - bitmap.Height());
    // The old image covers columns [x0, x1) of rows [y0, y1) of the canvas.
    const int x0 = std::clamp(left, 0, width);
    const int x1 = std::clamp(left + bitmap.Width(), x0, width);
    const int y0 = std::clamp(top, 0, height);
    const int y1 = std::clamp(top + bitmap.Height(), y0, height);

    std::vector<std::uint8_t> fillRow(3 * std::size_t(width));
    for (std::size_t i = 0; i < fillRow.size(); i += 3) {
        fillRow[i] = GetBValue(fill);
        fillRow[i + 1] = GetGValue(fill);
        fillRow[i + 2] = GetRValue(fill);
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = result.scanLine(y);
        if (y < y0 || y >= y1 || x0 == x1) {
            std::memcpy(out, fillRow.data(), fillRow.size());
            continue;
        }
        std::memcpy(out, fillRow.data(), 3 * std::size_t(x0));
        std::memcpy(out + 3 * std::size_t(x0), pixelAt(bitmap, x0 - left, y - top), 3 * std::size_t(x1 - x0));
        std::memcpy(out + 3 * std::size_t(x1), fillRow.data(), 3 * std::size_t(width - x1));
    }
    return result;
}

QImage TurnClockwise(const TBitmap& bitmap) { return quarterTurn(bitmap, true); }

QImage TurnCounterClockwise(const TBitmap& bitmap) { return quarterTurn(bitmap, false); }

QImage TurnHalf(const TBitmap& bitmap)
{
    QImage result = newLike(bitmap, false);
    if (result.isNull())
        return result;
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = bitmap.ScanLine(height - 1 - y) + 3 * std::size_t(width);
        std::uint8_t* out = result.scanLine(y);
        for (int x = 0; x < width; ++x, out += 3) {
            in -= 3;
            std::memcpy(out, in, 3);
        }
    }
    return result;
}

QSize RotatedSize(int width, int height, double degrees)
{
    if (!std::isfinite(degrees))
        return QSize();
    const double turn = std::fmod(degrees, 360.0);
    if (std::fmod(turn, 90.0) == 0.0)
        return std::fmod(turn, 180.0) == 0.0 ? QSize(width, height) : QSize(height, width);
    const double radians = turn * (std::numbers::pi / 180.0);
    const double c = std::abs(std::cos(radians));
    const double s = std::abs(std::sin(radians));
    // A side that is a whole number up to rounding errors stays that number.
    const auto side = [](double extent) { return std::max(1, int(std::ceil(extent - 1e-6))); };
    return QSize(side(width * c + height * s), side(width * s + height * c));
}

} // namespace effects
