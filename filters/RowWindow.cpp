#include "filters/RowWindow.h"

#include <algorithm>
#include <cstring>

namespace filters {

std::size_t PaddedRowLength(int width) { return (std::size_t(width) * 3 + 15) / 16 * 16 + 48; }

RowWindow::RowWindow(TBitmap& bitmap, int radius)
    : bitmap_(bitmap),
      radius_(radius),
      slots_(2 * radius + 1),
      length_(PaddedRowLength(bitmap.Width())),
      storage_(std::size_t(slots_) * length_, 0)
{
}

void RowWindow::MoveTo(int centre)
{
    const std::size_t rowBytes = std::size_t(bitmap_.Width()) * 3;
    for (int y = std::max(nextToCopy_, centre - radius_); y <= centre + radius_; ++y)
        std::memcpy(storage_.data() + std::size_t(y % slots_) * length_, bitmap_.ScanLine(y), rowBytes);
    nextToCopy_ = std::max(nextToCopy_, centre + radius_ + 1);
}

} // namespace filters
