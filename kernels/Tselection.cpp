#include "kernels/Tselection.h"

#include "platform/Exception.h"
#include "platform/TBitmap.h"

#include <algorithm>
#include <cstring>

TSelection::TSelection(std::int32_t width_, std::int32_t height_)
    : height(std::max<std::int32_t>(height_, 0)), width(std::max<std::int32_t>(width_, 0))
{
    const size_t count = size_t(width) * size_t(height);
    bytes_ = std::make_unique<std::uint8_t[]>(std::max<size_t>(count, 1));
    std::memset(bytes_.get(), 1, count);
    table_ = std::make_unique<std::uint8_t*[]>(std::max<size_t>(size_t(height), 1));
    for (std::int32_t y = 0; y < height; ++y)
        table_[size_t(y)] = bytes_.get() + size_t(y) * size_t(width);
    rows = table_.get();
}

TSelection::~TSelection() = default;

void TSelection::fusioncalque(const TBitmap* source, TBitmap* destination)
{
    if (source->Height() != destination->Height() || source->Width() != destination->Width()) {
        // Only a caller's mistake gets here; the editor shows the message.
        throw Exception(QStringLiteral("bmp et temp n'ont pas la meme taille!"));
    }
    // The mask may be smaller than a bitmap that does not belong to its
    // document; pixels it does not cover are left alone.
    const int h = std::min(destination->Height(), int(height));
    const int w = std::min(destination->Width(), int(width));
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* mask = rows[y];
        const std::uint8_t* src = source->ScanLine(y);
        std::uint8_t* dst = destination->ScanLine(y);
        int x = 0;
        while (x < w) {
            // Copy each run of editable pixels at once.
            while (x < w && mask[x] == 0)
                ++x;
            const int start = x;
            while (x < w && mask[x] != 0)
                ++x;
            if (x > start)
                std::memcpy(dst + 3 * size_t(start), src + 3 * size_t(start), 3 * size_t(x - start));
        }
    }
}
