// The size a file's header claims, read without decoding it, and the memory
// its read is counted to take, decoder by decoder.
#include "codecs/ImageSize.h"

#include "codecs/BitmapFiles.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QImage>
#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ImageSize, EachFormatsHeaderGivesItsSizeAndItsReadersMemory)
{
    const auto picture = [](QImage::Format format) {
        QImage image(64, 48, format);
        image.fill(QColor(10, 200, 30, 128));
        return image;
    };
    const QImage rgb = picture(QImage::Format_RGB32);
    const QString bmp = testimg::TempDir() + "/a.bmp";
    SaveToFile(*testimg::Noise(64, 48, 4), bmp);
    const qint64 image = BitmapRowBytes(64) * 48, pixels = 64 * 48;
    struct Case {
        std::string name;
        QByteArray bytes;
        ImageFormat format;
        qint64 reading;
    };
    const std::vector<Case> cases = {
        {"bmp", testimg::ReadFile(bmp), ImageFormat::Bmp, image},
        // Qt's plugin: 32 bits, or 64 then a new 24-bit image.
        {"png", picturefile::Encode(rgb, "png"), ImageFormat::Png, pixels * 4},
        {"png 16 bits", picturefile::Encode(picture(QImage::Format_RGBA64), "png"), ImageFormat::Png, pixels * 11},
        // libjpeg: the image, a turned copy, a progressive file's coefficients.
        {"jpeg", picturefile::Encode(rgb, "jpeg", 90), ImageFormat::Jpeg, image},
        {"turned jpeg", picturefile::WithOrientation(picturefile::Encode(rgb, "jpeg", 90), 6), ImageFormat::Jpeg,
         pixels * 6},
        {"progressive jpeg", picturefile::Encode(rgb, "jpeg", 90, true), ImageFormat::Jpeg, pixels * 9},
        // libwebp: straight into the image, or a 32-bit block beside its own.
        {"lossy webp", picturefile::Encode(rgb, "webp", 80), ImageFormat::Webp, image},
        {"lossless webp", picturefile::Encode(rgb, "webp", 100), ImageFormat::Webp, pixels * 8},
        // libtiff straight into the image; Qt's plugin for transparency.
        {"rgb tiff", picturefile::Encode(rgb, "tiff"), ImageFormat::Tiff, image},
        {"tiff with alpha", picturefile::Encode(picture(QImage::Format_ARGB32), "tiff"), ImageFormat::Tiff,
         pixels * 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<ClaimedImage> claim = ClaimImageFile(testimg::WriteFile(c.bytes, "sans-fin"));
        ASSERT_TRUE(claim.has_value());
        EXPECT_EQ(claim->format, c.format);
        EXPECT_EQ(claim->size, QSize(64, 48));
        EXPECT_EQ(claim->readingBytes, c.reading);
        EXPECT_GE(claim->heldBytes, image);
        EXPECT_LE(claim->heldBytes, claim->readingBytes);
    }
    // A GIF is decoded at the size of its screen, whatever its frames.
    const std::optional<ClaimedImage> gif = ClaimImageFile(testimg::WriteFile(picturefile::GifClaiming(4000, 3000)));
    ASSERT_TRUE(gif.has_value());
    EXPECT_EQ(gif->size, QSize(4000, 3000));
}

// Nothing to claim: the read that follows says what is wrong.
TEST(ImageSize, UnreadableHeadersClaimNothing)
{
    const QByteArray png = picturefile::Encode(QImage(5, 5, QImage::Format_RGB32), "png");
    for (const QString& path : {testimg::TempDir() + "/absent.png", testimg::TempDir(), QString("/dev/zero"),
                                testimg::WriteFile({}, "vide.png"), testimg::WriteFile("pas une image", "texte.png"),
                                testimg::WriteFile(png.left(20), "coupe.png"),
                                testimg::WriteFile(QByteArray("BM") + QByteArray(60, '\0'), "nul.bmp"),
                                testimg::WriteFile(QByteArray("RIFF\x20\0\0\0WEBPJUNK", 16) + QByteArray(20, 'x'))}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(ClaimImageFile(path).has_value());
    }
}
