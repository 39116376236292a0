#include "filters/Tfiltre.h"

#include "filters/Convolution.h"
#include "filters/RowWindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// The four convolution filters differ only in their constants: the weights
// (their coefficients), the distance between samples, the divisor, the offset
// and the rows and columns they rewrite. Each keeps a border wide enough for
// every sample to lie inside the image.

namespace {

using Coefficients = std::int16_t[3][3];

void setCoefficients(Coefficients& coef, const Coefficients& values) { std::memcpy(coef, values, sizeof coef); }

// The plain blur loop, for weights that are not whole numbers: the running sum
// is truncated toward zero after each term, the terms evaluated in extended
// precision from the single-precision weights.
void blurWithFractionalWeights(TBitmap& bmp, const float (&weight)[3][3])
{
    const int height = bmp.Height();
    const int width = bmp.Width();
    if (height < 3 || width < 3)
        return;
    filters::RowWindow window(bmp, 1);
    for (int r = 1; r <= height - 2; ++r) {
        window.MoveTo(r);
        const std::uint8_t* const rows[3] = {window.Row(r - 1), window.Row(r), window.Row(r + 1)};
        std::uint8_t* line = bmp.ScanLine(r);
        for (int b = 3; b < 3 * width - 3; ++b) {
            float sum = 0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) {
                    const long double term = static_cast<long double>(weight[i][j]) * rows[i][b + 3 * (j - 1)];
                    sum = static_cast<float>(static_cast<int>(sum + term));
                }
            line[b] = std::uint8_t(std::clamp(static_cast<int>(sum) / 9, 0, 255));
        }
    }
}

} // namespace

TBlur::TBlur(TBitmap& bitmap) : TFiltre(bitmap)
{
    setCoefficients(coef, {{100, 100, 100}, {100, 100, 100}, {100, 100, 100}});
}

void TBlur::Apply()
{
    // The coefficients are hundredths: each weight is the coefficient times
    // 0.01 (a double constant, multiplied in extended precision) rounded to
    // single precision. 100 gives exactly 1.0f. While every weight is a small
    // whole number, every product and partial sum is a whole number below
    // 2^24, exact in a float, and truncating it changes nothing: the sum is
    // then the plain integer sum.
    float weight[3][3];
    bool whole = true;
    filters::Kernel kernel = filters::KernelOf(coef, 1, 9, 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            weight[i][j] = static_cast<float>(static_cast<long double>(coef[i][j]) * 0.01);
            whole = whole && std::trunc(weight[i][j]) == weight[i][j] && std::fabs(weight[i][j]) <= 128;
            kernel.weight[i][j] = whole ? static_cast<int>(weight[i][j]) : 0;
        }
    if (!whole) {
        blurWithFractionalWeights(bmp, weight);
        return;
    }
    filters::Convolve(bmp, kernel, 1, bmp.Height() - 2, 1, bmp.Width() - 2);
}

TFlou::TFlou(TBitmap& bitmap) : TFiltre(bitmap) { setCoefficients(coef, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}); }

void TFlou::Apply()
{
    filters::Convolve(bmp, filters::KernelOf(coef, 4, 3, 0), 4, bmp.Height() - 5, 4, bmp.Width() - 5);
}

TSharpen::TSharpen(TBitmap& bitmap) : TFiltre(bitmap) { setCoefficients(coef, {{0, -2, 0}, {-2, 15, -2}, {0, -2, 0}}); }

void TSharpen::Apply()
{
    // Divided by 9, not by the weights' sum 7: a flat area darkens to 7/9.
    filters::Convolve(bmp, filters::KernelOf(coef, 1, 9, 0), 1, bmp.Height() - 2, 1, bmp.Width() - 2);
}

TEmboss::TEmboss(TBitmap& bitmap) : TFiltre(bitmap) { setCoefficients(coef, {{-1, 0, 0}, {0, 0, 0}, {0, 0, 1}}); }

void TEmboss::Apply()
{
    // Three rows are kept at the top and at the bottom, but one column only at
    // each side.
    filters::Convolve(bmp, filters::KernelOf(coef, 1, 1, 128), 3, bmp.Height() - 4, 1, bmp.Width() - 2);
}
