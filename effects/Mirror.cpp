#include "effects/Mirror.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace effects {

namespace {

// Reverses the order of the 3-byte pixels of one row.
void reverseRow(std::uint8_t* row, int width)
{
    std::uint8_t* left = row;
    std::uint8_t* right = row + 3 * std::size_t(width - 1);
    while (left < right) {
        std::uint8_t pixel[3];
        std::memcpy(pixel, left, 3);
        std::memcpy(left, right, 3);
        std::memcpy(right, pixel, 3);
        left += 3;
        right -= 3;
    }
}

} // namespace

void Mirror(TBitmap& bitmap)
{
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (width < 2)
        return;
    for (int y = 0; y < height; ++y)
        reverseRow(bitmap.ScanLine(y), width);
}

void Flip(TBitmap& bitmap)
{
    const int height = bitmap.Height();
    const std::size_t rowBytes = 3 * std::size_t(bitmap.Width());
    // With an odd height the middle row stays where it is.
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::uint8_t* a = bitmap.ScanLine(top);
        std::swap_ranges(a, a + rowBytes, bitmap.ScanLine(bottom));
    }
}

} // namespace effects
