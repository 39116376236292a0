#pragma once

#include "codecs/BmpHeader.h"
#include "raster/TBitmap.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

// Reads a BMP file, open as `fd` (a regular file of `fileSize` bytes), into a
// 24-bit image (QImage::Format_BGR888, not shared), never reading more than
// its header promises.
QImage ReadBmp(int fd, qint64 fileSize, const QString& fileName, TPixelFormat* format);

// The same for a file already in memory (`fileName` only names it in messages).
QImage DecodeBmp(const char* data, qint64 size, const QString& fileName, TPixelFormat* format);

// Writes a 24-bit image (QImage::Format_BGR888) as an uncompressed bottom-up BMP
// straight from its rows. False when the device refuses a write.
bool WriteBmp24(QIODevice& device, const QImage& image);
