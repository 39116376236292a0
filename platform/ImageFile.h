#pragma once

#include "platform/TBitmap.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// A picture read from a file, as the document's 24-bit image.
struct ReadPicture {
    QImage image; // QImage::Format_BGR888, not shared
    ImageFormat format = ImageFormat::Bmp;
    // BMP: the file's depth. Others: pf24bit, or pfCustom when something was
    // lost on the way to 24 bits (transparency, more than 8 bits a channel,
    // further frames or pages).
    TPixelFormat depth = pf24bit;
};

// Reads a file, recognised by its content whatever its name: BMP, PNG, JPEG,
// GIF (first frame), WebP or TIFF (first page). Transparency is laid over
// white, 16-bit channels rounded to 8, greyscale and palettes expanded, the
// JPEG orientation applied and an embedded colour profile converted to sRGB.
// The claimed size is checked before anything is decoded. Throws
// ERasterError with a French message for a missing, unreadable, truncated,
// hostile or unknown file.
ReadPicture ReadImageFile(const QString& fileName);

// The same for a file already in memory (`fileName` only names it in messages).
ReadPicture DecodeImage(const QByteArray& bytes, const QString& fileName);

// A picture from elsewhere (the clipboard) as the document's 24-bit image,
// converted as files are; `lost` tells whether it was not fully opaque or had
// more than 8 bits a channel. Null when the memory cannot be had.
QImage ToBitmapImage(const QImage& picture, bool* lost = nullptr);

// True for the endings of the files the program reads: .bmp, .png, .jpg,
// .jpeg, .gif, .webp, .tif, .tiff (any case).
bool IsImageFileName(const QString& fileName);

// The format a file name's ending names: .png, .jpg and .jpeg, .webp, .tif
// and .tiff (any case); BMP for any other ending. GIF is never written.
ImageFormat FormatForName(const QString& fileName);

// Writes a 24-bit image in `format` (BMP: the uncompressed 24-bit file),
// atomically: on failure the previous file is left as it was and
// ERasterError says why. `quality` (1 to 100) is for JPEG and WebP.
void WriteImageFile(const QImage& image, const QString& fileName, ImageFormat format, int quality = 92);

// The quality of JPEG and WebP files when none is given.
constexpr int kDefaultQuality = 92;
