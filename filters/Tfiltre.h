#pragma once

#include "raster/TBitmap.h"

#include <cstdint>

// A filter computes every pixel of its bitmap anew from a small neighbourhood
// of the old pixels, the three channels alike and independently. The filter
// command makes a private copy of the document's image, creates one filter on
// it, calls Apply once and merges the copy back through the selection mask.
class TFiltre {
public:
    explicit TFiltre(TBitmap& bitmap) : bmp(bitmap) { }
    // Frees the filter only: by the time the last filter is destroyed its
    // bitmap is usually gone, so nothing here may touch bmp.
    virtual ~TFiltre() = default;
    TFiltre(const TFiltre&) = delete;
    TFiltre& operator=(const TFiltre&) = delete;

    // Rewrites pixels of bmp in place; pixels outside the filter's working
    // region keep their values, and an image too small for the region comes out
    // unchanged. Never resizes bmp.
    virtual void Apply() = 0;

protected:
    // coef[i][j] weighs the neighbour at row offset i - 1 and column offset
    // j - 1 (row 0 of the image is the top one). Each filter sets all nine in
    // its constructor.
    std::int16_t coef[3][3] = {};

public:
    // Borrowed: the filter neither creates nor destroys it.
    TBitmap& bmp;
};

// Box blur: the mean of the 3 x 3 neighbourhood, borders kept.
class TBlur final : public TFiltre {
public:
    explicit TBlur(TBitmap& bitmap);
    void Apply() override;
};

// Blur along the main diagonal over a wide step: the mean of the pixel and of
// the pixels 4 rows and 4 columns up-left and down-right of it.
class TFlou final : public TFiltre {
public:
    explicit TFlou(TBitmap& bitmap);
    void Apply() override;
};

// Sharpen: 15 times the pixel less twice each direct neighbour, over 9.
class TSharpen final : public TFiltre {
public:
    explicit TSharpen(TBitmap& bitmap);
    void Apply() override;
};

// Emboss: the lower-right neighbour less the upper-left one, around grey 128.
class TEmboss final : public TFiltre {
public:
    explicit TEmboss(TBitmap& bitmap);
    void Apply() override;
};

// Watercolour: a rank filter over a wide, sparse neighbourhood flattens detail
// into patches, then the sharpening of TSharpen brings out their edges.
class TAquarelle final : public TFiltre {
public:
    explicit TAquarelle(TBitmap& bitmap);
    void Apply() override;
};
