#pragma once

#include "raster/TBitmap.h"
#include "raster/TColor.h"

#include <QRect>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Pixels drawn over a bitmap without touching it: what a document window
// shows on top of its image (the preview of a line being drawn, the outline of
// a rectangle). They are kept in 64 x 64 tiles, each made when a pixel in it
// first shows something other than the bitmap, as a copy of the bitmap below;
// everywhere else the bitmap itself is what shows. So a window costs no second
// copy of its image.
class TTileOverlay {
public:
    static constexpr int kTileShift = 6;
    static constexpr int kTile = 1 << kTileShift;

    explicit TTileOverlay(const TBitmap& base);
    TTileOverlay(const TTileOverlay&) = delete;
    TTileOverlay& operator=(const TTileOverlay&) = delete;

    // Drops every tile: the bitmap shows everywhere. Also after the bitmap's
    // size changed.
    void Clear();
    bool Empty() const { return tileCount_ == 0; }
    // The union of the tiles, in bitmap coordinates; empty without one.
    QRect Bounds() const;
    std::size_t Bytes() const;

    // The pixel shown at (x, y), which must lie in the bitmap: blue, green, red.
    const std::uint8_t* Pixel(int x, int y) const
    {
        const std::uint8_t* tile = tiles_[index(x, y)].get();
        if (!tile)
            return base_.ScanLine(y) + 3 * qsizetype(x);
        return tile + 3 * ((y & (kTile - 1)) * kTile + (x & (kTile - 1)));
    }
    // Shows `color` at (x, y) (inside the bitmap).
    void Write(int x, int y, TColor color);
    // Shows `color` over [x, end) of row y (inside the bitmap).
    void Fill(int x, int end, int y, TColor color);
    // Row y as shown: the bitmap's own row where no tile lies on it, otherwise
    // a copy made from the tiles and the bitmap, valid until four more calls.
    const std::uint8_t* Row(int y) const;

private:
    std::size_t index(int x, int y) const
    {
        return std::size_t(y >> kTileShift) * std::size_t(columns_) + std::size_t(x >> kTileShift);
    }
    // The tile under (x, y), made from the bitmap when there is none.
    std::uint8_t* Tile(int x, int y);
    void Fit();

    const TBitmap& base_;
    int width_ = 0, height_ = 0; // the bitmap's size the tiles were laid for
    int columns_ = 0, bands_ = 0;
    std::vector<std::unique_ptr<std::uint8_t[]>> tiles_;
    std::vector<int> perBand_; // tiles in each band of 64 rows
    int tileCount_ = 0;
    mutable std::array<std::vector<std::uint8_t>, 4> rows_;
    mutable std::size_t nextRow_ = 0;
};
