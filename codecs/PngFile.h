#pragma once

#include <QColorSpace>
#include <QIODevice>
#include <QImage>
#include <QString>

// A PNG file's picture as the document's 24-bit image, and what the file held
// besides.
struct PngPicture {
    QImage image; // QImage::Format_BGR888, rows padded with zero bytes to a multiple of 4
    bool transparency = false; // a pixel was not fully opaque
    bool deepColour = false; // 16 bits a channel
    // The colour space the file names, by its iCCP chunk when Qt can read the
    // profile, else its sRGB chunk, else its gAMA chunk (with cHRM's
    // primaries, sRGB's without); invalid when none.
    QColorSpace space;
};

// Decodes the PNG in `device`, from its start, with libpng, row by row
// straight into the document's 24-bit image: greys, palettes and colour key
// expanded, transparency laid over white and 16-bit channels rounded to the
// nearest 8-bit level exactly as Qt's decoder followed by the conversion to 24
// bits did (interlaced pictures too); the values are the file's, never
// converted by any gamma or profile. The claimed size is checked against the
// bitmaps' limits before anything is allocated. Throws ERasterError with a
// French message for a damaged or truncated file, a size over the limits, or
// want of memory. libpng's messages never reach the terminal.
PngPicture ReadPng(QIODevice& device, const QString& fileName);

// Writes a 24-bit image (QImage::Format_BGR888) to `device` as an 8-bit RGB
// PNG, not interlaced: its header, the colour profile when `profile` is valid
// (its ICC bytes, named by its description), the pixels and the end. The
// picture is cut in bands of rows that are filtered and compressed on every
// core at once, then written in order as one compressed stream; only the bands
// in flight are held, never a second copy of the picture. False when the
// device refuses a write (the device says why). Throws std::bad_alloc when the
// memory for the bands cannot be had.
bool WritePng(QIODevice& device, const QImage& image, const QColorSpace& profile = QColorSpace());
