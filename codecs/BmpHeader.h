#pragma once

#include "codecs/FileRefusal.h"
#include "raster/TBitmap.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

// How the pixels of a BMP file are stored.
enum class BmpEncoding { Plain, Rle8, Rle4, BitFields };

// What the headers of a BMP file say, once checked.
struct BmpHeaderInfo {
    int width = 0;
    int height = 0; // always positive; topDown tells the row order
    bool topDown = false;
    int bitCount = 0;
    TPixelFormat format = pfCustom;
    BmpEncoding encoding = BmpEncoding::Plain;
    qint64 pixelOffset = 0; // where the pixels start in the file
    qint64 rowBytes = 0; // one stored row of an uncompressed image, padding included
    // 16 and 32 bits: where red, green and blue lie in a pixel (never zero,
    // contiguous, not overlapping).
    std::array<std::uint32_t, 3> masks{};
    // 1, 4 and 8 bits: the colours (0x00RRGGBB) the file really holds; an index
    // past them is black.
    int paletteSize = 0;
    std::array<std::uint32_t, 256> palette{};
};

// How many bytes of the start of a file ValidateBmpHeader needs at most: the
// largest header, its colour masks and a 256-colour palette.
constexpr qint64 kBmpHeadBytes = 14 + 124 + 16 + 256 * 4;

// Checks the headers of a BMP file before any pixel is allocated. `head` holds
// the first bytes of the file (at least min(fileSize, kBmpHeadBytes) of them),
// `fileSize` is its whole size. Throws ERasterError with a French message when
// the file is not a BMP, is truncated, or claims a size or a form the program
// refuses.
BmpHeaderInfo ValidateBmpHeader(const QByteArray& head, qint64 fileSize, const QString& fileName);
