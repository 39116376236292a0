#pragma once

#include "codecs/AtomicFile.h"
#include "codecs/JpegFile.h"
#include "raster/TBitmap.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QString>

// A picture read from a file, as the document's 24-bit image.
struct ReadPicture {
    QImage image; // QImage::Format_BGR888, not shared
    ImageFormat format = ImageFormat::Bmp;
    // BMP: the file's depth. Others: pf24bit, or pfCustom when something was
    // lost on the way to 24 bits (see `lost`) or a colour profile could not
    // be read.
    TPixelFormat depth = pf24bit;
    // What the file held that the 24-bit image does not (never set for BMP).
    TFileLosses lost;
    // The file's colour profile when it is not sRGB or the same as sRGB;
    // invalid otherwise. The pixels are the file's values, never converted.
    QColorSpace profile;
};

// Reads a file, recognised by its content whatever its name: BMP, PNG, JPEG,
// GIF (first frame), WebP or TIFF (first page). Transparency is laid over
// white, 16-bit channels rounded to 8, greyscale and palettes expanded and the
// JPEG orientation applied; the pixel values are the file's, whatever colour
// profile it names. The claimed size is checked before anything is decoded.
// Throws ERasterError with a French message for a missing, unreadable,
// truncated, hostile or unknown file.
// A JPEG is decoded at the reduction that `reduce` chooses, when given.
ReadPicture ReadImageFile(const QString& fileName, const JpegReduction& reduce = {});

// The same for a file already in memory (`fileName` only names it in messages).
ReadPicture DecodeImage(const QByteArray& bytes, const QString& fileName);

// A picture from elsewhere (the clipboard) as the document's 24-bit image,
// converted as files are (its values kept, whatever its colour space); `lost` tells whether it was not fully opaque or
// had more than 8 bits a channel. Null when the memory cannot be had.
QImage ToBitmapImage(const QImage& picture, bool* lost = nullptr);

// True for the endings of the files the program reads: .bmp, .png, .jpg,
// .jpeg, .gif, .webp, .tif, .tiff (any case).
bool IsImageFileName(const QString& fileName);

// The format a file name's ending names: .png, .jpg and .jpeg, .webp, .tif
// and .tiff (any case); BMP for any other ending. GIF is never written.
ImageFormat FormatForName(const QString& fileName);

// True when a colour space amounts to sRGB: none, sRGB itself, a profile
// that gives every colour within one level of sRGB, or sRGB's primaries with
// a gamma within 1 % of 2.2 (as most tools tag an sRGB file).
bool SameAsSrgb(const QColorSpace& space);

// The format a typed name's ending names, when it is one the program writes:
// .bmp, .png, .jpg, .jpeg, .webp, .tif, .tiff (any case); false otherwise.
bool WrittenFormatForName(const QString& fileName, ImageFormat* format);

// The French message with which WriteImageFile refuses, before writing
// anything, a picture of `size` that `format` cannot hold (a WebP side over
// 16383 pixels) as `fileName`; empty when it can hold it.
QString WriteSizeRefusal(const QString& fileName, ImageFormat format, QSize size);

// Writes a 24-bit image in `format` (BMP: the uncompressed 24-bit file),
// atomically: on failure the previous file is left as it was and
// ERasterError says why; a size the format cannot hold is refused before
// anything is written (WriteSizeRefusal). `quality` (1 to 100) is for JPEG
// and WebP. A valid `profile` is written into the formats that hold one (PNG, JPEG, WebP, TIFF).
// `links` says whether a symbolic link is followed or replaced (AtomicFile).
void WriteImageFile(const QImage& image, const QString& fileName, ImageFormat format, int quality = 92,
                    const QColorSpace& profile = QColorSpace(), AtomicFile::Links links = AtomicFile::Links::Follow);

// The quality of JPEG and WebP files when none is given.
constexpr int kDefaultQuality = 92;
