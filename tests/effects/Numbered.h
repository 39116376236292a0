#pragma once

#include "support/Images.h"

// An image whose pixels all differ: pixel (x, y) holds the number y x width + x
// in its 24 bits, so a pixel of a result tells where it came from.
namespace numbered {

inline std::unique_ptr<TBitmap> Make(int width, int height)
{
    return testimg::Make(width, height, [width](int x, int y) { return TColor(y * width + x); });
}

inline TColor Of(int width, int x, int y) { return TColor(y * width + x); }

// Where the pixel (x, y) of a result made from a numbered image came from.
struct Origin {
    int x;
    int y;
    bool operator==(const Origin&) const = default;
};

inline Origin OriginAt(const TBitmap& result, int x, int y)
{
    const int n = int(testimg::At(result, x, y));
    return {n % result.Width(), n / result.Width()};
}

} // namespace numbered
