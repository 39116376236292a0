#pragma once

#include <QByteArray>
#include <QImage>

// Pictures in the formats other than BMP, made for the reader's tests and the
// fuzzer's seeds: written by Qt's plugins, then patched byte by byte where a
// test needs a header no encoder writes.
namespace picturefile {

// The image encoded by Qt's writer in `format` ("png", "jpeg", "webp", "tiff").
QByteArray Encode(const QImage& image, const char* format, int quality = 100, bool progressive = false);

// A PNG with a chunk (`type`, four letters, and `data`) inserted right after
// its header chunk, as gAMA, cHRM, sRGB, iCCP or acTL come.
QByteArray WithPngChunk(const QByteArray& png, const char* type, const QByteArray& data);

// The sample of channel `channel` of pixel (x, y) that LibpngEncode writes:
// pseudo-random over the whole range of `bitDepth` bits, except that pixel
// (1, 0) repeats pixel (0, 0).
quint32 PngSample(int x, int y, int channel, int bitDepth);

// A PNG that libpng writes, of `colourType` (0 grey, 2 RGB, 3 palette, 4 grey
// and alpha, 6 RGBA) at `bitDepth` bits, its samples from PngSample (palette
// indices too, so that they pass the palette's end when it holds fewer than
// 2^bitDepth colours), interlaced or not. With `transparent`, a tRNS chunk:
// the colour of pixel (0, 0) as the transparent colour, or the alphas 0, 128,
// 255, 1 and 254 for the first palette entries. Palette entry i is
// (37 i, 101 i, 13 i) modulo 256.
QByteArray LibpngEncode(int width, int height, int colourType, int bitDepth, bool transparent, bool interlaced,
                        int paletteSize = 256);

// A 64 x 64 RGB PNG (LibpngEncode's) with `chunks` text chunks, each a
// compressed text of `inflatedBytes` letters: zTXt chunks before the pixels,
// then iTXt chunks after them.
QByteArray PngWithText(int chunks, int inflatedBytes);

// A JPEG with an Exif block giving the orientation (1 to 8).
QByteArray WithOrientation(const QByteArray& jpeg, int orientation);

// How libjpeg is asked to store a picture.
enum class JpegColours { YCbCr, Cmyk, Ycck };

// A JPEG that libjpeg writes (quality 90), for what Qt's writer cannot make:
// CMYK or YCCK, holding c, m, y = red, green, blue and a k that changes along
// each row, inverted as most programs store them; or a progressive file of a
// scan for the DC coefficients then one for the others of each component, each
// in full, so that its last scan can be repeated.
QByteArray LibjpegEncode(const QImage& image, JpegColours colours, bool progressive = false);

// The JPEG with its last scan given `times` more times before its end.
QByteArray WithLastScanRepeated(const QByteArray& jpeg, int times);

// The JPEG cut at `fraction` of the bytes after its first scan's header, and
// closed with an end marker.
QByteArray WithScansCut(const QByteArray& jpeg, double fraction);

// Small files whose header claims width x height pixels, with almost no data.
QByteArray PngClaiming(quint32 width, quint32 height);
QByteArray JpegClaiming(quint16 width, quint16 height);
QByteArray GifClaiming(quint16 width, quint16 height);
// A WebP frame says at most 16383 x 16383: within the bitmaps' limit, so
// such a file must fail on its missing data, quickly and without the memory.
QByteArray WebpClaiming(quint16 width, quint16 height);

// A GIF of `frames` 1 x 1 pictures, the first one red.
QByteArray Gif(int frames);

} // namespace picturefile
