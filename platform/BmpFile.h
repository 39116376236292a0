#pragma once

#include "platform/TBitmap.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// What the header of a BMP file says, once checked.
struct BmpHeaderInfo {
    int width = 0;
    int height = 0; // always positive; topDown tells the row order
    bool topDown = false;
    int bitCount = 0;
    TPixelFormat format = pfCustom;
};

// Checks the headers of a whole BMP file held in `data` against its size before
// any pixel is allocated. Throws ERasterError with a French message when the file is not a
// BMP, is truncated, or claims a size the program refuses.
BmpHeaderInfo ValidateBmpHeader(const QByteArray& data, const QString& fileName);

// Reads a BMP file into a 24-bit image.
QImage ReadBmpFile(const QString& fileName, TPixelFormat* format);

// Encodes a 24-bit image as an uncompressed bottom-up BMP.
QByteArray EncodeBmp24(const QImage& image);
