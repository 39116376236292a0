#pragma once

#include <QColorSpace>
#include <QIODevice>
#include <QImage>

// Writes a 24-bit image (QImage::Format_BGR888) to `device` as an 8-bit RGB
// PNG, not interlaced: its header, the colour profile when `profile` is valid
// (its ICC bytes, named by its description), the pixels and the end. The
// picture is cut in bands of rows that are filtered and compressed on every
// core at once, then written in order as one compressed stream; only the bands
// in flight are held, never a second copy of the picture. False when the
// device refuses a write (the device says why). Throws std::bad_alloc when the
// memory for the bands cannot be had.
bool WritePng(QIODevice& device, const QImage& image, const QColorSpace& profile = QColorSpace());
