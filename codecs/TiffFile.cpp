#include "codecs/TiffFile.h"

#include "codecs/FileRefusal.h"

#include <QByteArray>
#include <QColorSpace>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <tiffio.h>

namespace {

[[noreturn]] void damaged(const QString& fileName)
{
    RefuseFile(fileName, QStringLiteral("le fichier est endommagé ou tronqué."));
}

// libtiff reads the device through these.
QIODevice* deviceOf(thandle_t handle) { return static_cast<QIODevice*>(handle); }
tsize_t readDevice(thandle_t handle, tdata_t buffer, tsize_t size)
{
    return deviceOf(handle)->read(static_cast<char*>(buffer), size);
}
tsize_t writeNothing(thandle_t, tdata_t, tsize_t) { return -1; }
toff_t seekDevice(thandle_t handle, toff_t offset, int whence)
{
    QIODevice* device = deviceOf(handle);
    const qint64 base = whence == SEEK_CUR ? device->pos() : whence == SEEK_END ? device->size() : 0;
    device->seek(base + qint64(offset));
    return toff_t(device->pos());
}
int closeNothing(thandle_t) { return 0; }
toff_t deviceSize(thandle_t handle) { return toff_t(deviceOf(handle)->size()); }
int mapNothing(thandle_t, tdata_t*, toff_t*) { return 0; }
void unmapNothing(thandle_t, tdata_t, toff_t) { }

// libtiff's errors and warnings are said by the program in French, once.
int silent(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct CloseTiff {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

enum class Kind { Rgb, Grey, Palette, Cmyk, Cmyk16 };

// The bytes of a pixel of `kind` in the file.
int bytesPerPixel(Kind kind)
{
    switch (kind) {
    case Kind::Rgb: return 3;
    case Kind::Cmyk: return 4;
    case Kind::Cmyk16: return 8;
    default: return 1;
    }
}

// Cyan, magenta, yellow and black inks as red, green and blue, as libtiff's
// RGBA reading (which Qt's plugin used) converts them: each colour is
// (255 - k) (255 - ink) / 255, rounded down; stored as blue, green, red.
void cmykToBgr(unsigned c, unsigned m, unsigned y, unsigned k, std::uint8_t* out)
{
    const unsigned white = 255 - k;
    out[0] = std::uint8_t(white * (255 - y) / 255);
    out[1] = std::uint8_t(white * (255 - m) / 255);
    out[2] = std::uint8_t(white * (255 - c) / 255);
}

// A 16-bit sample in the machine's order, rounded to the nearest 8-bit level.
unsigned level8(const std::uint8_t* in)
{
    std::uint16_t v = 0;
    std::memcpy(&v, in, 2);
    return (unsigned(v) + 128) / 257;
}

// A row of `width` pixels of `kind` from `in` as blue, green, red bytes.
void toBgr(Kind kind, const std::uint8_t* in, int width, const std::array<std::uint32_t, 256>& palette,
           std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 3) {
        switch (kind) {
        case Kind::Cmyk: cmykToBgr(in[4 * x], in[4 * x + 1], in[4 * x + 2], in[4 * x + 3], out); break;
        case Kind::Cmyk16: {
            const std::uint8_t* p = in + 8 * x;
            cmykToBgr(level8(p), level8(p + 2), level8(p + 4), level8(p + 6), out);
            break;
        }
        case Kind::Rgb:
            out[0] = in[3 * x + 2];
            out[1] = in[3 * x + 1];
            out[2] = in[3 * x];
            break;
        case Kind::Grey: out[0] = out[1] = out[2] = in[x]; break;
        case Kind::Palette: {
            const std::uint32_t colour = palette[in[x]];
            out[0] = std::uint8_t(colour);
            out[1] = std::uint8_t(colour >> 8);
            out[2] = std::uint8_t(colour >> 16);
            break;
        }
        }
    }
}

using TiffHandle = std::unique_ptr<TIFF, CloseTiff>;

} // namespace

void QuietTiff()
{
    static const bool quiet = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)quiet;
}

namespace {

// libtiff over the device, from its start; null when it cannot read the file.
TiffHandle openTiff(QIODevice& device)
{
    QuietTiff();
    if (!device.seek(0))
        return nullptr;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, silent, nullptr);
    TiffHandle tiff(TIFFClientOpenExt("velmora", "rh", &device, readDevice, writeNothing, seekDevice, closeNothing,
                                      deviceSize, mapNothing, unmapNothing, options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

// The first page's size, and its kind when this reader decodes it.
struct Page {
    std::uint32_t width = 0, height = 0;
    std::optional<Kind> kind;
};

// None when its directory cannot be read or lacks a size or a photometric
// interpretation, as the plugin refuses it.
std::optional<Page> firstPage(TIFF* t)
{
    Page page;
    std::uint16_t photometric = 0;
    if (!t || !TIFFSetDirectory(t, 0) || !TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &page.width) ||
        !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &page.height) || !TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric))
        return std::nullopt;
    std::uint16_t bits = 1, samples = 1, sampleFormat = SAMPLEFORMAT_VOID, planar = PLANARCONFIG_CONTIG;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(t, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetField(t, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(t, TIFFTAG_ORIENTATION, &orientation);
    std::uint16_t inks = INKSET_CMYK;
    TIFFGetField(t, TIFFTAG_INKSET, &inks);
    const bool tiled = TIFFIsTiled(t);
    const bool stored =
        planar == PLANARCONFIG_CONTIG && sampleFormat != SAMPLEFORMAT_IEEEFP && orientation == ORIENTATION_TOPLEFT;
    const bool plain = bits == 8 && stored;
    const bool cmyk = stored && photometric == PHOTOMETRIC_SEPARATED && samples == 4 && inks == INKSET_CMYK;
    if (cmyk && bits == 8)
        page.kind = Kind::Cmyk;
    else if (cmyk && bits == 16)
        page.kind = Kind::Cmyk16;
    else if (plain && photometric == PHOTOMETRIC_RGB && samples == 3)
        page.kind = Kind::Rgb;
    else if (plain && photometric == PHOTOMETRIC_MINISBLACK && samples == 1 && !tiled)
        page.kind = Kind::Grey;
    else if (plain && photometric == PHOTOMETRIC_PALETTE && samples == 1 && !tiled)
        page.kind = Kind::Palette;
    return page;
}

} // namespace

bool TiffReadDirectly(QIODevice& device)
{
    const TiffHandle tiff = openTiff(device);
    const std::optional<Page> page = firstPage(tiff.get());
    return page && page->kind;
}

bool TiffKindUnsupported(QIODevice& device)
{
    const TiffHandle tiff = openTiff(device);
    TIFF* const t = tiff.get();
    if (!firstPage(t))
        return false;
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression))
        return true;
    // libtiff's RGBA reading, which Qt's plugin falls back on, knows from the
    // tags alone whether it can turn the pixels into colours.
    char message[1024] = {};
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, t, 0, message))
        return true;
    TIFFRGBAImageEnd(&image);
    return false;
}

std::optional<ReadPicture> ReadTiff(QIODevice& device, const QString& fileName, const TContainerContents& contents)
{
    TiffHandle tiff = openTiff(device);
    TIFF* const t = tiff.get();
    const std::optional<Page> page = firstPage(t);
    if (!page)
        damaged(fileName);
    if (!page->kind) {
        tiff.reset();
        device.seek(0);
        return std::nullopt;
    }
    const Kind kind = *page->kind;
    const std::uint32_t width = page->width, height = page->height;
    const bool tiled = TIFFIsTiled(t);
    RefuseIfTooLarge(width, height, fileName);

    // The palette's 16-bit levels keep their high byte, as Qt's plugin reads them.
    std::array<std::uint32_t, 256> palette{};
    if (kind == Kind::Palette) {
        std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
            damaged(fileName);
        for (size_t i = 0; i < palette.size(); ++i)
            palette[i] = std::uint32_t(red[i] >> 8) << 16 | std::uint32_t(green[i] >> 8) << 8 | (blue[i] >> 8);
    }

    ReadPicture result;
    result.format = ImageFormat::Tiff;
    result.lost.moreImages = contents.moreFrames;
    result.lost.deepColour = kind == Kind::Cmyk16;
    result.image = NewBitmapImage(int(width), int(height));
    if (result.image.isNull())
        RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
    QImage& image = result.image;
    const qsizetype used = 3 * qsizetype(width);
    if (tiled) {
        // The plugin refuses a tile larger than its whole 32-bit picture.
        std::uint32_t tileWidth = 0, tileHeight = 0;
        if (TIFFTileSize64(t) > std::uint64_t(width) * height * 4 || !TIFFGetField(t, TIFFTAG_TILEWIDTH, &tileWidth) ||
            !TIFFGetField(t, TIFFTAG_TILELENGTH, &tileHeight) || tileWidth == 0 || tileHeight == 0)
            damaged(fileName);
        const tmsize_t tileBytes = TIFFTileSize(t);
        const tmsize_t rowBytes = TIFFTileRowSize(t);
        if (tileBytes <= 0 || rowBytes < tmsize_t(bytesPerPixel(kind)) * tileWidth)
            damaged(fileName);
        std::vector<std::uint8_t> tile(static_cast<size_t>(tileBytes));
        for (std::uint32_t y = 0; y < height; y += tileHeight)
            for (std::uint32_t x = 0; x < width; x += tileWidth) {
                if (TIFFReadTile(t, tile.data(), x, y, 0, 0) < 0)
                    damaged(fileName);
                const int columns = int(std::min(tileWidth, width - x));
                for (std::uint32_t row = 0; row < tileHeight && y + row < height; ++row)
                    toBgr(kind, tile.data() + qsizetype(row) * rowBytes, columns, palette,
                          image.scanLine(int(y + row)) + 3 * qsizetype(x));
            }
    } else {
        const tmsize_t rowBytes = TIFFScanlineSize(t);
        if (rowBytes < tmsize_t(bytesPerPixel(kind)) * width)
            damaged(fileName);
        std::vector<std::uint8_t> row(static_cast<size_t>(rowBytes));
        for (std::uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(t, row.data(), y, 0) < 0)
                damaged(fileName);
            toBgr(kind, row.data(), int(width), palette, image.scanLine(int(y)));
        }
    }
    for (int y = 0; y < image.height(); ++y)
        std::memset(image.scanLine(y) + used, 0, size_t(image.bytesPerLine() - used));

    std::uint32_t profileBytes = 0;
    void* profileData = nullptr;
    QColorSpace space;
    if (TIFFGetField(t, TIFFTAG_ICCPROFILE, &profileBytes, &profileData) && profileData)
        space = QColorSpace::fromIccProfile(QByteArray(static_cast<const char*>(profileData), qsizetype(profileBytes)));
    if (!SameAsSrgb(space))
        result.profile = space;
    const bool unreadableProfile = contents.profile && !space.isValid();
    result.depth = result.lost.Any() || unreadableProfile ? pfCustom : pf24bit;
    return result;
}
