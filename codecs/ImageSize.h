#pragma once

#include "raster/TBitmap.h"

#include <QSize>
#include <QString>
#include <optional>

// What a file's header says about its picture, read without decoding any
// pixel: enough to know how much memory reading it will take.
struct ClaimedImage {
    ImageFormat format = ImageFormat::Bmp;
    // The picture's size as the file stores it (a GIF: its screen), before any
    // orientation is applied; it may be over the bitmaps' limits.
    QSize size;
    // The most memory that ReadImageFile takes for it at any moment, the
    // decoder's own blocks and the 24-bit image included.
    qint64 readingBytes = 0;
    // What stays held once it is read: the 24-bit image, or the decoded block
    // that it lies in.
    qint64 heldBytes = 0;
};

// Reads the header of a BMP, PNG, JPEG, GIF, WebP or TIFF file, recognised by
// its content. None for a file that cannot be opened, is not a regular file,
// or whose header is unreadable or damaged: ReadImageFile then says why.
std::optional<ClaimedImage> ClaimImageFile(const QString& fileName);
