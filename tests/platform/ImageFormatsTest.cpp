// PNG, JPEG, GIF, WebP and TIFF files read into the 24-bit document and
// written from it: exact where the format is lossless, the warning exactly
// when something is lost, cut-short files refused.
#include "codecs/BitmapFiles.h"
#include "codecs/ContainerScan.h"
#include "codecs/ImageFile.h"
#include "codecs/JpegFile.h"
#include "raster/Exception.h"
#include "raster/TBitmap.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QMimeDatabase>
#include <QSet>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Loaded {
    std::unique_ptr<TBitmap> bitmap; // null when refused
    QString error;
};

Loaded load(const QByteArray& bytes, const QString& name = QStringLiteral("image"))
{
    Loaded result;
    auto bitmap = std::make_unique<TBitmap>();
    try {
        LoadFromFile(*bitmap, testimg::WriteFile(bytes, name));
        result.bitmap = std::move(bitmap);
    } catch (const ERasterError& error) {
        result.error = error.Message();
    }
    return result;
}

QImage noise(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    quint32 state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            image.setPixel(x, y, 0xFF000000u | (state >> 8));
        }
    return image;
}

// The bytes as an open device.
std::unique_ptr<QBuffer> device(const QByteArray& bytes)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

QImage readJpeg(const QByteArray& bytes, int reduction = 1)
{
    return ReadJpeg(*device(bytes), QStringLiteral("photo.jpg"), reduction);
}

} // namespace

TEST(ImageFormats, LosslessFormatsGiveEveryByteBackAndJpegComesClose)
{
    const auto image = testimg::Noise(13, 7, 3);
    struct Case {
        ImageFormat format;
        const char* name;
        int tolerance;
    };
    for (const Case& c :
         {Case{ImageFormat::Bmp, "a.bmp", 0}, Case{ImageFormat::Png, "a.png", 0}, Case{ImageFormat::Tiff, "a.tif", 0},
          Case{ImageFormat::Webp, "a.webp", -1}, Case{ImageFormat::Jpeg, "a.jpg", -1}}) {
        SCOPED_TRACE(c.name);
        const QString path = testimg::TempDir() + "/" + c.name;
        SaveToFile(*image, path, c.format, kDefaultQuality);
        EXPECT_EQ(FormatForName(path), c.format);
        TBitmap back;
        LoadFromFile(back, path);
        EXPECT_EQ(back.FileFormat(), c.format);
        EXPECT_EQ(back.PixelFormat(), pf24bit);
        if (c.tolerance == 0) {
            EXPECT_TRUE(testimg::SameBytes(back, *image));
        }
        ASSERT_EQ(back.Width(), 13);
        ASSERT_EQ(back.Height(), 7);
    }
    // A smooth picture in JPEG at the default quality: every channel within 8 levels.
    const auto smooth = testimg::Make(64, 32, [](int x, int y) { return RGBColor(4 * x, 8 * y, 128); });
    const QString path = testimg::TempDir() + "/smooth.jpeg";
    SaveToFile(*smooth, path, ImageFormat::Jpeg, kDefaultQuality);
    TBitmap back;
    LoadFromFile(back, path);
    int worst = 0;
    for (int y = 0; y < 32; ++y)
        for (int i = 0; i < 3 * 64; ++i)
            worst = std::max(worst, std::abs(int(back.ScanLine(y)[i]) - int(smooth->ScanLine(y)[i])));
    EXPECT_LE(worst, 8);
}

TEST(ImageFormats, TheWarningComesExactlyWhenSomethingIsLost)
{
    QImage grey(5, 3, QImage::Format_Grayscale8);
    grey.fill(77);
    QImage palette = noise(5, 3, QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    QImage opaqueAlpha = noise(5, 3, QImage::Format_ARGB32);
    QImage halfAlpha = opaqueAlpha;
    halfAlpha.setPixel(2, 1, qRgba(200, 100, 50, 128));
    QImage deep(5, 3, QImage::Format_RGBX64);
    deep.fill(QColor::fromRgba64(1000, 2000, 3000));
    QByteArray twoPages = picturefile::Encode(noise(4, 4, QImage::Format_RGB32), "tiff");
    // The first directory's "next directory" points back at itself: a second page.
    {
        const quint32 first = quint32(quint8(twoPages[4])) | quint32(quint8(twoPages[5])) << 8;
        const int count = quint8(twoPages[int(first)]) | quint8(twoPages[int(first) + 1]) << 8;
        twoPages.replace(int(first) + 2 + 12 * count, 4, twoPages.mid(4, 4));
    }
    struct Case {
        const char* name;
        QByteArray bytes;
        TPixelFormat depth;
    };
    const Case cases[] = {
        {"RGB PNG", picturefile::Encode(noise(5, 3, QImage::Format_RGB32), "png"), pf24bit},
        {"greyscale PNG", picturefile::Encode(grey, "png"), pf24bit},
        {"palette PNG", picturefile::Encode(palette, "png"), pf24bit},
        {"opaque PNG with alpha", picturefile::Encode(opaqueAlpha, "png"), pf24bit},
        {"one half-transparent pixel", picturefile::Encode(halfAlpha, "png"), pfCustom},
        {"16-bit PNG", picturefile::Encode(deep, "png"), pfCustom},
        {"two-frame PNG",
         picturefile::WithPngChunk(picturefile::Encode(grey, "png"), "acTL", QByteArray::fromHex("0000000200000000")),
         pfCustom},
        {"JPEG", picturefile::Encode(noise(5, 3, QImage::Format_RGB32), "jpeg", 90), pf24bit},
        {"one-frame GIF", picturefile::Gif(1), pf24bit},
        {"two-frame GIF", picturefile::Gif(2), pfCustom},
        {"one-page TIFF", picturefile::Encode(noise(4, 4, QImage::Format_RGB32), "tiff"), pf24bit},
        {"two-page TIFF", twoPages, pfCustom},
        {"WebP", picturefile::Encode(noise(5, 3, QImage::Format_RGB32), "webp", 90), pf24bit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded loaded = load(c.bytes);
        ASSERT_TRUE(loaded.bitmap) << loaded.error.toStdString();
        EXPECT_EQ(loaded.bitmap->PixelFormat(), c.depth);
    }
    // Greyscale expands to three equal channels; transparency lies over white.
    EXPECT_EQ(testimg::At(*load(cases[1].bytes).bitmap, 4, 2), RGBColor(77, 77, 77));
    const auto over = [](int c, int a) { return (c * a + 255 * (255 - a) + 127) / 255; };
    EXPECT_EQ(testimg::At(*load(cases[4].bytes).bitmap, 2, 1), RGBColor(over(200, 128), over(100, 128), over(50, 128)));
    EXPECT_EQ(testimg::At(*load(picturefile::Gif(2)).bitmap, 0, 0), RGBColor(255, 0, 0));
}

TEST(ImageFormats, SixteenBitChannelsRoundToTheNearestLevel)
{
    // Every 16-bit value once in red, and its complement in green.
    QImage deep(256, 256, QImage::Format_RGBX64);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int v = y * 256 + x;
            deep.setPixelColor(x, y, QColor::fromRgba64(quint16(v), quint16(65535 - v), 0));
        }
    const Loaded loaded = load(picturefile::Encode(deep, "png"));
    ASSERT_TRUE(loaded.bitmap) << loaded.error.toStdString();
    int wrong = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int v = y * 256 + x;
            wrong += testimg::At(*loaded.bitmap, x, y) != RGBColor((v + 128) / 257, (65535 - v + 128) / 257, 0);
        }
    EXPECT_EQ(wrong, 0);
}

TEST(ImageFormats, EachOrientationTagTurnsThePictureAsTheCameraHeldIt)
{
    // A 32 x 16 picture, red in its top-left 16 x 8 quarter, blue elsewhere.
    QImage picture(32, 16, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            picture.setPixel(x, y, qRgb(255, 0, 0));
    const QByteArray jpeg = picturefile::Encode(picture, "jpeg", 95);
    struct Case {
        int orientation;
        int width, height; // after turning
        int redX, redY; // a point inside the red quarter after turning
    };
    const Case cases[] = {
        {1, 32, 16, 4, 4}, {2, 32, 16, 28, 4}, {3, 32, 16, 28, 12}, {4, 32, 16, 4, 12},
        {5, 16, 32, 4, 4}, {6, 16, 32, 12, 4}, {7, 16, 32, 12, 28}, {8, 16, 32, 4, 28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        const Loaded loaded = load(picturefile::WithOrientation(jpeg, c.orientation));
        ASSERT_TRUE(loaded.bitmap) << loaded.error.toStdString();
        EXPECT_EQ(loaded.bitmap->Width(), c.width);
        EXPECT_EQ(loaded.bitmap->Height(), c.height);
        EXPECT_GT(GetRValue(testimg::At(*loaded.bitmap, c.redX, c.redY)), 200);
        EXPECT_LT(GetRValue(testimg::At(*loaded.bitmap, c.width - 1 - c.redX, c.height - 1 - c.redY)), 50);
    }
}

TEST(ImageFormats, AFileIsKnownByItsBytesAndRefusedWhenCutShort)
{
    const QImage picture = noise(40, 30, QImage::Format_RGB32);
    struct Case {
        const char* name;
        QByteArray bytes;
        ImageFormat format;
    };
    const Case cases[] = {
        {"PNG", picturefile::Encode(picture, "png"), ImageFormat::Png},
        {"JPEG", picturefile::Encode(picture, "jpeg", 90), ImageFormat::Jpeg},
        {"GIF", picturefile::Gif(3), ImageFormat::Gif},
        {"WebP", picturefile::Encode(picture, "webp", 90), ImageFormat::Webp},
        {"TIFF", picturefile::Encode(picture, "tiff"), ImageFormat::Tiff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A name that says another format changes nothing.
        const Loaded whole = load(c.bytes, QStringLiteral("photo.bmp"));
        ASSERT_TRUE(whole.bitmap) << whole.error.toStdString();
        EXPECT_EQ(whole.bitmap->FileFormat(), c.format);
        for (const qsizetype cut : {qsizetype(1), qsizetype(2), c.bytes.size() / 2, c.bytes.size() - 8}) {
            const Loaded shorter = load(c.bytes.left(c.bytes.size() - cut));
            EXPECT_FALSE(shorter.bitmap) << "cut " << cut;
            EXPECT_TRUE(shorter.error.contains(QStringLiteral("endommagé ou tronqué"))) << shorter.error.toStdString();
        }
    }
}

// The values stored in the file are the image's, whatever colour space the
// file names; a profile that is not sRGB is kept and written back.
TEST(ImageFormats, PixelsAreTheFilesValuesAndAnotherProfileIsWrittenBack)
{
    const QImage picture = noise(7, 5, QImage::Format_RGB32);
    const QByteArray plain = picturefile::Encode(picture, "png");
    const auto u32 = [](quint32 v) { return QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0')); };
    QByteArray chrm; // the sRGB chromaticities, as most tools write them
    for (const quint32 v : {31270u, 32900u, 64000u, 33000u, 30000u, 60000u, 15000u, 6000u})
        chrm += u32(v);
    const auto tagged = [&picture](const QColorSpace& space) {
        QImage copy = picture;
        copy.setColorSpace(space);
        return picturefile::Encode(copy, "png");
    };
    const QColorSpace linear(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Linear);
    struct Case {
        const char* name;
        QByteArray bytes;
        QColorSpace kept; // invalid: none kept
    };
    const Case cases[] = {
        {"no colour chunk", plain, {}},
        {"gAMA 1/2.2", picturefile::WithPngChunk(plain, "gAMA", u32(45455)), {}},
        {"gAMA 1/2.2 and cHRM",
         picturefile::WithPngChunk(picturefile::WithPngChunk(plain, "cHRM", chrm), "gAMA", u32(45455)),
         {}},
        {"sRGB chunk", picturefile::WithPngChunk(plain, "sRGB", QByteArray(1, '\0')), {}},
        {"sRGB profile", tagged(QColorSpace::SRgb), {}},
        {"Adobe RGB profile", tagged(QColorSpace::AdobeRgb), QColorSpace::AdobeRgb},
        {"linear profile", tagged(linear), linear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded loaded = load(c.bytes);
        ASSERT_TRUE(loaded.bitmap) << loaded.error.toStdString();
        EXPECT_EQ(loaded.bitmap->PixelFormat(), pf24bit);
        EXPECT_EQ(loaded.bitmap->Profile(), c.kept);
        const auto sameAsPicture = [&picture](const TBitmap& bitmap) {
            int wrong = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QRgb p = picture.pixel(x, y);
                    wrong += testimg::At(bitmap, x, y) != RGBColor(qRed(p), qGreen(p), qBlue(p));
                }
            return wrong;
        };
        EXPECT_EQ(sameAsPicture(*loaded.bitmap), 0);
        // Opened and saved unchanged: the same values, the same profile.
        for (const auto& [format, name] :
             {std::pair{ImageFormat::Png, "again.png"}, std::pair{ImageFormat::Tiff, "again.tif"},
              std::pair{ImageFormat::Bmp, "again.bmp"}}) {
            const QString path = testimg::TempDir() + "/" + name;
            SaveToFile(*loaded.bitmap, path, format, kDefaultQuality);
            TBitmap again;
            LoadFromFile(again, path);
            EXPECT_EQ(sameAsPicture(again), 0) << name;
            EXPECT_EQ(again.Profile(), format == ImageFormat::Bmp ? QColorSpace() : c.kept) << name;
        }
    }
    // The lossy formats carry the profile too.
    const Loaded adobe = load(tagged(QColorSpace::AdobeRgb));
    for (const auto& [format, name] : {std::pair{ImageFormat::Jpeg, "a.jpg"}, std::pair{ImageFormat::Webp, "a.webp"}}) {
        const QString path = testimg::TempDir() + "/" + name;
        SaveToFile(*adobe.bitmap, path, format, kDefaultQuality);
        TBitmap again;
        LoadFromFile(again, path);
        EXPECT_EQ(again.Profile(), QColorSpace(QColorSpace::AdobeRgb)) << name;
    }
    // A profile that cannot be read is left out, with the "24 bits" warning.
    const QByteArray broken = picturefile::WithPngChunk(plain, "iCCP", QByteArray("x\0\0", 3) + "no zlib data here");
    const Loaded unread = load(broken);
    ASSERT_TRUE(unread.bitmap) << unread.error.toStdString();
    EXPECT_EQ(unread.bitmap->PixelFormat(), pfCustom);
    EXPECT_FALSE(unread.bitmap->Profile().isValid());
}

TEST(ImageFormats, OnlyColourSpacesThatAmountToSrgbCountAsSrgb)
{
    const auto gamma = [](float g, QColorSpace::Primaries primaries = QColorSpace::Primaries::SRgb) {
        return QColorSpace(primaries, QColorSpace::TransferFunction::Gamma, g);
    };
    EXPECT_TRUE(SameAsSrgb(QColorSpace()));
    EXPECT_TRUE(SameAsSrgb(QColorSpace::SRgb));
    EXPECT_TRUE(SameAsSrgb(QColorSpace::fromIccProfile(QColorSpace(QColorSpace::SRgb).iccProfile())));
    EXPECT_TRUE(SameAsSrgb(gamma(2.2f)));
    EXPECT_TRUE(SameAsSrgb(gamma(2.2f * 1.009f)));
    EXPECT_FALSE(SameAsSrgb(gamma(2.2f * 1.02f)));
    EXPECT_FALSE(SameAsSrgb(gamma(1.0f)));
    EXPECT_FALSE(SameAsSrgb(gamma(2.2f, QColorSpace::Primaries::AdobeRgb)));
    EXPECT_FALSE(SameAsSrgb(QColorSpace::DisplayP3));
    EXPECT_FALSE(SameAsSrgb(QColorSpace::AdobeRgb));
}

// libjpeg's decoding into the 24-bit image gives every byte that Qt's plugin
// gave, whatever the kind of file, and zero bytes after each row.
TEST(ImageFormats, EveryKindOfJpegDecodesAsQtsPluginDecodesIt)
{
    const QImage picture = noise(37, 23, QImage::Format_RGB32);
    const QByteArray baseline = picturefile::Encode(picture, "jpeg", 90);
    using picturefile::JpegColours;
    const QByteArray cases[] = {
        baseline,
        picturefile::Encode(picture, "jpeg", 90, true),
        picturefile::Encode(picture.convertToFormat(QImage::Format_Grayscale8), "jpeg", 90),
        picturefile::LibjpegEncode(picture, JpegColours::Cmyk),
        picturefile::LibjpegEncode(picture, JpegColours::Ycck, true),
        picturefile::WithOrientation(baseline, 7),
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(&bytes - cases); // baseline, progressive, greyscale, CMYK, YCCK, turned
        const auto buffer = device(bytes);
        QImageReader reader(buffer.get(), "jpeg");
        reader.setAutoTransform(true);
        const QImage expected = reader.read().convertToFormat(QImage::Format_RGB32);
        const QImage image = DecodeImage(bytes, QStringLiteral("photo.jpg")).image;
        ASSERT_EQ(image.size(), expected.size());
        int wrong = 0;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* row = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x)
                wrong += qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]) != expected.pixel(x, y);
            for (qsizetype i = 3 * image.width(); i < image.bytesPerLine(); ++i)
                wrong += row[i] != 0;
        }
        EXPECT_EQ(wrong, 0);
    }
}

// Damaged compressed data is refused, never shown with its missing part grey,
// from a file and from memory. A progressive file may have 500 scans, not one
// more: the structure walk and the decoder each hold the limit alone.
TEST(ImageFormats, DamagedJpegDataIsRefusedFromAFileAndFromMemory)
{
    const QImage picture = noise(64, 48, QImage::Format_RGB32);
    const QByteArray baseline = picturefile::Encode(picture, "jpeg", 90);
    const QByteArray progressive = picturefile::LibjpegEncode(picture, picturefile::JpegColours::YCbCr, true);
    // 64 bits of ones in the middle of the data: no Huffman code is that long.
    QByteArray ones = baseline;
    ones.replace(ones.size() * 2 / 3, 16, QByteArray("\xFF\x00", 2).repeated(8));
    const QByteArray scans501 = picturefile::WithLastScanRepeated(progressive, kMaxJpegScans + 1 - 4);
    for (const QByteArray& bytes :
         {picturefile::WithScansCut(baseline, 0.6), picturefile::WithScansCut(progressive, 0.6), ones, scans501}) {
        SCOPED_TRACE(bytes.size());
        const Loaded loaded = load(bytes);
        EXPECT_TRUE(loaded.error.contains(QStringLiteral("endommagé ou tronqué"))) << loaded.error.toStdString();
        try {
            DecodeImage(bytes, QStringLiteral("photo.jpg"));
            ADD_FAILURE() << "decoded from memory";
        } catch (const ERasterError& error) {
            EXPECT_TRUE(error.Message().contains(QStringLiteral("endommagé ou tronqué")));
        }
    }
    // Bytes left between the last scan and the end marker take nothing away.
    QByteArray padded = baseline;
    EXPECT_TRUE(load(padded.insert(padded.size() - 2, QByteArray(3, '\x55'))).bitmap);
    const QByteArray scans500 = picturefile::WithLastScanRepeated(progressive, kMaxJpegScans - 4);
    EXPECT_TRUE(load(scans500).bitmap);
    TContainerContents contents;
    EXPECT_TRUE(ContainerComplete(ImageFormat::Jpeg, *device(scans500), &contents));
    EXPECT_FALSE(ContainerComplete(ImageFormat::Jpeg, *device(scans501), &contents));
    EXPECT_THROW(readJpeg(scans501), ERasterError);
}

// libjpeg's reduced decoding: each side divided and rounded up, each pixel
// close to the mean of the pixels it stands for in the full picture.
TEST(ImageFormats, AReducedJpegIsTheFullOneAveragedByBlocks)
{
    const auto smooth = testimg::Make(61, 45, [](int x, int y) { return RGBColor(4 * x, 5 * y, 250 - 2 * x - y); });
    const QString path = testimg::TempDir() + "/smooth.jpg";
    SaveToFile(*smooth, path, ImageFormat::Jpeg, 95);
    const QImage full = readJpeg(testimg::ReadFile(path));
    for (const int r : {2, 4, 8}) {
        SCOPED_TRACE(r);
        const QImage reduced = readJpeg(testimg::ReadFile(path), r);
        ASSERT_EQ(reduced.size(), QSize((61 + r - 1) / r, (45 + r - 1) / r));
        int worst = 0;
        for (int y = 0; y < 45 / r; ++y)
            for (int i = 0; i < 3 * (61 / r); ++i) {
                int sum = 0;
                for (int v = 0; v < r * r; ++v)
                    sum += full.constScanLine(y * r + v / r)[3 * ((i / 3) * r + v % r) + i % 3];
                worst = std::max(worst, std::abs(int(reduced.constScanLine(y)[i]) - (sum + r * r / 2) / (r * r)));
            }
        EXPECT_LE(worst, 3);
    }
}

// "Ouvrir avec" offers the editor for exactly the files it reads.
TEST(DesktopEntry, OffersEveryFormatTheProgramReadsAndNoOther)
{
    QFile entry(QStringLiteral(VELMORA_DESKTOP_ENTRY));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    QSet<QString> listed;
    for (const QByteArray& line : entry.readAll().split('\n'))
        if (line.startsWith("MimeType="))
            for (const QString& type : QString::fromLatin1(line.mid(9)).split(u';', Qt::SkipEmptyParts))
                listed.insert(type);
    QSet<QString> read;
    const QMimeDatabase types;
    for (const QMimeType& type : types.allMimeTypes())
        for (const QString& suffix : type.suffixes())
            if (IsImageFileName(QStringLiteral("x.") + suffix))
                read.insert(type.name());
    EXPECT_EQ(listed, read);
}
