// The convolution as a plain loop. The filters run the faster version in
// ConvolutionFast.cpp; the tests hold it to this loop.
#include "filters/Convolution.h"

#include "filters/RowWindow.h"

#include <algorithm>
#include <cstdint>

namespace filters::plain {

void Convolve(TBitmap& bitmap, const Kernel& kernel, int firstRow, int lastRow, int firstCol, int lastCol)
{
    if (firstRow > lastRow || firstCol > lastCol)
        return;
    const int step = kernel.step;
    RowWindow window(bitmap, step);
    for (int r = firstRow; r <= lastRow; ++r) {
        window.MoveTo(r);
        const std::uint8_t* const rows[3] = {window.Row(r - step), window.Row(r), window.Row(r + step)};
        std::uint8_t* line = bitmap.ScanLine(r);
        for (int b = 3 * firstCol; b <= 3 * lastCol + 2; ++b) {
            int sum = 0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    sum += kernel.weight[i][j] * rows[i][b + 3 * step * (j - 1)];
            line[b] = std::uint8_t(std::clamp(sum / kernel.divisor + kernel.offset, 0, 255));
        }
    }
}

} // namespace filters::plain
