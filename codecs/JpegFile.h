#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

// Decodes the JPEG in `device`, from its start, with libjpeg into the
// document's 24-bit image (QImage::Format_BGR888, each row padded with zero
// bytes to a multiple of 4, taken from the large-block allocator), its Exif
// orientation applied. `reduction` (1, 2, 4 or 8) divides each side, rounded
// up, as libjpeg's scaled decoding does it. Greyscale and colour pictures come
// out as libjpeg converts them; CMYK pictures (stored inverted, as most
// programs write them) as r = c k / 255, g = m k / 255, b = y k / 255, rounded
// down. An embedded colour profile that Qt can read is attached to the image,
// its pixels left as stored; `hasProfile` tells whether one was embedded,
// readable or not.
// The claimed size, whatever the reduction, is checked against the bitmaps'
// limits before anything is allocated. Throws ERasterError with a French message for a file that is
// damaged (any sign of damaged compressed data, however small), truncated,
// too large, of a kind libjpeg does not decode, or too large for the memory.
QImage ReadJpeg(QIODevice& device, const QString& fileName, int reduction = 1, bool* hasProfile = nullptr);

// Chooses the reduction (1, 2, 4 or 8) once the picture's full size is known,
// its orientation applied.
using JpegReduction = std::function<int(QSize fullSize)>;
QImage ReadJpeg(QIODevice& device, const QString& fileName, const JpegReduction& reduction, bool* hasProfile = nullptr);

// The largest reduction whose picture (each side divided, rounded up) is
// still at least twice `target` both ways, for a picture of `fullSize` to be
// resized to `target`: the resize that follows still does the smoothing, and
// its result stays within 2 levels of the full picture's. 1 when none is.
int JpegReductionFor(QSize fullSize, QSize target);
