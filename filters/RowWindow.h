#pragma once

#include "raster/TBitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace filters {

// Bytes held for one row of a W-pixel image: its 3 x W bytes, then zeros, so
// that a 16-byte vector may be read or written up to 48 bytes past the row's
// end without leaving the buffer. A multiple of 16.
std::size_t PaddedRowLength(int width);

// The working copy of a filter: the rows around the row being computed, as
// they were before the pass began. A filter reads only from here and writes
// only to the bitmap's scan lines, so the order of the rows does not matter to
// the result. Only the 2 x radius + 1 rows in use are held, in a ring, which
// keeps them in cache; the rows of a W x H image are visited top to bottom.
class RowWindow {
public:
    RowWindow(TBitmap& bitmap, int radius);

    // Makes rows centre - radius .. centre + radius available. Centres only
    // grow from call to call; the rows that enter the window are copied now,
    // so they must not have been written yet.
    void MoveTo(int centre);

    // Row y of the window, padded to PaddedRowLength(width).
    const std::uint8_t* Row(int y) const { return storage_.data() + std::size_t(y % slots_) * length_; }

private:
    TBitmap& bitmap_;
    int radius_;
    int slots_;
    std::size_t length_;
    int nextToCopy_ = 0;
    std::vector<std::uint8_t> storage_;
};

} // namespace filters
