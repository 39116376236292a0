#pragma once

#include <cstdint>
#include <memory>

class TBitmap;

// The selection mask of a document: one byte per pixel, rows[y][x], 1 where the
// pixel may be changed and 0 where it is protected. Created all 1 with the
// image's size and never resized.
class TSelection {
public:
    TSelection(std::int32_t width, std::int32_t height);
    ~TSelection();
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;

    // The row table itself, shared with the tool that edits or reads the mask.
    std::uint8_t** GetRows() { return rows; }
    std::int32_t Width() const { return width; }
    std::int32_t Height() const { return height; }

    // Copies the pixels of `source` into `destination` wherever the mask is not
    // 0. Bitmaps of different sizes are refused with an Exception and neither
    // changes.
    void fusioncalque(const TBitmap* source, TBitmap* destination);

private:
    std::uint8_t** rows = nullptr;
    std::int32_t height = 0;
    std::int32_t width = 0;
    // One block for all rows; `rows` points into it.
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::unique_ptr<std::uint8_t*[]> table_;
};
