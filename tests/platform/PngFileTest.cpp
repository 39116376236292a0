// The program's own PNG writer: files that any reader decodes to the very
// pixels written, whatever the size, every row filter and every band seam
// exercised, and the colour profile carried as Qt's writer carried it. Its
// reader: every kind of PNG gives what Qt's decoder and the conversion to 24
// bits gave, byte for byte, and damage is refused without a word from libpng.
#include "codecs/PngFile.h"
#include "codecs/ImageFile.h"
#include "raster/Exception.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <png.h>
#include <set>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

quint32 big32(const QByteArray& bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
           quint32(quint8(bytes[at + 2])) << 8 | quint32(quint8(bytes[at + 3]));
}

// The chunks after the signature, as (type, data).
std::vector<std::pair<QByteArray, QByteArray>> chunks(const QByteArray& png)
{
    std::vector<std::pair<QByteArray, QByteArray>> result;
    for (qsizetype at = 8; at + 12 <= png.size(); at += 12 + big32(png, at))
        result.emplace_back(png.mid(at + 4, 4), png.mid(at + 8, big32(png, at)));
    return result;
}

QByteArray written(const QImage& image, const QColorSpace& profile = QColorSpace())
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WritePng(buffer, image, profile));
    return bytes;
}

// Rows compared on their 3 x width bytes, and the padding after them zero.
int wrongRows(const QImage& image, const QImage& expected)
{
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        wrong += std::memcmp(row, expected.constScanLine(y), size_t(3 * image.width())) != 0;
        for (qsizetype i = 3 * image.width(); i < image.bytesPerLine(); ++i)
            wrong += row[i] != 0;
    }
    return wrong;
}

// What Qt's decoder and the conversion to 24 bits gave: the image, whether
// a pixel was not fully opaque once converted as toBitmap() converts, whether
// channels were deeper than 8 bits, and the colour space.
struct QtReading {
    QImage image;
    bool transparency = false;
    bool deep = false;
    QColorSpace space;
};

QtReading readByQt(const QByteArray& png)
{
    QtReading result;
    QImage picture = QImage::fromData(png, "png");
    const QImage::Format format = picture.format();
    result.deep =
        format == QImage::Format_Grayscale16 || format == QImage::Format_RGBX64 || format == QImage::Format_RGBA64;
    result.space = picture.colorSpace();
    const QImage converted = picture.convertToFormat(result.deep                 ? QImage::Format_RGBA64
                                                     : picture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                                 : QImage::Format_RGB32);
    for (int y = 0; y < converted.height(); ++y)
        for (int x = 0; x < converted.width(); ++x)
            result.transparency |= converted.pixelColor(x, y).alphaF() != 1.0f;
    picture.setColorSpace(QColorSpace());
    result.image = ToBitmapImage(picture);
    return result;
}

PngPicture readPng(const QByteArray& png)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    return ReadPng(buffer, QStringLiteral("image.png"));
}

} // namespace

TEST(PngWriter, EveryPictureReadsBackExactlyThroughEveryFilterAndBandSeam)
{
    // Smooth colours with a grain: each filter wins somewhere.
    const auto grainy = [](int x, int y) {
        const int grain = int((x * 7919u + y * 104729u) % 13) - 6;
        return RGBColor(std::clamp(x / 3 + grain, 0, 255), std::clamp(y / 7 + grain, 0, 255), (x + y) & 0xFF);
    };
    struct Case {
        std::unique_ptr<TBitmap> bitmap;
        bool severalBands;
    };
    Case cases[] = {
        {testimg::Noise(1, 1, 1), false},
        {testimg::Noise(2, 3, 2), false},
        {testimg::Noise(6, 5, 3), false}, // a row of 18 bytes: 16 at once, then 2
        {testimg::Noise(37, 23, 4), false},
        {testimg::Make(700, 1600, grainy), true},
        {testimg::Make(333, 3001, [](int x, int y) { return RGBColor(x & 0xF0, y, 9); }), true},
        {testimg::Uniform(4000, 300, RGBColor(10, 200, 30)), true},
    };
    std::set<int> filters;
    for (const Case& c : cases) {
        const QImage& image = c.bitmap->Image();
        SCOPED_TRACE(testing::Message() << image.width() << " x " << image.height());
        const QByteArray png = written(image);
        const auto list = chunks(png);
        ASSERT_GE(list.size(), 3u);
        EXPECT_EQ(list.front().second.mid(8).toHex(), "0802000000"); // 8-bit RGB, not interlaced
        EXPECT_EQ(list.back().first, "IEND");
        QByteArray stream;
        for (size_t i = 1; i + 1 < list.size(); ++i)
            stream += list[i].second;
        EXPECT_EQ(list.size() > 3, c.severalBands);
        // One zlib stream (header, data and check sum) of exactly the filtered rows.
        const qsizetype rowBytes = 1 + 3 * qsizetype(image.width());
        QByteArray rows(rowBytes * image.height() + 1, '\0');
        uLongf size = uLongf(rows.size());
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                             reinterpret_cast<const Bytef*>(stream.constData()), uLong(stream.size())),
                  Z_OK);
        ASSERT_EQ(qsizetype(size), rowBytes * image.height());
        for (int y = 0; y < image.height(); ++y)
            filters.insert(int(quint8(rows[y * rowBytes])));
        // libpng, under Qt's reader, checks every chunk and gives every byte back.
        const QtReading back = readByQt(png);
        ASSERT_EQ(back.image.size(), image.size());
        EXPECT_EQ(wrongRows(back.image, image), 0);
    }
    EXPECT_EQ(filters, (std::set<int>{0, 1, 2, 3, 4}));
}

// The profile rides in iCCP under its description (or "Custom") and reads back the same.
TEST(PngWriter, TheProfileIsCarriedUnderItsName)
{
    const auto image = testimg::Noise(5, 4, 9);
    const QColorSpace unnamed(QColorSpace::Primaries::AdobeRgb, QColorSpace::TransferFunction::Gamma, 1.3f);
    for (const auto& [profile, name] : {std::pair{QColorSpace(QColorSpace::AdobeRgb), QByteArray("Adobe RGB")},
                                        std::pair{unnamed, QByteArray("Custom")}}) {
        const QByteArray png = written(image->Image(), profile);
        const auto list = chunks(png);
        ASSERT_EQ(list[1].first, "iCCP");
        EXPECT_EQ(list[1].second.left(name.size() + 2), name + QByteArray("\0\0", 2));
        EXPECT_EQ(readByQt(png).space, profile) << name.constData();
    }
    EXPECT_EQ(chunks(written(image->Image()))[1].first, "IDAT");
}

// Every kind of PNG, interlaced or not, at sizes whose passes are partly
// empty: the same bytes, the same losses as Qt's decoder and the conversion
// to 24 bits gave.
TEST(PngReader, EveryKindOfPngReadsAsQtsDecoderAndTheConversionReadIt)
{
    struct Kind {
        int type, depth;
        bool transparent;
        int paletteSize;
    };
    std::vector<Kind> kinds;
    for (const int depth : {1, 2, 4, 8, 16})
        for (const bool transparent : {false, true})
            kinds.push_back({PNG_COLOR_TYPE_GRAY, depth, transparent, 256});
    for (const int depth : {1, 2, 4, 8})
        for (const bool transparent : {false, true})
            for (const int size : {1 << depth, (1 << depth) - 1, 1})
                kinds.push_back({PNG_COLOR_TYPE_PALETTE, depth, transparent, size});
    for (const int depth : {8, 16}) {
        kinds.push_back({PNG_COLOR_TYPE_RGB, depth, false, 256});
        kinds.push_back({PNG_COLOR_TYPE_GRAY_ALPHA, depth, false, 256});
        kinds.push_back({PNG_COLOR_TYPE_RGB_ALPHA, depth, false, 256});
    }
    kinds.push_back({PNG_COLOR_TYPE_RGB, 8, true, 256});
    const QSize sizes[] = {{13, 7}, {1, 1}, {2, 3}, {5, 1}, {1, 6}};
    for (const Kind& kind : kinds)
        for (const bool interlaced : {false, true})
            for (const QSize size : sizes) {
                if (!interlaced && size != sizes[0])
                    continue;
                SCOPED_TRACE(testing::Message()
                             << "type " << kind.type << ", depth " << kind.depth << ", tRNS " << kind.transparent
                             << ", palette " << kind.paletteSize << ", interlaced " << interlaced << ", "
                             << size.width() << " x " << size.height());
                const QByteArray png = picturefile::LibpngEncode(size.width(), size.height(), kind.type, kind.depth,
                                                                 kind.transparent, interlaced, kind.paletteSize);
                const QtReading expected = readByQt(png);
                const PngPicture picture = readPng(png);
                ASSERT_EQ(picture.image.size(), size);
                EXPECT_EQ(picture.image.format(), QImage::Format_BGR888);
                EXPECT_EQ(wrongRows(picture.image, expected.image), 0);
                EXPECT_EQ(picture.transparency, expected.transparency);
                EXPECT_EQ(picture.deepColour, expected.deep);
            }
}

// 16-bit RGB with a transparent colour: that colour is laid over white (Qt's
// decoder left such rows out of place), the others rounded to 8 bits.
TEST(PngReader, TheTransparentColourOfSixteenBitRgbIsLaidOverWhite)
{
    using picturefile::PngSample;
    const PngPicture picture = readPng(picturefile::LibpngEncode(9, 4, PNG_COLOR_TYPE_RGB, 16, true, false));
    EXPECT_TRUE(picture.transparency && picture.deepColour);
    int wrong = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) {
            bool key = true;
            for (int c = 0; c < 3; ++c)
                key &= PngSample(x, y, c, 16) == PngSample(0, 0, c, 16);
            for (int c = 0; c < 3; ++c)
                wrong +=
                    picture.image.constScanLine(y)[3 * x + 2 - c] != (key ? 255 : (PngSample(x, y, c, 16) + 128) / 257);
        }
    EXPECT_EQ(wrong, 0);
}

// The colour space is the one Qt named from the same chunks, by the same
// precedence: a readable profile, then sRGB, then gAMA with or without cHRM.
TEST(PngReader, TheColourSpaceIsTheOneQtNamedFromTheChunks)
{
    const QByteArray plain = picturefile::LibpngEncode(6, 4, PNG_COLOR_TYPE_RGB, 8, false, false);
    const auto u32 = [](quint32 v) { return QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0')); };
    QByteArray srgbPoints, widePoints; // cHRM: white, red, green, blue
    for (const quint32 v : {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000})
        srgbPoints += u32(v);
    for (const quint32 v : {34567, 35850, 73470, 26530, 15960, 84040, 3660, 10})
        widePoints += u32(v);
    const auto iccp = [](const QColorSpace& space) {
        const QByteArray icc = space.iccProfile();
        uLongf size = compressBound(uLong(icc.size()));
        QByteArray packed(qsizetype(size), '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(icc.constData()),
                 uLong(icc.size()));
        return QByteArray("profil\0\0", 8) + packed.left(qsizetype(size));
    };
    using picturefile::WithPngChunk;
    const QByteArray cases[] = {
        plain,
        WithPngChunk(plain, "gAMA", u32(45455)),
        WithPngChunk(plain, "gAMA", u32(100000)),
        WithPngChunk(WithPngChunk(plain, "cHRM", srgbPoints), "gAMA", u32(45455)),
        WithPngChunk(WithPngChunk(plain, "cHRM", widePoints), "gAMA", u32(55555)),
        WithPngChunk(plain, "cHRM", widePoints),
        WithPngChunk(plain, "gAMA", u32(0)),
        WithPngChunk(plain, "sRGB", QByteArray(1, '\1')),
        WithPngChunk(plain, "sRGB", QByteArray(1, '\7')),
        WithPngChunk(WithPngChunk(plain, "gAMA", u32(100000)), "sRGB", QByteArray(1, '\0')),
        WithPngChunk(plain, "iCCP", iccp(QColorSpace::AdobeRgb)),
        WithPngChunk(plain, "iCCP", iccp(QColorSpace::DisplayP3)),
        WithPngChunk(WithPngChunk(plain, "gAMA", u32(100000)), "iCCP", iccp(QColorSpace::AdobeRgb)),
        WithPngChunk(WithPngChunk(plain, "gAMA", u32(100000)), "iCCP", QByteArray("x\0\0", 3) + "not a stream"),
    };
    for (const QByteArray& png : cases) {
        SCOPED_TRACE(&png - cases);
        const QColorSpace expected = readByQt(png).space;
        EXPECT_EQ(readPng(png).space, expected);
    }
}

// A damaged file is refused, however it is damaged, and libpng says nothing
// on the terminal, neither for the refusal nor for a damaged chunk that it
// only warns about.
TEST(PngReader, DamageIsRefusedInFrenchAndLibpngStaysSilent)
{
    const QByteArray png = picturefile::LibpngEncode(40, 30, PNG_COLOR_TYPE_RGB, 8, false, false);
    const qsizetype idat = png.indexOf("IDAT");
    const qsizetype length = big32(png, idat - 4);
    const auto withCrc = [](QByteArray bytes, qsizetype type) {
        const qsizetype size = big32(bytes, type - 4);
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData() + type), uInt(size + 4)));
        for (int i = 0; i < 4; ++i)
            bytes[type + 4 + size + i] = char(crc >> (24 - 8 * i));
        return bytes;
    };
    QByteArray badCrc = png;
    badCrc[idat + 4 + length / 2] = char(badCrc[idat + 4 + length / 2] ^ 0x55);
    QByteArray badData = withCrc(badCrc, idat);
    // The stream ends (a final empty stored block) before the last rows.
    QByteArray shortStream = png;
    shortStream.replace(idat + 4, length, QByteArray::fromHex("7801010000ffff00000001"));
    shortStream.replace(idat - 4, 4, QByteArray::fromHex("0000000b"));
    shortStream = withCrc(shortStream, idat);
    QByteArray badHeader = withCrc(QByteArray(png).replace(16, 4, QByteArray::fromHex("00000000")), 12);
    // An ancillary chunk with a wrong check sum is only warned about.
    QByteArray warned = picturefile::WithPngChunk(png, "tEXt", QByteArray("Comment\0abc", 11));
    warned[8 + 25 + 8] = 'X';

    const int saved = dup(2);
    std::FILE* capture = std::tmpfile();
    dup2(fileno(capture), 2);
    std::vector<QString> errors;
    for (const QByteArray& bytes : {badCrc, badData, shortStream, badHeader, png.left(png.size() - 20)}) {
        try {
            readPng(bytes);
            errors.push_back(QString());
        } catch (const ERasterError& error) {
            errors.push_back(error.Message());
        }
    }
    const PngPicture kept = readPng(warned);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fseek(capture, 0, SEEK_END);
    EXPECT_EQ(std::ftell(capture), 0L) << "libpng wrote on the terminal";
    std::fclose(capture);
    for (const QString& error : errors)
        EXPECT_EQ(error, QStringLiteral("Impossible d'ouvrir « image.png » : le fichier est endommagé ou tronqué."));
    EXPECT_EQ(kept.image.size(), QSize(40, 30));
}
