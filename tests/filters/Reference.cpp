#include "Reference.h"

#include <algorithm>
#include <vector>

namespace reference {
namespace {

using Copy = std::vector<std::vector<std::uint8_t>>;

Copy copyOf(TBitmap& bmp)
{
    Copy rows(std::size_t(bmp.Height()));
    for (int r = 0; r < bmp.Height(); ++r)
        rows[r].assign(bmp.ScanLine(r), bmp.ScanLine(r) + 3 * bmp.Width());
    return rows;
}

std::uint8_t clampByte(int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// S = sum of weight x C(r + step (i - 1), x + step (j - 1)), then finish(S).
template <class Finish> void convolve(TBitmap& bmp, const int (&weight)[3][3], int step, int firstRow, int lastRow,
                                      int firstCol, int lastCol, Finish finish)
{
    const Copy c = copyOf(bmp);
    for (int r = firstRow; r <= lastRow; ++r)
        for (int x = firstCol; x <= lastCol; ++x)
            for (int k = 0; k < 3; ++k) {
                int s = 0;
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        s += weight[i][j] * c[r + step * (i - 1)][3 * (x + step * (j - 1)) + k];
                bmp.ScanLine(r)[3 * x + k] = finish(s);
            }
}

void sharpenOf(TBitmap& bmp, const std::int16_t (&coef)[3][3])
{
    int w[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            w[i][j] = coef[i][j];
    convolve(bmp, w, 1, 1, bmp.Height() - 2, 1, bmp.Width() - 2, [](int s) { return clampByte(s / 9); });
}

} // namespace

void Blur(TBitmap& bmp, const std::int16_t (&coef)[3][3])
{
    const Copy c = copyOf(bmp);
    for (int r = 1; r <= bmp.Height() - 2; ++r)
        for (int x = 1; x <= bmp.Width() - 2; ++x)
            for (int k = 0; k < 3; ++k) {
                float s = 0;
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j) {
                        const float weight = float(static_cast<long double>(coef[i][j]) * 0.01);
                        s = float(int(s + static_cast<long double>(weight) * c[r + i - 1][3 * (x + j - 1) + k]));
                    }
                bmp.ScanLine(r)[3 * x + k] = clampByte(int(s) / 9);
            }
}

void Flou(TBitmap& bmp)
{
    const int w[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    convolve(bmp, w, 4, 4, bmp.Height() - 5, 4, bmp.Width() - 5, [](int s) { return std::uint8_t(s / 3); });
}

void Sharpen(TBitmap& bmp, const std::int16_t (&coef)[3][3]) { sharpenOf(bmp, coef); }

void Emboss(TBitmap& bmp)
{
    const int w[3][3] = {{-1, 0, 0}, {0, 0, 0}, {0, 0, 1}};
    convolve(bmp, w, 1, 3, bmp.Height() - 4, 1, bmp.Width() - 2, [](int s) { return clampByte(s + 128); });
}

void Aquarelle(TBitmap& bmp)
{
    const Copy c = copyOf(bmp);
    for (int r = 4; r <= bmp.Height() - 6; ++r)
        for (int b = 12; b <= 3 * bmp.Width() - 16; ++b) {
            std::uint8_t samples[25];
            int n = 0;
            for (int m = -2; m <= 2; ++m)
                for (int k = -2; k <= 2; ++k)
                    samples[n++] = c[r + 2 * m][b + 6 * k];
            std::sort(samples, samples + 25);
            bmp.ScanLine(r)[b] = samples[13];
        }
    const std::int16_t sharpen[3][3] = {{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}};
    sharpenOf(bmp, sharpen);
}

} // namespace reference
