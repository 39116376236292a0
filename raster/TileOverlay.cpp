#include "raster/TileOverlay.h"

#include <algorithm>
#include <cstring>

TTileOverlay::TTileOverlay(const TBitmap& base) : base_(base) { Fit(); }

void TTileOverlay::Fit()
{
    width_ = base_.Width();
    height_ = base_.Height();
    columns_ = (width_ + kTile - 1) >> kTileShift;
    bands_ = (height_ + kTile - 1) >> kTileShift;
    tiles_.clear();
    tiles_.resize(std::size_t(columns_) * std::size_t(bands_));
    perBand_.assign(std::size_t(bands_), 0);
    tileCount_ = 0;
}

void TTileOverlay::Clear()
{
    if (base_.Width() != width_ || base_.Height() != height_) {
        Fit();
        return;
    }
    if (tileCount_ == 0)
        return;
    for (auto& tile : tiles_)
        tile.reset();
    std::fill(perBand_.begin(), perBand_.end(), 0);
    tileCount_ = 0;
}

QRect TTileOverlay::Bounds() const
{
    QRect bounds;
    if (tileCount_ == 0)
        return bounds;
    for (int band = 0; band < bands_; ++band) {
        if (perBand_[std::size_t(band)] == 0)
            continue;
        for (int column = 0; column < columns_; ++column)
            if (tiles_[std::size_t(band) * std::size_t(columns_) + std::size_t(column)])
                bounds |= QRect(column << kTileShift, band << kTileShift, kTile, kTile);
    }
    return bounds & QRect(0, 0, width_, height_);
}

std::size_t TTileOverlay::Bytes() const
{
    return std::size_t(tileCount_) * 3 * kTile * kTile + tiles_.capacity() * sizeof(tiles_[0]);
}

std::uint8_t* TTileOverlay::Tile(int x, int y)
{
    std::unique_ptr<std::uint8_t[]>& tile = tiles_[index(x, y)];
    if (!tile) {
        // The tile starts as the bitmap below it; past the bitmap's edge it is
        // never read.
        tile = std::make_unique<std::uint8_t[]>(3 * kTile * kTile);
        const int left = x & ~(kTile - 1), top = y & ~(kTile - 1);
        const int columns = std::min(kTile, width_ - left), rows = std::min(kTile, height_ - top);
        for (int row = 0; row < rows; ++row)
            std::memcpy(tile.get() + 3 * row * kTile, base_.ScanLine(top + row) + 3 * qsizetype(left),
                        3 * std::size_t(columns));
        ++perBand_[std::size_t(y >> kTileShift)];
        ++tileCount_;
    }
    return tile.get();
}

void TTileOverlay::Write(int x, int y, TColor color)
{
    const std::uint8_t bgr[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
    // Where no tile lies and the bitmap already shows the colour, nothing
    // needs keeping (a brush writes the image first, then the window).
    if (!tiles_[index(x, y)] && std::memcmp(Pixel(x, y), bgr, 3) == 0)
        return;
    std::memcpy(Tile(x, y) + 3 * ((y & (kTile - 1)) * kTile + (x & (kTile - 1))), bgr, 3);
}

void TTileOverlay::Fill(int x, int end, int y, TColor color)
{
    const std::uint8_t bgr[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
    while (x < end) {
        const int stop = std::min(end, (x | (kTile - 1)) + 1);
        bool same = !tiles_[index(x, y)];
        if (same) {
            const std::uint8_t* p = base_.ScanLine(y) + 3 * qsizetype(x);
            for (int i = 0; i < stop - x && same; ++i)
                same = std::memcmp(p + 3 * i, bgr, 3) == 0;
        }
        if (!same) {
            std::uint8_t* p = Tile(x, y) + 3 * ((y & (kTile - 1)) * kTile + (x & (kTile - 1)));
            for (int i = 0; i < stop - x; ++i)
                std::memcpy(p + 3 * i, bgr, 3);
        }
        x = stop;
    }
}

const std::uint8_t* TTileOverlay::Row(int y) const
{
    const std::uint8_t* own = base_.ScanLine(y);
    if (perBand_[std::size_t(y >> kTileShift)] == 0)
        return own;
    std::vector<std::uint8_t>& row = rows_[nextRow_];
    nextRow_ = (nextRow_ + 1) % rows_.size();
    row.resize(3 * std::size_t(width_));
    const std::size_t band = std::size_t(y >> kTileShift) * std::size_t(columns_);
    const int inTile = y & (kTile - 1);
    for (int column = 0; column < columns_; ++column) {
        const int left = column << kTileShift;
        const std::size_t bytes = 3 * std::size_t(std::min(kTile, width_ - left));
        const std::uint8_t* tile = tiles_[band + std::size_t(column)].get();
        std::memcpy(row.data() + 3 * std::size_t(left), tile ? tile + 3 * inTile * kTile : own + 3 * left, bytes);
    }
    return row.data();
}
