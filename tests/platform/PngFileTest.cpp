// The program's own PNG writer: files that any reader decodes to the very
// pixels written, whatever the size, every row filter and every band seam
// exercised, and the colour profile carried as Qt's writer carried it.
#include "platform/PngFile.h"
#include "support/Images.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
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
