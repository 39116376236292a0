#include "filters/Tfiltre.h"

#include "filters/Convolution.h"

#include <cstring>

// The four convolution filters differ only in their constants: the weights
// (their coefficients), the distance between samples, the divisor, the offset
// and the rows and columns they rewrite. Each keeps a border wide enough for
// every sample to lie inside the image.

namespace {

using Coefficients = std::int16_t[3][3];

void setCoefficients(Coefficients& coef, const Coefficients& values) { std::memcpy(coef, values, sizeof coef); }

} // namespace

TBlur::TBlur(TBitmap& bitmap) : TFiltre(bitmap)
{
    setCoefficients(coef, {{100, 100, 100}, {100, 100, 100}, {100, 100, 100}});
}

void TBlur::Apply()
{
    // The coefficients are hundredths: each weight is the coefficient times
    // 0.01 (a double constant, multiplied in extended precision) rounded to
    // single precision, and the float running sum is truncated after each
    // term. The constructor's 100 gives exactly 1.0f, so every product and
    // partial sum is a whole number below 2^24, exact in a float, and the
    // truncations change nothing: the sum is the plain integer sum.
    static_assert(static_cast<float>(static_cast<long double>(100) * 0.01) == 1.0f);
    filters::Kernel kernel = filters::KernelOf(coef, 1, 9, 0);
    for (auto& row : kernel.weight)
        for (int& weight : row)
            weight = static_cast<int>(static_cast<float>(static_cast<long double>(weight) * 0.01));
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
