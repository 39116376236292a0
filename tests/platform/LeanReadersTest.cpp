// The WebP and TIFF readers that decode straight into the 24-bit image give
// exactly what Qt's plugins gave through a 32-bit picture: the same bytes, the
// same losses, depth and colour profile, over a table of files of every kind;
// a damaged file is refused in French, as before.
#include "codecs/ContainerScan.h"
#include "codecs/ImageFile.h"
#include "codecs/WebpFile.h"
#include "raster/Exception.h"

#include "support/PictureFiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QtEndian>
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// What the program read before, from Qt's plugin: the picture as the 24-bit
// image, with its losses (transparency and depth together) and profile.
std::optional<ReadPicture> throughQt(const QByteArray& bytes, ImageFormat format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TContainerContents contents;
    QImage picture;
    if (!ContainerComplete(format, buffer, &contents) || !buffer.seek(0))
        return std::nullopt;
    QImageReader reader(&buffer, format == ImageFormat::Webp ? "webp" : "tiff");
    reader.setAutoTransform(true);
    if (!reader.size().isValid() || !reader.read(&picture) || picture.isNull())
        return std::nullopt;
    ReadPicture expected;
    const QColorSpace space = picture.colorSpace();
    expected.profile = SameAsSrgb(space) ? QColorSpace() : space;
    picture.setColorSpace(QColorSpace());
    expected.image = ToBitmapImage(picture, &expected.lost.transparency);
    expected.lost.moreImages = contents.moreFrames;
    const bool unreadable = contents.profile && !space.isValid();
    expected.depth = expected.lost.Any() || unreadable ? pfCustom : pf24bit;
    return expected;
}

// Every kind is compared with what Qt's plugin gives; a file that the plugin
// could not read is refused as damaged. True when the file was read.
bool expectSameAsQt(const QByteArray& bytes, ImageFormat format)
{
    const std::optional<ReadPicture> expected = throughQt(bytes, format);
    try {
        const ReadPicture read = DecodeImage(bytes, QStringLiteral("f"));
        EXPECT_TRUE(expected.has_value()) << "read, where Qt refused it";
        if (!expected)
            return true;
        EXPECT_EQ(read.image.format(), QImage::Format_BGR888);
        EXPECT_EQ(read.image.size(), expected->image.size());
        int differentRows = 0;
        for (int y = 0; y < read.image.height() && read.image.size() == expected->image.size(); ++y)
            differentRows += std::memcmp(read.image.constScanLine(y), expected->image.constScanLine(y),
                                         size_t(read.image.bytesPerLine())) != 0;
        EXPECT_EQ(differentRows, 0);
        EXPECT_EQ(read.lost.transparency || read.lost.deepColour, expected->lost.transparency);
        EXPECT_EQ(read.lost.moreImages, expected->lost.moreImages);
        EXPECT_EQ(read.profile, expected->profile);
        EXPECT_EQ(read.depth, expected->depth);
        EXPECT_EQ(read.format, format);
        return true;
    } catch (const ERasterError& error) {
        EXPECT_FALSE(expected.has_value()) << error.Message().toStdString();
        EXPECT_TRUE(error.Message().contains(QStringLiteral("endommagé")) ||
                    error.Message().contains(QStringLiteral("trop grande")))
            << error.Message().toStdString();
    }
    return false;
}

// Noise with, where `alpha`, every level of transparency along the rows.
QImage noise(int width, int height, bool alpha, std::uint32_t seed)
{
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgba(int(random() & 255), int(random() & 255), int(random() & 255),
                                 alpha ? (x * 255 / std::max(1, width - 1)) : 255));
    return image;
}

// A TIFF written by libtiff itself, for the kinds Qt's writer does not make.
struct TiffKind {
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    std::uint16_t samples = 3;
    std::uint16_t bits = 8;
    std::uint16_t compression = COMPRESSION_LZW;
    std::uint32_t rowsPerStrip = 5;
    std::uint32_t tile = 0; // a side of the square tiles, 0 for strips
    int pages = 1;
    std::uint16_t extra = EXTRASAMPLE_UNASSALPHA; // with 4 samples or 2
    std::uint16_t orientation = 0; // 0: no tag
    QColorSpace profile{};
};

// Writes `count` pixels of row `y` from column `x` on, in the file's layout.
using TiffPixels = std::function<void(int x, int y, int count, std::uint8_t* out)>;

// Random bytes from `seed`, or the pixels `pixels` gives.
QByteArray tiffFile(const TiffKind& kind, int width, int height, std::uint32_t seed, const TiffPixels& pixels = {})
{
    const QString path = QDir::temp().filePath(QStringLiteral("velmora-lean-%1.tif").arg(::getpid()));
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w");
    std::mt19937 random(seed);
    for (int page = 0; page < kind.pages; ++page) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, kind.photometric);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, kind.samples);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, kind.bits);
        TIFFSetField(t, TIFFTAG_COMPRESSION, kind.compression);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if ((kind.samples == 4 && kind.photometric != PHOTOMETRIC_SEPARATED) || kind.samples == 2)
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &kind.extra);
        if (kind.orientation)
            TIFFSetField(t, TIFFTAG_ORIENTATION, kind.orientation);
        std::vector<std::uint16_t> map((size_t(1) << kind.bits) + 2);
        if (kind.photometric == PHOTOMETRIC_PALETTE) {
            for (std::uint16_t& level : map)
                level = std::uint16_t(random());
            TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + 1, map.data() + 2);
        }
        QByteArray icc = kind.profile.iccProfile();
        if (!icc.isEmpty())
            TIFFSetField(t, TIFFTAG_ICCPROFILE, std::uint32_t(icc.size()), icc.data());
        const tmsize_t rowBytes = (tmsize_t(width) * kind.samples * kind.bits + 7) / 8;
        const auto fill = [&](std::vector<std::uint8_t>& bytes) {
            for (std::uint8_t& byte : bytes)
                byte = std::uint8_t(random());
        };
        if (kind.tile) {
            TIFFSetField(t, TIFFTAG_TILEWIDTH, kind.tile);
            TIFFSetField(t, TIFFTAG_TILELENGTH, kind.tile);
            std::vector<std::uint8_t> tile(size_t(TIFFTileSize(t)));
            const int side = int(kind.tile), pixelBytes = kind.samples * kind.bits / 8;
            for (int y = 0; y < height; y += side)
                for (int x = 0; x < width; x += side) {
                    if (pixels) {
                        std::fill(tile.begin(), tile.end(), std::uint8_t(0));
                        for (int row = 0; row < side && y + row < height; ++row)
                            pixels(x, y + row, std::min(side, width - x), tile.data() + row * side * pixelBytes);
                    } else {
                        fill(tile);
                    }
                    TIFFWriteTile(t, tile.data(), std::uint32_t(x), std::uint32_t(y), 0, 0);
                }
        } else {
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, kind.rowsPerStrip);
            std::vector<std::uint8_t> row(static_cast<size_t>(rowBytes));
            for (int y = 0; y < height; ++y) {
                pixels ? pixels(0, y, width, row.data()) : fill(row);
                TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0);
            }
        }
        TIFFWriteDirectory(t);
    }
    TIFFClose(t);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    file.remove();
    return bytes;
}

} // namespace

TEST(LeanReaders, WebpGivesWhatQtsPluginGave)
{
    QImage adobe = noise(20, 10, false, 9), srgb = noise(20, 10, true, 10);
    adobe.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    srgb.setColorSpace(QColorSpace(QColorSpace::SRgb));
    struct Case {
        std::string name;
        QByteArray bytes;
    };
    const std::vector<Case> cases = {
        {"lossy", picturefile::Encode(noise(37, 23, false, 1), "webp", 80)},
        {"lossy, a wide strip", picturefile::Encode(noise(301, 7, false, 3), "webp", 50)},
        {"lossless", picturefile::Encode(noise(37, 23, false, 4), "webp", 100)},
        {"lossy with alpha", picturefile::Encode(noise(37, 23, true, 6), "webp", 80)},
        {"lossless with alpha", picturefile::Encode(noise(40, 9, true, 7), "webp", 100)},
        {"opaque alpha channel",
         picturefile::Encode(noise(16, 16, false, 8).convertToFormat(QImage::Format_ARGB32), "webp", 100)},
        {"Adobe RGB profile", picturefile::Encode(adobe, "webp", 80)},
        {"sRGB profile", picturefile::Encode(srgb, "webp", 100)},
        {"claiming 16383 x 16383", picturefile::WebpClaiming(16383, 16383)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(expectSameAsQt(c.bytes, ImageFormat::Webp), c.name != "claiming 16383 x 16383");
        // Cut anywhere, the file is refused the same way.
        for (const double kept : {0.1, 0.5, 0.9, 0.99}) {
            SCOPED_TRACE(kept);
            expectSameAsQt(c.bytes.left(qsizetype(c.bytes.size() * kept)), ImageFormat::Webp);
        }
    }
}

// The writer lays its files out as Qt's plugin did: a lossless picture's
// bytes are the plugin's; a lossy one, coded in less memory, has the same
// header and profile before a picture of its own.
TEST(LeanReaders, WebpIsWrittenAsQtsPluginWroteIt)
{
    const QImage picture = noise(37, 23, false, 11).convertToFormat(QImage::Format_BGR888);
    for (const QColorSpace& profile : {QColorSpace(), QColorSpace(QColorSpace::AdobeRgb)})
        for (const int quality : {100, 92}) {
            SCOPED_TRACE(quality);
            QImage tagged = picture;
            tagged.setColorSpace(profile);
            const QByteArray plugin = picturefile::Encode(tagged, "webp", quality);
            QByteArray ours;
            QBuffer buffer(&ours);
            buffer.open(QIODevice::WriteOnly);
            ASSERT_TRUE(WriteWebp(buffer, picture, quality, profile));
            if (quality == 100) {
                EXPECT_EQ(ours, plugin);
                continue;
            }
            const qsizetype chunk = plugin.indexOf("VP8 ");
            EXPECT_EQ(ours.indexOf("VP8 "), chunk);
            EXPECT_EQ(ours.left(4) + ours.mid(8, chunk - 8), plugin.left(4) + plugin.mid(8, chunk - 8));
            EXPECT_EQ(qFromLittleEndian<quint32>(ours.constData() + 4), quint32(ours.size() - 8));
            const ReadPicture read = DecodeImage(ours, QStringLiteral("f"));
            EXPECT_EQ(read.image.size(), picture.size());
            EXPECT_EQ(read.profile, profile);
        }
}

TEST(LeanReaders, TiffGivesWhatQtsPluginGave)
{
    struct Case {
        std::string name;
        TiffKind kind;
        int width, height;
    };
    TiffKind grey{.photometric = PHOTOMETRIC_MINISBLACK, .samples = 1};
    TiffKind palette{.photometric = PHOTOMETRIC_PALETTE, .samples = 1};
    const std::vector<Case> cases = {
        {"rgb, none", {.compression = COMPRESSION_NONE}, 37, 23},
        {"rgb, lzw", {}, 37, 23},
        {"rgb, deflate, one strip", {.compression = COMPRESSION_ADOBE_DEFLATE, .rowsPerStrip = 23}, 37, 23},
        {"rgb, packbits, a row a strip", {.compression = COMPRESSION_PACKBITS, .rowsPerStrip = 1}, 3, 40},
        {"rgb, tiled", {.tile = 16}, 37, 23},
        {"rgb, two pages", {.pages = 2}, 9, 9},
        {"rgb, Adobe RGB", {.profile = QColorSpace(QColorSpace::AdobeRgb)}, 8, 8},
        {"rgb, turned", {.orientation = ORIENTATION_RIGHTTOP}, 11, 6},
        {"rgb 16 bits", {.bits = 16}, 13, 7},
        {"rgba, unassociated", {.samples = 4}, 13, 7},
        {"cmyk", {.photometric = PHOTOMETRIC_SEPARATED, .samples = 4}, 37, 23},
        {"cmyk, tiled", {.photometric = PHOTOMETRIC_SEPARATED, .samples = 4, .tile = 16}, 37, 23},
        {"grey", grey, 37, 23},
        {"grey, none, two pages",
         {.photometric = PHOTOMETRIC_MINISBLACK, .samples = 1, .compression = 1, .pages = 2},
         5,
         5},
        {"white is zero", {.photometric = PHOTOMETRIC_MINISWHITE, .samples = 1}, 9, 4},
        {"grey, tiled", {.photometric = PHOTOMETRIC_MINISBLACK, .samples = 1, .tile = 16}, 20, 20},
        {"palette", palette, 37, 23},
        {"palette 4 bits", {.photometric = PHOTOMETRIC_PALETTE, .samples = 1, .bits = 4}, 10, 3},
        {"bilevel", {.photometric = PHOTOMETRIC_MINISBLACK, .samples = 1, .bits = 1}, 17, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = tiffFile(c.kind, c.width, c.height, 11);
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_TRUE(expectSameAsQt(bytes, ImageFormat::Tiff));
        for (const double kept : {0.2, 0.6, 0.95}) {
            SCOPED_TRACE(kept);
            expectSameAsQt(bytes.left(qsizetype(bytes.size() * kept)), ImageFormat::Tiff);
        }
        // Compressed data scrambled inside the file: refused by both, or the
        // same pixels from both.
        QByteArray scrambled = bytes;
        for (qsizetype at = 16; at < scrambled.size() / 2; at += 7)
            scrambled[at] = char(scrambled[at] ^ 0x5A);
        expectSameAsQt(scrambled, ImageFormat::Tiff);
    }
}

namespace {

// A 37 x 23 CMYK TIFF of `bits` bits a sample holding `samples`, in strips of
// 5 rows or tiles of 16, with an orientation tag unless 0.
QByteArray cmykFile(int bits, const std::vector<std::uint16_t>& samples, bool tiled, std::uint16_t orientation = 0)
{
    TiffKind kind;
    kind.photometric = PHOTOMETRIC_SEPARATED;
    kind.samples = 4;
    kind.bits = std::uint16_t(bits);
    kind.tile = tiled ? 16 : 0;
    kind.orientation = orientation;
    return tiffFile(kind, 37, 23, 0, [&](int x, int y, int count, std::uint8_t* out) {
        for (int i = 0; i < 4 * count; ++i) {
            const std::uint16_t v = samples[size_t(4 * (y * 37 + x) + i)];
            if (bits == 8)
                out[i] = std::uint8_t(v);
            else
                std::memcpy(out + 2 * i, &v, 2);
        }
    });
}

} // namespace

// 16-bit CMYK, which Qt's plugin could not read, gives the pixels of the 8-bit
// CMYK file of its samples rounded to the nearest level, with the warning;
// turned by an orientation tag, it is refused as a kind not read.
TEST(LeanReaders, SixteenBitCmykReadsAsItsSamplesRoundedToEightBits)
{
    std::mt19937 random(5);
    std::vector<std::uint16_t> samples(37 * 23 * 4), rounded(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = i < 8 ? std::uint16_t(i % 2 ? 0xFFFF : 0) : std::uint16_t(random());
        rounded[i] = std::uint16_t((samples[i] + 128) / 257);
    }
    for (const bool tiled : {false, true}) {
        SCOPED_TRACE(tiled);
        const ReadPicture eight = DecodeImage(cmykFile(8, rounded, tiled), QStringLiteral("f"));
        const ReadPicture sixteen = DecodeImage(cmykFile(16, samples, tiled), QStringLiteral("f"));
        EXPECT_EQ(sixteen.image, eight.image);
        EXPECT_EQ(eight.depth, pf24bit);
        EXPECT_EQ(sixteen.depth, pfCustom);
        EXPECT_TRUE(sixteen.lost.deepColour);
    }
    try {
        DecodeImage(cmykFile(16, samples, false, ORIENTATION_BOTRIGHT), QStringLiteral("f"));
        ADD_FAILURE() << "read";
    } catch (const ERasterError& error) {
        EXPECT_EQ(error.Message(),
                  QStringLiteral("Impossible d'ouvrir « f » : ce type de TIFF n'est pas pris en charge."));
    }
}
