#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// BMP files made byte by byte, well-formed or not, for the loader's tests and
// the fuzzer's seed corpus. Needs Qt Core only.
namespace bmpfile {

struct FileLayout {
    int width = 1;
    int height = 1; // negative: top-down
    int bits = 24;
    std::uint32_t compression = 0;
    int headerSize = 40; // 12, 40, 64, 108, 124 (others are written zero-filled)
    int planes = 1;
    QByteArray palette; // raw entries: 3 bytes each with a 12-byte header, else 4
    std::int64_t coloursUsed = -1; // -1: the palette's entry count
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha; written for compression 3
    QByteArray pixels;
    std::int64_t pixelOffset = -1; // -1: right after the header, masks and palette
    std::uint32_t resolution = 2835; // pixels per metre, both ways (the program writes 0)
};

// The file's bytes.
QByteArray Build(const FileLayout& layout);

// Stored rows of an uncompressed image, padded to 4 bytes: value(x, storedRow)
// gives the pixel's index or packed value (24 bits: 0x00RRGGBB).
QByteArray Rows(int width, int rows, int bits, const std::function<std::uint32_t(int, int)>& value);

// A palette of `count` distinct entries (4 bytes each, or 3 when `os2`).
QByteArray Palette(int count, bool os2 = false);

struct Named {
    QString name;
    QByteArray bytes;
};

// One small well-formed file of every variant the loader reads.
std::vector<Named> Variants();

} // namespace bmpfile
