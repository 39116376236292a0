// The program's own PNG writer: files that any reader decodes to the very
// pixels written, whatever the size, every row filter and every band seam
// exercised, and the colour profile carried as Qt's writer carried it. Its
// reader: every kind of PNG gives what Qt's decoder and the conversion to 24
// bits gave, byte for byte, and damage is refused without a word from libpng.
#include "platform/PngFile.h"
#include "platform/Exception.h"
#include "platform/ImageFile.h"
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

struct Chunk {
    QByteArray type;
    QByteArray data;
};

quint32 big32(const QByteArray& bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
           quint32(quint8(bytes[at + 2])) << 8 | quint32(quint8(bytes[at + 3]));
}

// The chunks after the signature; a chunk whose check sum is wrong fails the test.
std::vector<Chunk> chunks(const QByteArray& png)
{
    std::vector<Chunk> result;
    EXPECT_EQ(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = big32(png, at);
        const QByteArray body = png.mid(at + 4, 4 + length);
        EXPECT_EQ(big32(png, at + 8 + length),
                  crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size())));
        result.push_back({body.left(4), body.mid(4)});
        at += 12 + length;
    }
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

} // namespace

TEST(PngWriter, EveryPictureReadsBackExactlyThroughEveryFilterAndBandSeam)
{
    struct Case {
        const char* name;
        std::unique_ptr<TBitmap> bitmap;
        bool severalBands;
    };
    // Smooth colours with a grain: each filter wins somewhere.
    const auto grainy = [](int x, int y) {
        const int grain = int((x * 7919u + y * 104729u) % 13) - 6;
        return RGBColor(std::clamp(x / 3 + grain, 0, 255), std::clamp(y / 7 + grain, 0, 255), (x + y) & 0xFF);
    };
    Case cases[] = {
        {"1 x 1", testimg::Noise(1, 1, 1), false},
        {"2 x 3", testimg::Noise(2, 3, 2), false},
        {"6 x 5, a row of 18 bytes", testimg::Noise(6, 5, 3), false},
        {"37 x 23", testimg::Noise(37, 23, 4), false},
        {"grain, 700 x 1600", testimg::Make(700, 1600, grainy), true},
        {"stripes, 333 x 3001", testimg::Make(333, 3001, [](int x, int y) { return RGBColor(x & 0xF0, y, 9); }), true},
        {"one colour, 4000 x 300", testimg::Uniform(4000, 300, RGBColor(10, 200, 30)), true},
    };
    std::set<int> filters;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage& image = c.bitmap->Image();
        const int width = image.width(), height = image.height();
        const QByteArray png = written(image);
        const std::vector<Chunk> list = chunks(png);
        ASSERT_GE(list.size(), 3u);
        EXPECT_EQ(list.front().type, "IHDR");
        EXPECT_EQ(list.front().data.toHex(), (QByteArray::number(width, 16).rightJustified(8, '0') +
                                              QByteArray::number(height, 16).rightJustified(8, '0') + "0802000000"));
        EXPECT_EQ(list.back().type, "IEND");
        QByteArray stream;
        int idat = 0;
        for (size_t i = 1; i + 1 < list.size(); ++i) {
            EXPECT_EQ(list[i].type, "IDAT");
            stream += list[i].data;
            ++idat;
        }
        EXPECT_EQ(idat > 1, c.severalBands);
        // One zlib stream (header, data and check sum) of exactly the filtered rows.
        const qsizetype rowBytes = 1 + 3 * qsizetype(width);
        QByteArray rows(rowBytes * height + 1, '\0');
        uLongf size = uLongf(rows.size());
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                             reinterpret_cast<const Bytef*>(stream.constData()), uLong(stream.size())),
                  Z_OK);
        ASSERT_EQ(qsizetype(size), rowBytes * height);
        for (int y = 0; y < height; ++y)
            filters.insert(int(quint8(rows[y * rowBytes])));
        // Qt's own reader gives every byte back.
        const QImage back = QImage::fromData(png, "png").convertToFormat(QImage::Format_BGR888);
        ASSERT_EQ(back.size(), image.size());
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            wrong += std::memcmp(back.constScanLine(y), image.constScanLine(y), size_t(3 * width)) != 0;
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(filters, (std::set<int>{0, 1, 2, 3, 4}));
}

TEST(PngWriter, TheProfileIsCarriedUnderItsName)
{
    const auto image = testimg::Noise(5, 4, 9);
    const QColorSpace unnamed(QColorSpace::Primaries::AdobeRgb, QColorSpace::TransferFunction::Gamma, 1.3f);
    struct Case {
        QColorSpace profile;
        QByteArray name;
    };
    for (const Case& c : {Case{QColorSpace::AdobeRgb, "Adobe RGB"}, Case{QColorSpace::DisplayP3, "Display P3"},
                          Case{unnamed, "Custom"}}) {
        SCOPED_TRACE(c.name.constData());
        const QByteArray png = written(image->Image(), c.profile);
        const std::vector<Chunk> list = chunks(png);
        ASSERT_EQ(list[1].type, "iCCP");
        const QByteArray& data = list[1].data;
        ASSERT_EQ(data.left(c.name.size() + 2), c.name + QByteArray("\0\0", 2));
        const QByteArray icc = c.profile.iccProfile();
        QByteArray unpacked(icc.size(), '\0');
        uLongf size = uLongf(icc.size());
        const QByteArray packed = data.mid(c.name.size() + 2);
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(unpacked.data()), &size,
                             reinterpret_cast<const Bytef*>(packed.constData()), uLong(packed.size())),
                  Z_OK);
        EXPECT_EQ(unpacked, icc);
        EXPECT_EQ(QImage::fromData(png, "png").colorSpace(), c.profile);
    }
    // No profile, no chunk.
    EXPECT_EQ(chunks(written(image->Image()))[1].type, "IDAT");
}

namespace {

bool deepFormat(QImage::Format format)
{
    return format == QImage::Format_Grayscale16 || format == QImage::Format_RGBX64 || format == QImage::Format_RGBA64;
}

// What Qt's decoder and the conversion to 24 bits gave: the image, and
// whether a pixel was not fully opaque, converted as toBitmap() converts.
struct QtReading {
    QImage image;
    bool transparency = false;
    bool deep = false;
    QColorSpace space;
};

QtReading readByQt(const QByteArray& png)
{
    QtReading result;
    const QImage picture = QImage::fromData(png, "png");
    result.deep = deepFormat(picture.format());
    result.space = picture.colorSpace();
    QImage converted = picture;
    if (result.deep) {
        converted.convertTo(QImage::Format_RGBA64);
        for (int y = 0; y < converted.height(); ++y)
            for (int x = 0; x < converted.width(); ++x)
                result.transparency |= converted.pixelColor(x, y).rgba64().alpha() != 0xFFFF;
    } else {
        converted.convertTo(picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        for (int y = 0; y < converted.height(); ++y)
            for (int x = 0; x < converted.width(); ++x)
                result.transparency |= qAlpha(converted.pixel(x, y)) != 255;
    }
    QImage plain = picture;
    plain.setColorSpace(QColorSpace());
    result.image = ToBitmapImage(plain);
    return result;
}

PngPicture readPng(const QByteArray& png)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    return ReadPng(buffer, QStringLiteral("image.png"));
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

} // namespace

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

// 16-bit RGB with a transparent colour: the colour is transparent (Qt's
// decoder shifted such rows out of place).
TEST(PngReader, TheTransparentColourOfSixteenBitRgbIsLaidOverWhite)
{
    const int width = 9, height = 4;
    const QByteArray png = picturefile::LibpngEncode(width, height, PNG_COLOR_TYPE_RGB, 16, true, false);
    const PngPicture picture = readPng(png);
    EXPECT_TRUE(picture.transparency);
    EXPECT_TRUE(picture.deepColour);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool key = true;
            int expected[3];
            for (int c = 0; c < 3; ++c) {
                const quint32 v = picturefile::PngSample(x, y, c, 16);
                key &= v == picturefile::PngSample(0, 0, c, 16);
                expected[c] = int((v + 128) / 257);
            }
            for (int c = 0; c < 3; ++c)
                wrong += picture.image.constScanLine(y)[3 * x + 2 - c] != (key ? 255 : expected[c]);
        }
    EXPECT_EQ(wrong, 0);
}

// The colour space is the one Qt named from the same chunks, by the same
// precedence: a readable profile, then sRGB, then gAMA with or without cHRM.
TEST(PngReader, TheColourSpaceIsTheOneQtNamedFromTheChunks)
{
    const QByteArray plain = picturefile::LibpngEncode(6, 4, PNG_COLOR_TYPE_RGB, 8, false, false);
    const auto u32 = [](quint32 v) { return QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0')); };
    const auto chrm = [&u32](std::initializer_list<quint32> values) {
        QByteArray data;
        for (const quint32 v : values)
            data += u32(v);
        return data;
    };
    const QByteArray srgbPoints = chrm({31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000});
    const QByteArray widePoints = chrm({34567, 35850, 73470, 26530, 15960, 84040, 3660, 10});
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
        EXPECT_EQ(readPng(png).space.isValid(), expected.isValid());
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
    QByteArray warned = picturefile::WithPngChunk(png, "tEXt", "Comment\0abc");
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
