#pragma once

#include <QColorSpace>
#include <QIODevice>
#include <QImage>

// Writes the document's 24-bit image (QImage::Format_BGR888) as a baseline
// JPEG with libjpeg, row by row from the image itself: JFIF header with the
// image's resolution, `quality` (1 to 100) for both tables, 2 x 2 chroma
// subsampling, Huffman tables of the standard, and a valid `profile` in APP2
// markers. False when libjpeg refuses or the device fails (the device's own
// error is then for the caller to report); nothing is thrown.
bool WriteJpeg(QIODevice& device, const QImage& image, int quality, const QColorSpace& profile);
