// The size a file's header claims, read without decoding it, and the memory
// its read is counted to take.
#include "platform/ImageSize.h"

#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QImage>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

QImage picture(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    image.fill(QColor(10, 200, 30, 128));
    return image;
}

} // namespace

// Every format the program reads, by its content whatever its name: the size
// stored, and a read counted at least as large as the 24-bit image.
TEST(ImageSize, EachFormatsHeaderGivesItsStoredSize)
{
    const QImage rgb = picture(37, 23, QImage::Format_RGB32);
    struct Case {
        std::string name;
        QByteArray bytes;
        ImageFormat format;
        QSize size;
    };
    QByteArray bmp;
    {
        const QString path = testimg::TempDir() + "/a.bmp";
        testimg::Noise(37, 23, 4)->SaveToFile(path);
        bmp = testimg::ReadFile(path);
    }
    const std::vector<Case> cases = {
        {"bmp", bmp, ImageFormat::Bmp, QSize(37, 23)},
        {"png", picturefile::Encode(rgb, "png"), ImageFormat::Png, QSize(37, 23)},
        {"png 16 bits", picturefile::Encode(picture(37, 23, QImage::Format_RGBA64), "png"), ImageFormat::Png,
         QSize(37, 23)},
        {"jpeg", picturefile::Encode(rgb, "jpeg", 90), ImageFormat::Jpeg, QSize(37, 23)},
        {"progressive jpeg", picturefile::Encode(rgb, "jpeg", 90, true), ImageFormat::Jpeg, QSize(37, 23)},
        {"turned jpeg", picturefile::WithOrientation(picturefile::Encode(rgb, "jpeg", 90), 6), ImageFormat::Jpeg,
         QSize(37, 23)},
        {"lossy webp", picturefile::Encode(rgb, "webp", 80), ImageFormat::Webp, QSize(37, 23)},
        {"lossless webp", picturefile::Encode(rgb, "webp", 100), ImageFormat::Webp, QSize(37, 23)},
        {"webp with alpha", picturefile::Encode(picture(37, 23, QImage::Format_ARGB32), "webp", 80), ImageFormat::Webp,
         QSize(37, 23)},
        {"tiff", picturefile::Encode(rgb, "tiff"), ImageFormat::Tiff, QSize(37, 23)},
        {"gif screen", picturefile::GifClaiming(4000, 3000), ImageFormat::Gif, QSize(4000, 3000)},
        {"png over the limits", picturefile::PngClaiming(40000, 3), ImageFormat::Png, QSize(40000, 3)},
        {"webp claiming", picturefile::WebpClaiming(16383, 16383), ImageFormat::Webp, QSize(16383, 16383)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<ClaimedImage> claim = ClaimImageFile(testimg::WriteFile(c.bytes, "sans-fin"));
        ASSERT_TRUE(claim.has_value());
        EXPECT_EQ(claim->format, c.format);
        EXPECT_EQ(claim->size, c.size);
        const qint64 image = BitmapRowBytes(c.size.width()) * c.size.height();
        EXPECT_GE(claim->heldBytes, image);
        EXPECT_GE(claim->readingBytes, claim->heldBytes);
        // Never more than the deepest decoding takes: 8 bytes a pixel, a
        // turned copy or a conversion, and a progressive JPEG's coefficients.
        EXPECT_LE(claim->readingBytes, qint64(c.size.width()) * c.size.height() * 12);
    }
}

// A turned JPEG is counted with its turned copy, and a progressive one with
// its coefficients: both more than the plain file.
TEST(ImageSize, JpegReadsCountWhatTheDecoderKeeps)
{
    const QImage rgb = picture(64, 48, QImage::Format_RGB32);
    const auto reading = [](const QByteArray& bytes) {
        return ClaimImageFile(testimg::WriteFile(bytes, "photo.jpg"))->readingBytes;
    };
    const qint64 plain = reading(picturefile::Encode(rgb, "jpeg", 90));
    EXPECT_EQ(plain, BitmapRowBytes(64) * 48);
    EXPECT_EQ(reading(picturefile::WithOrientation(picturefile::Encode(rgb, "jpeg", 90), 6)), 64 * 48 * 6);
    EXPECT_EQ(reading(picturefile::Encode(rgb, "jpeg", 90, true)), 64 * 48 * (3 + 2 * 3));
}

// What each reader keeps beside the 24-bit image: nothing for a still lossy
// WebP or an 8-bit RGB TIFF decoded straight into it, a 32-bit block and
// libwebp's own for a lossless WebP, Qt's 32-bit picture and its conversion
// for a TIFF with transparency.
TEST(ImageSize, WebpAndTiffReadsCountTheirDecoders)
{
    const QImage rgb = picture(64, 48, QImage::Format_RGB32);
    const QImage argb = picture(64, 48, QImage::Format_ARGB32);
    const auto reading = [](const QByteArray& bytes) {
        return ClaimImageFile(testimg::WriteFile(bytes, "image"))->readingBytes;
    };
    const qint64 pixels = 64 * 48;
    EXPECT_EQ(reading(picturefile::Encode(rgb, "webp", 80)), BitmapRowBytes(64) * 48);
    EXPECT_EQ(reading(picturefile::Encode(rgb, "webp", 100)), pixels * 8);
    EXPECT_EQ(reading(picturefile::Encode(rgb, "tiff")), BitmapRowBytes(64) * 48);
    EXPECT_EQ(reading(picturefile::Encode(argb, "tiff")), pixels * 11);
}

// Nothing to claim: the read that follows says what is wrong.
TEST(ImageSize, UnreadableHeadersClaimNothing)
{
    const QByteArray png = picturefile::Encode(picture(5, 5, QImage::Format_RGB32), "png");
    const std::vector<std::pair<std::string, QString>> cases = {
        {"missing", testimg::TempDir() + "/absent.png"},
        {"folder", testimg::TempDir()},
        {"empty", testimg::WriteFile({}, "vide.png")},
        {"text", testimg::WriteFile("bonjour, ceci n'est pas une image", "texte.png")},
        {"png cut in its header", testimg::WriteFile(png.left(20), "coupe.png")},
        {"bmp of zero width", testimg::WriteFile(QByteArray("BM") + QByteArray(60, '\0'), "nul.bmp")},
        {"webp without a frame", testimg::WriteFile(QByteArray("RIFF\x20\0\0\0WEBPJUNK", 16) + QByteArray(20, 'x'))},
        {"device", "/dev/zero"},
    };
    for (const auto& [name, path] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ClaimImageFile(path).has_value());
    }
}
