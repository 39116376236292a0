#pragma once

#include <QRect>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

class TBitmap;

// Calls run(first, past) for each run of non-zero bytes among mask[0, width),
// skipping the zero bytes between them.
template <typename Run> void ForEachEditableRun(const std::uint8_t* mask, std::size_t width, Run run)
{
    std::size_t x = 0;
    while (x < width) {
        while (x < width && !mask[x])
            ++x;
        const void* end = std::memchr(mask + x, 0, width - x);
        const std::size_t past = end ? std::size_t(static_cast<const std::uint8_t*>(end) - mask) : width;
        if (past > x)
            run(x, past);
        x = past;
    }
}

// The selection mask of a document: one byte per pixel, rows[y][x], 1 where the
// pixel may be changed and 0 where it is protected. Created all 1 with the
// image's size.
//
// While every pixel is editable, which is how most images stay, all rows share
// one row of ones: a photo's mask then costs a row and a row table, not a
// byte a pixel. The first write through GetRows() gives each row bytes of its
// own; SelectAll() goes back to the shared row.
class TSelection {
public:
    TSelection(std::int32_t width, std::int32_t height);
    ~TSelection();
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;

    // The row table, for writing: each row has bytes of its own first (throws
    // std::bad_alloc when they cannot be had). The table itself never moves,
    // so a tool that keeps it sees the rows written later.
    std::uint8_t** GetRows();
    // The same table, for reading only: its rows may all be the shared one.
    std::uint8_t** ReadRows() { return rows; }
    std::int32_t Width() const { return width; }
    std::int32_t Height() const { return height; }

    // Every pixel editable, as at creation; the per-pixel bytes are freed.
    void SelectAll();
    // The selection tool's release at (x, y) after a press at (anchorX,
    // anchorY): only the half-open rectangle between them, clipped to the
    // mask, stays editable; released on the anchor's row or column, or
    // outside the mask, every pixel does.
    void SelectRectangle(int anchorX, int anchorY, int x, int y);
    // Only `rect`, clipped to the mask, stays editable: none when it is
    // empty, every pixel (SelectAll) when it covers the mask. After a
    // rectangle only the pixels where the old and the new one differ are
    // written: a rectangle moved by a pixel costs its outline.
    void Select(const QRect& rect);
    // True while no pixel is protected through SelectAll or creation (a mask
    // written to all ones through GetRows() may say false).
    bool Everything() const { return !bytes_; }
    // The smallest rectangle holding every editable pixel; empty when none is.
    QRect Bounds() const;
    // Bytes held for the mask (the row table included).
    std::size_t Bytes() const;

    // Copies the pixels of `source` into `destination` wherever the mask is not
    // 0. Bitmaps of different sizes are refused with an Exception and neither
    // changes.
    void fusioncalque(const TBitmap* source, TBitmap* destination);

private:
    // Only `rect` (inside the mask, maybe empty) editable.
    void Keep(const QRect& rect);

    std::uint8_t** rows = nullptr;
    std::int32_t height = 0;
    std::int32_t width = 0;
    // One block for all rows once written; `rows` points into it. Null while
    // every row is the shared row of ones.
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::unique_ptr<std::uint8_t[]> shared_;
    // The rectangle SelectRectangle wrote, until the rows are handed out for
    // writing again.
    QRect bounds_;
    bool boundsKnown_ = false;
    std::unique_ptr<std::uint8_t*[]> table_;
};
