#pragma once

#include "raster/TBitmap.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// Small helpers to make and compare test images.
class TCanvas;

namespace testimg {

// A width x height bitmap whose pixel (x, y) gets colour(x, y) (0x00BBGGRR).
std::unique_ptr<TBitmap> Make(int width, int height, const std::function<TColor(int, int)>& colour);
// A bitmap of one colour.
std::unique_ptr<TBitmap> Uniform(int width, int height, TColor colour);
// A bitmap filled with reproducible pseudo-random bytes.
std::unique_ptr<TBitmap> Noise(int width, int height, std::uint32_t seed);
// An exact copy.
std::unique_ptr<TBitmap> Copy(const TBitmap& source);
// What a canvas shows, as a bitmap: a window canvas's image with what was
// drawn over it.
std::unique_ptr<TBitmap> Shown(TCanvas& canvas);
// True when both have the same size and the same 3 x width bytes in every row.
bool SameBytes(const TBitmap& a, const TBitmap& b);
// The colour of pixel (x, y), read from the rows.
TColor At(const TBitmap& bitmap, int x, int y);
// A fresh empty folder for files written by one test.
QString TempDir();
// Writes the bytes to a file of that name in a fresh folder; returns its path.
QString WriteFile(const QByteArray& bytes, const QString& name = QStringLiteral("image.bmp"));
// The bytes of a file, or nothing when it cannot be read.
QByteArray ReadFile(const QString& path);

} // namespace testimg
