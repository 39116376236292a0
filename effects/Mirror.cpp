// Mirror and flip as plain loops. The program's mirror is the faster version
// in MirrorFast.cpp; the flip is this one.
#include "effects/Mirror.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace effects {

namespace plain {

void ReversePixels(std::uint8_t* left, std::uint8_t* right)
{
    // With an odd number of pixels the middle one stays where it is.
    while (right - left >= 6) {
        right -= 3;
        std::uint8_t pixel[3];
        std::memcpy(pixel, left, 3);
        std::memcpy(left, right, 3);
        std::memcpy(right, pixel, 3);
        left += 3;
    }
}

void Mirror(TBitmap& bitmap)
{
    const int height = bitmap.Height();
    const std::size_t rowBytes = 3 * std::size_t(bitmap.Width());
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        ReversePixels(row, row + rowBytes);
    }
}

} // namespace plain

void Flip(TBitmap& bitmap)
{
    const int height = bitmap.Height();
    const std::size_t rowBytes = 3 * std::size_t(bitmap.Width());
    if (rowBytes == 0)
        return;
    std::vector<std::uint8_t> spare(rowBytes);
    // With an odd height the middle row stays where it is.
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(spare.data(), bitmap.ScanLine(top), rowBytes);
        std::memcpy(bitmap.ScanLine(top), bitmap.ScanLine(bottom), rowBytes);
        std::memcpy(bitmap.ScanLine(bottom), spare.data(), rowBytes);
    }
}

} // namespace effects
