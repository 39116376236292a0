#include "codecs/BitmapFiles.h"
#include "codecs/BmpFile.h"
#include "raster/Exception.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"
#include "support/Images.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

void put16(QByteArray& d, int at, quint16 v)
{
    d[at] = char(v);
    d[at + 1] = char(v >> 8);
}
void put32(QByteArray& d, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = char(v >> (8 * i));
}

// A BMP with a 40-byte info header; `pixels` follows the palette.
QByteArray bmpBytes(int width, int height, int bits, const QByteArray& palette, const QByteArray& pixels)
{
    const int offset = 14 + 40 + palette.size();
    QByteArray d(offset, '\0');
    d[0] = 'B';
    d[1] = 'M';
    put32(d, 2, quint32(offset + pixels.size()));
    put32(d, 10, quint32(offset));
    put32(d, 14, 40);
    put32(d, 18, quint32(width));
    put32(d, 22, quint32(height));
    put16(d, 26, 1);
    put16(d, 28, quint16(bits));
    put32(d, 46, quint32(palette.size() / 4));
    d.replace(54, palette.size(), palette);
    return d + pixels;
}

void expectRefused(const QString& path)
{
    TBitmap bitmap;
    try {
        LoadFromFile(bitmap, path);
        ADD_FAILURE() << "no error for " << path.toStdString();
    } catch (const ERasterError& error) {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Impossible d'ouvrir"))) << error.what();
    }
    EXPECT_EQ(bitmap.Width(), 0);
}

} // namespace

TEST(TBitmap, SizingAnEmptyBitmapMakesItWhiteAndKeepsPixelsOnResize)
{
    TBitmap bitmap;
    EXPECT_EQ(bitmap.Width(), 0);
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetHeight(5);
    bitmap.SetWidth(7);
    ASSERT_EQ(bitmap.Width(), 7);
    ASSERT_EQ(bitmap.Height(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(bitmap.Canvas()->Pixels(x, y), 0x00FFFFFFu);
    bitmap.Canvas()->SetPixels(1, 1, 0x123456);
    bitmap.SetSize(9, 9);
    EXPECT_EQ(bitmap.Canvas()->Pixels(1, 1), 0x123456u);
    EXPECT_EQ(bitmap.Canvas()->Pixels(8, 8), 0xFFFFFFu);
}

TEST(TBitmap, RefusesSizesOverTheLimitAndStaysAsItWas)
{
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    EXPECT_THROW(bitmap.SetSize(32768, 1), ERasterError);
    EXPECT_THROW(bitmap.SetSize(30000, 30000), ERasterError); // 2.7 GB
    EXPECT_THROW(bitmap.SetSize(-1, 5), ERasterError);
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_TRUE(BitmapSizeAllowed(32767, 1));
    EXPECT_FALSE(BitmapSizeAllowed(20000, 20000));
}

TEST(TCanvas, PixelsAgreeWithScanLinesAndIgnoreOutside)
{
    TBitmap bitmap;
    bitmap.SetSize(3, 2);
    TCanvas* canvas = bitmap.Canvas();
    canvas->SetPixels(2, 1, RGBColor(10, 20, 30));
    const std::uint8_t* row = bitmap.ScanLine(1);
    EXPECT_EQ(row[6], 30); // blue
    EXPECT_EQ(row[7], 20); // green
    EXPECT_EQ(row[8], 10); // red
    bitmap.ScanLine(0)[0] = 1;
    bitmap.ScanLine(0)[1] = 2;
    bitmap.ScanLine(0)[2] = 3;
    EXPECT_EQ(canvas->Pixels(0, 0), RGBColor(3, 2, 1));

    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {-100000, 7}}) {
        EXPECT_EQ(canvas->Pixels(x, y), 0xFFFFFFFFu);
        canvas->SetPixels(x, y, 0);
    }
    EXPECT_EQ(canvas->Pixels(2, 1), RGBColor(10, 20, 30));
}

TEST(TCanvas, DrawIsClippedAndNotifiesTheChangedArea)
{
    TBitmap surface;
    surface.SetSize(4, 4);
    QRect changed;
    surface.Canvas()->SetChangeNotifier([&](const QRect& r) { changed |= r; });
    auto image = testimg::Uniform(3, 3, 0x112233);
    surface.Canvas()->Draw(2, 2, *image);
    EXPECT_EQ(changed, QRect(2, 2, 2, 2));
    EXPECT_EQ(surface.Canvas()->Pixels(3, 3), 0x112233u);
    EXPECT_EQ(surface.Canvas()->Pixels(1, 1), 0xFFFFFFu);
}

TEST(TCanvas, TextOutFillsItsCellsWithTheWhiteBrush)
{
    auto bitmap = testimg::Uniform(120, 40, 0x0000FF);
    bitmap->Canvas()->Font().Height = -16;
    bitmap->Canvas()->TextOut(10, 5, QStringLiteral("Velmora"));
    int black = 0, white = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const TColor c = testimg::At(*bitmap, x, y);
            black += c == 0;
            white += c == 0xFFFFFF;
        }
    EXPECT_GT(black, 10);
    EXPECT_GT(white, 50);
    EXPECT_EQ(testimg::At(*bitmap, 5, 20), 0x0000FFu); // left of the text
    EXPECT_EQ(testimg::At(*bitmap, 11, 4), 0x0000FFu); // above it
}

class BmpRoundTrip : public ::testing::TestWithParam<int> { };

TEST_P(BmpRoundTrip, IsExactAndPadsRowsWithZeros)
{
    const int width = GetParam();
    auto original = testimg::Noise(width, 3, 42u + width);
    const QString path = testimg::TempDir() + "/round.bmp";
    SaveToFile(*original, path);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const int rowBytes = (width * 3 + 3) & ~3;
    ASSERT_EQ(bytes.size(), 54 + rowBytes * 3);
    EXPECT_EQ(quint8(bytes[28]), 24);
    for (int row = 0; row < 3; ++row)
        for (int pad = width * 3; pad < rowBytes; ++pad)
            EXPECT_EQ(bytes[54 + row * rowBytes + pad], '\0');
    // The first row stored is the bottom one.
    EXPECT_EQ(quint8(bytes[54]), original->ScanLine(2)[0]);

    TBitmap loaded;
    LoadFromFile(loaded, path);
    EXPECT_EQ(loaded.PixelFormat(), pf24bit);
    EXPECT_TRUE(testimg::SameBytes(*original, loaded));
}

INSTANTIATE_TEST_SUITE_P(Widths, BmpRoundTrip, ::testing::Values(1, 2, 3, 4, 5, 641));

TEST(BmpLoading, PaletteAnd32BitImagesLoadWithTheirColoursIn24Bits)
{
    // 8 bits: 2 x 2, palette red and blue.
    QByteArray palette(8, '\0');
    palette[2] = char(255); // entry 0: red (B, G, R, 0)
    palette[4] = char(255); // entry 1: blue
    QByteArray pixels8(8, '\0');
    pixels8[0] = 1; // bottom-left blue
    pixels8[5] = 1; // top-right blue
    TBitmap eight;
    LoadFromFile(eight, testimg::WriteFile(bmpBytes(2, 2, 8, palette, pixels8)));
    EXPECT_EQ(eight.PixelFormat(), pf8bit);
    EXPECT_EQ(eight.Canvas()->Pixels(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(eight.Canvas()->Pixels(1, 0), RGBColor(0, 0, 255));
    EXPECT_EQ(eight.Canvas()->Pixels(0, 1), RGBColor(0, 0, 255));

    // 32 bits: 1 x 1, B G R X.
    QByteArray pixels32("\x10\x20\x30\x00", 4);
    TBitmap thirtyTwo;
    LoadFromFile(thirtyTwo, testimg::WriteFile(bmpBytes(1, 1, 32, {}, pixels32)));
    EXPECT_EQ(thirtyTwo.PixelFormat(), pf32bit);
    EXPECT_EQ(thirtyTwo.Canvas()->Pixels(0, 0), RGBColor(0x30, 0x20, 0x10));
    EXPECT_EQ(thirtyTwo.BytesPerLine(), 4);
}

TEST(BmpLoading, BadFilesThrowAFrenchErrorWithoutAllocating)
{
    const QByteArray good = bmpBytes(4, 4, 24, {}, QByteArray(48, '\x7f'));
    expectRefused(testimg::WriteFile(good.left(good.size() - 5))); // truncated pixels
    expectRefused(testimg::WriteFile(good.left(20))); // truncated header
    expectRefused(testimg::WriteFile(QByteArray("GIF89a this is not a bitmap at all, no")));
    expectRefused(testimg::WriteFile(QByteArray()));
    expectRefused(testimg::TempDir() + "/missing.bmp");

    QByteArray zero = good;
    put32(zero, 18, 0);
    expectRefused(testimg::WriteFile(zero));
    QByteArray negative = good;
    put32(negative, 18, quint32(-5));
    expectRefused(testimg::WriteFile(negative));
    QByteArray huge = good;
    put32(huge, 18, 100000);
    put32(huge, 22, 100000);
    expectRefused(testimg::WriteFile(huge));
    QByteArray absurdHeight = good;
    put32(absurdHeight, 22, 0x80000000u);
    expectRefused(testimg::WriteFile(absurdHeight));
    QByteArray badOffset = good;
    put32(badOffset, 10, 0x7FFFFFFF);
    expectRefused(testimg::WriteFile(badOffset));
    QByteArray badDepth = good;
    put16(badDepth, 28, 7);
    expectRefused(testimg::WriteFile(badDepth));
}

TEST(BmpSaving, FailuresThrowAndLeaveNothingBehind)
{
    auto image = testimg::Uniform(2, 2, 0);
    EXPECT_THROW(SaveToFile(*image, testimg::TempDir() + "/no/such/folder/a.bmp"), ERasterError);

    const QString readOnly = testimg::WriteFile("old", "ro.bmp");
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    EXPECT_THROW(SaveToFile(*image, readOnly), ERasterError);
    QFile file(readOnly);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("old"));

    EXPECT_THROW(SaveToFile(*image, testimg::TempDir()), ERasterError); // a folder
    const QString fifo = testimg::TempDir() + "/pipe.bmp";
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
    EXPECT_THROW(SaveToFile(*image, fifo), ERasterError);
    EXPECT_FALSE(QFileInfo(fifo).isFile()); // still the pipe
    TBitmap empty;
    EXPECT_THROW(SaveToFile(empty, testimg::TempDir() + "/empty.bmp"), ERasterError);
}
