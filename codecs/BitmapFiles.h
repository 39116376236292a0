#pragma once

#include "codecs/ImageFile.h"
#include "raster/TBitmap.h"

#include <QString>

// A bitmap read from and written to files, in every format the program knows.

// Replaces the bitmap's size, format and pixels by the file's. Throws
// ERasterError with a French message for a missing, unreadable, truncated or
// hostile file; the bitmap is then unchanged.
// PNG, JPEG, GIF, WebP and TIFF files are read too, recognised by their
// content; the format reports pfCustom when something was lost on the way to
// 24 bits. A JPEG is decoded at the reduction that `reduce` chooses for its
// full size (1, 2, 4 or 8; see JpegFile.h), when given.
void LoadFromFile(TBitmap& bitmap, const QString& fileName, const JpegReduction& reduce = {});

// The same with a picture already read (ReadImageFile), taken without a copy.
void SetPicture(TBitmap& bitmap, ReadPicture&& picture);

// Writes an uncompressed 24-bit BMP. Throws ERasterError when the file cannot
// be written; an existing file is then left as it was.
void SaveToFile(const TBitmap& bitmap, const QString& fileName);

// The same in another format (see ImageFile.h), with the colour profile the
// bitmap was read with; `quality` for JPEG and WebP. A symbolic link is
// followed, or replaced with `replaceLink`.
void SaveToFile(const TBitmap& bitmap, const QString& fileName, ImageFormat format, int quality,
                bool replaceLink = false);
