// The loader against Qt's own decoder, its exact colours, the pixels a file
// leaves undefined, hostile files (each measured in a child process), and
// load-save round trips.
#include "codecs/BitmapFiles.h"
#include "codecs/BmpFile.h"
#include "raster/Exception.h"
#include "raster/TBitmap.h"
#include "support/BmpFiles.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <cmath>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A one-frame GIF whose screen claims `width` x `height`; its frame keeps its size.
QByteArray gifScreen(quint16 width, quint16 height)
{
    QByteArray gif = picturefile::Gif(1);
    gif[6] = char(width & 0xFF);
    gif[7] = char(width >> 8);
    gif[8] = char(height & 0xFF);
    gif[9] = char(height >> 8);
    return gif;
}

using bmpfile::FileLayout;

// The 3 x width bytes of every row.
QByteArray pixelBytes(const QImage& image)
{
    QByteArray out;
    for (int y = 0; y < image.height(); ++y)
        out.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 3);
    return out;
}

QImage decoded(const QByteArray& bytes)
{
    return DecodeBmp(bytes.constData(), bytes.size(), QStringLiteral("essai.bmp"), nullptr);
}

QImage rgbImage(int width, int height, std::initializer_list<TColor> colours)
{
    QImage image(width, height, QImage::Format_BGR888);
    auto it = colours.begin();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, ++it) {
            uchar* p = image.scanLine(y) + 3 * x;
            p[0] = GetBValue(*it);
            p[1] = GetGValue(*it);
            p[2] = GetRValue(*it);
        }
    return image;
}

// AddressSanitizer keeps an eighth of every allocation as shadow memory, and
// marks it when the block is allocated: a decoder that reserves the 1 GiB a
// small file claims (and fails on its missing data without touching it) grows
// by 128 MiB under the sanitizer, by nothing otherwise, and marking it takes
// time.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kShadowOfAGibibyteKiB = 160 * 1024;
#else
constexpr long kShadowOfAGibibyteKiB = 0;
#endif

// What a child process reports after running `work`: its text, how long it
// took and how much its peak resident memory grew.
struct ChildReport {
    bool finished = false;
    QString text;
    double seconds = 0;
    long growthKiB = 0;
};

ChildReport inChild(const std::function<QString()>& work, int timeoutMs = 20000)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        QElapsedTimer timer;
        timer.start();
        const QString text = work();
        const double seconds = timer.nsecsElapsed() / 1e9;
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const QByteArray out = QByteArray::number(seconds) + ' ' +
                               QByteArray::number(qint64(after.ru_maxrss - before.ru_maxrss)) + ' ' + text.toUtf8();
        [[maybe_unused]] const ssize_t written = ::write(fds[1], out.constData(), size_t(out.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    ChildReport report;
    QByteArray got;
    pollfd p{fds[0], POLLIN, 0};
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int left = int(timeoutMs - timer.elapsed());
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            report.finished = true;
            break;
        }
        got.append(buffer, n);
    }
    ::close(fds[0]);
    if (!report.finished)
        ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    const QList<QByteArray> parts = got.split(' ');
    if (!report.finished || parts.size() < 3)
        return ChildReport{};
    report.seconds = parts[0].toDouble();
    report.growthKiB = parts[1].toLong();
    report.text = QString::fromUtf8(got.mid(parts[0].size() + parts[1].size() + 2));
    return report;
}

// LoadFromFile's outcome as text: the error, or the image's size and a
// digest of its pixels.
QString loadOutcome(const QString& path)
{
    TBitmap bitmap;
    try {
        LoadFromFile(bitmap, path);
    } catch (const ERasterError& error) {
        return QStringLiteral("erreur ") + error.Message();
    }
    quint32 digest = 2166136261u;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int i = 0; i < 3 * bitmap.Width(); ++i)
            digest = (digest ^ bitmap.ScanLine(y)[i]) * 16777619u;
    return QStringLiteral("image %1x%2 %3").arg(bitmap.Width()).arg(bitmap.Height()).arg(digest);
}

} // namespace

// Every variant Qt's reader decodes correctly gives the same pixels, from memory
// and from a file. 16-bit and wide bit fields are scaled rather than shifted,
// and a stream that skips pixels has no reference: both are checked below.
TEST(BmpDecoding, MatchesQtOnEveryWellFormedVariant)
{
    int compared = 0;
    for (const bmpfile::Named& file : bmpfile::Variants()) {
        SCOPED_TRACE(file.name.toStdString());
        const QImage mine = decoded(file.bytes);
        ASSERT_FALSE(mine.isNull());
        TBitmap loaded;
        LoadFromFile(loaded, testimg::WriteFile(file.bytes));
        EXPECT_EQ(pixelBytes(loaded.Image()), pixelBytes(mine));
        const QStringList scaledOrUndefined = {"rgb555", "bitfields565", "bitfields231", "bitfields101010",
                                               "rle8-delta"};
        if (scaledOrUndefined.contains(file.name))
            continue;
        QByteArray bytes = file.bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const QImage qt = QImageReader(&buffer, "bmp").read().convertToFormat(QImage::Format_BGR888);
        ASSERT_FALSE(qt.isNull());
        EXPECT_EQ(qt.size(), mine.size());
        EXPECT_EQ(pixelBytes(qt), pixelBytes(mine));
        ++compared;
    }
    EXPECT_EQ(compared, 17);
}

TEST(BmpDecoding, BitFieldsAreScaledSoThatFullScaleIsWhite)
{
    struct Row {
        int bits;
        std::uint32_t compression;
        std::array<std::uint32_t, 4> masks;
        std::uint32_t pixel;
        TColor expected;
    };
    const std::vector<Row> rows = {
        {16, 0, {}, 0x7FFF, RGBColor(255, 255, 255)}, // 5-5-5 white, not 248
        {16, 0, {}, 0x4210, RGBColor(132, 132, 132)}, // 16 * 255 / 31 = 131.6
        {16, 0, {}, 0x7C00, RGBColor(255, 0, 0)},
        {16, 3, {0xF800, 0x07E0, 0x001F, 0}, 0xFFFF, RGBColor(255, 255, 255)}, // 5-6-5
        {16, 3, {0xF800, 0x07E0, 0x001F, 0}, 0x0400, RGBColor(0, 130, 0)}, // 32 * 255 / 63 = 129.5
        {16, 3, {0xC000, 0x3800, 0x0400, 0}, 0xFC00, RGBColor(255, 255, 255)}, // 2-3-1
        {16, 3, {0xC000, 0x3800, 0x0400, 0}, 0x4800, RGBColor(85, 36, 0)},
        {16, 3, {0xE000, 0x1FF8, 0x0007, 0}, 0x1FF8, RGBColor(0, 255, 0)}, // 3-10-3
        {32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}, 0x3FFFFFFF, RGBColor(255, 255, 255)}, // 10-10-10-2
        {32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}, 0x20080200, RGBColor(128, 128, 128)}, // 127.6
        {32, 0, {}, 0xAA123456, RGBColor(0x12, 0x34, 0x56)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.bits << " bits, pixel 0x" << std::hex << row.pixel);
        FileLayout s;
        s.bits = row.bits;
        s.compression = row.compression;
        s.masks = row.masks;
        s.pixels = bmpfile::Rows(1, 1, row.bits, [&](int, int) { return row.pixel; });
        TBitmap bitmap;
        LoadFromFile(bitmap, testimg::WriteFile(bmpfile::Build(s)));
        EXPECT_EQ(testimg::At(bitmap, 0, 0), row.expected);
        EXPECT_EQ(bitmap.PixelFormat(), row.bits == 16 ? pf16bit : pf32bit);
    }
}

// A pixel that a compressed stream never reaches, or whose index lies past the
// palette, is black, whatever memory held.
// Every level of a 5-6-5 pixel gives the nearest 8-bit level: v * 255 / max
// rounded, not cut (a 5-bit 3 is 24.7: 25).
TEST(BmpDecoding, EveryFiveAndSixBitLevelRoundsToTheNearest)
{
    FileLayout s;
    s.width = 64;
    s.bits = 16;
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F, 0};
    s.pixels =
        bmpfile::Rows(64, 1, 16, [](int x, int) { return std::uint32_t((x % 32) << 11 | x << 5 | (31 - x % 32)); });
    TBitmap bitmap;
    LoadFromFile(bitmap, testimg::WriteFile(bmpfile::Build(s)));
    const auto nearest = [](double v, double max) { return int(std::lround(v * 255 / max)); };
    for (int x = 0; x < 64; ++x)
        EXPECT_EQ(testimg::At(bitmap, x, 0), RGBColor(nearest(x % 32, 31), nearest(x, 63), nearest(31 - x % 32, 31)))
            << "level " << x;
    EXPECT_EQ(GetRValue(testimg::At(bitmap, 3, 0)), 25);
}

TEST(BmpDecoding, PixelsTheFileDoesNotDefineAreBlack)
{
    const TColor k = RGBColor(0, 0, 0);
    const QByteArray palette = QByteArray::fromHex("0000ff00"
                                                   "00ff0000"
                                                   "ff000000"); // red, green, blue
    const TColor r = RGBColor(255, 0, 0), g = RGBColor(0, 255, 0), b = RGBColor(0, 0, 255);
    struct Row {
        const char* name;
        int bits;
        int height;
        std::uint32_t compression;
        const char* stream;
        QImage expected;
    };
    const std::vector<Row> rows = {
        {"end of bitmap at once", 8, 2, 1, "0001", rgbImage(3, 2, {k, k, k, k, k, k})},
        {"early end of line", 8, 2, 1,
         "0101"
         "0000"
         "0302"
         "0001",
         rgbImage(3, 2, {b, b, b, g, k, k})},
        {"delta", 8, 2, 1,
         "0100"
         "00020101"
         "0101"
         "0001",
         rgbImage(3, 2, {k, k, g, r, k, k})},
        {"stream cut short", 8, 2, 1,
         "0201"
         "00",
         rgbImage(3, 2, {k, k, k, g, g, k})},
        {"literal run cut short", 8, 2, 1, "00030102", rgbImage(3, 2, {k, k, k, g, b, k})},
        {"rle4 delta", 4, 2, 2,
         "0112"
         "00020001"
         "0112",
         rgbImage(3, 2, {k, g, k, g, k, k})},
        {"top-down rle", 8, -2, 1,
         "0302"
         "0000"
         "0100"
         "0001",
         rgbImage(3, 2, {b, b, b, r, k, k})},
        {"index past the palette", 8, 2, 0,
         "0103ff00"
         "02000100",
         rgbImage(3, 2, {b, r, g, g, k, k})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FileLayout s;
        s.width = 3;
        s.height = row.height;
        s.bits = row.bits;
        s.compression = row.compression;
        s.palette = palette;
        s.pixels = QByteArray::fromHex(row.stream);
        EXPECT_EQ(pixelBytes(decoded(bmpfile::Build(s))), pixelBytes(row.expected));
    }
    // A palette that ends before the indices the pixels use, as in some old
    // files with the 12-byte header.
    FileLayout os2;
    os2.width = 3;
    os2.bits = 8;
    os2.headerSize = 12;
    os2.palette = QByteArray::fromHex("0000ff"
                                      "00ff00");
    os2.pixels = QByteArray::fromHex("01fe0000");
    EXPECT_EQ(pixelBytes(decoded(bmpfile::Build(os2))), pixelBytes(rgbImage(3, 1, {g, k, r})));
}

// Hostile and broken files: each is refused with its French message or gives a
// whole image, within 1 s and 64 MiB of memory (the files are all under 64 KiB,
// except a PNG of 1.2 MB and the sparse 4 GiB ones, which must not be read).
TEST(BmpDecoding, HostileFilesAreRefusedOrDecodedWithinTimeAndMemory)
{
    const QString dir = testimg::TempDir();
    const auto save = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const auto sparse = [&](const QString& name, const QByteArray& start, qint64 size) {
        const QString path = save(name, start);
        EXPECT_EQ(::truncate(QFile::encodeName(path).constData(), off_t(size)), 0);
        return path;
    };
    const auto variant = [](std::function<void(FileLayout&)> change) {
        FileLayout s;
        s.width = 4;
        s.height = 4;
        s.pixels = QByteArray(48, '\x7f');
        change(s);
        return bmpfile::Build(s);
    };
    const auto patch32 = [](QByteArray bytes, int at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(value >> (8 * i));
        return bytes;
    };
    const QByteArray good = variant([](FileLayout&) {});
    const auto rle = [](int width, int height, QByteArray stream) {
        FileLayout s;
        s.width = width;
        s.height = height;
        s.bits = 8;
        s.compression = 1;
        s.palette = bmpfile::Palette(2);
        s.pixels = stream;
        return bmpfile::Build(s);
    };
    const auto bitfields = [&](std::array<std::uint32_t, 4> masks, int bits = 16) {
        return variant([&](FileLayout& s) {
            s.bits = bits;
            s.compression = 3;
            s.masks = masks;
            s.pixels = QByteArray(64, '\x11');
        });
    };
    const char* const kImage = "image";
    QImage grey(256, 256, QImage::Format_RGB32);
    grey.fill(Qt::gray);
    QByteArray lossless = picturefile::Encode(grey, "jpeg", 90);
    lossless[lossless.indexOf("\xFF\xC0") + 1] = '\xC3'; // a lossless frame
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/pipe.bmp").constData(), 0644), 0);
    QDir(dir).mkdir("dossier.bmp");

    struct Case {
        const char* name;
        QString path;
        const char* outcome; // a part of the message, or "image"
    };
    const std::vector<Case> cases = {
        {"empty", save("empty", {}), "trop court"},
        {"truncated header", save("h", good.left(20)), "trop court"},
        {"truncated info header", save("ih", good.left(40)), "l'en-tête de l'image est tronqué"},
        {"truncated 24-bit pixels", save("p", good.left(good.size() - 5)), "le fichier est tronqué"},
        {"not an image", save("txt", "This is not a bitmap at all, no, nor a picture"), "ce n'est pas une image BMP"},
        {"a GIF header and junk", save("gif", "GIF89a this is not a bitmap at all, no"), "endommagé ou tronqué"},
        {"zero width", save("w0", patch32(good, 18, 0)), "(0 x 4) n'est pas valide"},
        {"negative width", save("wn", patch32(good, 18, quint32(-5))), "(-5 x 4) n'est pas valide"},
        {"zero height", save("h0", patch32(good, 22, 0)), "n'est pas valide"},
        {"INT_MIN height", save("hmin", patch32(good, 22, 0x80000000u)), "trop grande"},
        {"absurd size in a tiny file", save("huge", patch32(patch32(good, 18, 100000), 22, 100000)), "trop grande"},
        {"over 1 GiB", save("gib", patch32(patch32(good, 18, 32767), 22, 32767)), "trop grande"},
        {"offset past the end", save("off", patch32(good, 10, 0x7FFFFFFF)), "la position des pixels"},
        {"offset inside the header", save("offin", patch32(good, 10, 20)), "la position des pixels"},
        {"0 bits", save("b0", variant([](FileLayout& s) { s.bits = 0; })), "profondeur de 0 bits"},
        {"7 bits", save("b7", variant([](FileLayout& s) { s.bits = 7; })), "profondeur de 7 bits"},
        {"64 bits", save("b64", variant([](FileLayout& s) { s.bits = 64; })), "profondeur de 64 bits"},
        {"embedded JPEG", save("c4", variant([](FileLayout& s) {
                                   s.bits = 0;
                                   s.compression = 4;
                               })),
         "compression JPEG/PNG dans un BMP"},
        {"embedded PNG", save("c5", variant([](FileLayout& s) { s.compression = 5; })), "compression JPEG/PNG"},
        {"unknown compression", save("c9", variant([](FileLayout& s) { s.compression = 9; })), "pas pris en charge"},
        {"alpha bit fields", save("c6", variant([](FileLayout& s) {
                                      s.bits = 32;
                                      s.compression = 6;
                                  })),
         "pas pris en charge"},
        {"56-byte header", save("h56", variant([](FileLayout& s) { s.headerSize = 56; })),
         "type d'en-tête n'est pas pris en charge"},
        {"44-byte header", save("h44", variant([](FileLayout& s) { s.headerSize = 44; })), "inconnu ou endommagé"},
        {"two planes", save("planes", variant([](FileLayout& s) { s.planes = 2; })), "endommagée"},
        {"huge palette count", save("pal", variant([](FileLayout& s) {
                                        s.bits = 8;
                                        s.coloursUsed = 0xFFFFFFFF;
                                    })),
         "palette"},
        {"zero masks", save("m0", bitfields({0, 0, 0, 0})), "masques"},
        {"one zero mask", save("m1", bitfields({0xF800, 0, 0x1F, 0})), "masques"},
        {"overlapping masks", save("mo", bitfields({0xF800, 0x0FE0, 0x1F, 0})), "masques"},
        {"masks with holes", save("mh", bitfields({0xF000, 0x05E0, 0x1F, 0})), "masques"},
        {"mask past 16 bits", save("mw", bitfields({0x1F0000, 0x7E0, 0x1F, 0})), "masques"},
        {"32-bit zero masks", save("m32", bitfields({0, 0, 0, 0}, 32)), "masques"},
        {"16000 x 16000 RLE in 1 KiB", save("bomb", rle(16000, 16000, QByteArray(1000, '\xff'))), "compressées"},
        {"RLE at the limit", save("rle-ok", rle(64000 / 8, 16, QByteArray(1000, '\xff'))), kImage},
        {"RLE ending at once", save("rle-eob", rle(10, 10, QByteArray::fromHex("0001"))), kImage},
        {"RLE delta past the end", save("rle-far", rle(20, 20, QByteArray::fromHex("0002ffff0101"))), kImage},
        {"RLE literal past the end", save("rle-lit", rle(20, 20, QByteArray::fromHex("00ff0101"))), kImage},
        {"RLE of escapes only", save("rle-eol", rle(200, 200, QByteArray(60000, '\0'))), kImage},
        {"2000 x 2000 RLE ending at once", save("rle-skip", rle(2000, 2000, QByteArray::fromHex("0001"))), kImage},
        {"PNG claiming 100000 x 100000", save("png-bomb", picturefile::PngClaiming(100000, 100000)), "trop grande"},
        {"JPEG claiming 40000 x 40000", save("jpeg-bomb", picturefile::JpegClaiming(40000, 40000)), "trop grande"},
        {"progressive JPEG of 1200 scans",
         save("jpeg-scans", picturefile::WithLastScanRepeated(picturefile::Encode(grey, "jpeg", 90, true), 1190)),
         "endommagé ou tronqué"},
        {"lossless JPEG", save("jpeg-lossless", lossless), "ce type de JPEG n'est pas pris en charge"},
        {"GIF claiming 65535 x 65535", save("gif-bomb", picturefile::GifClaiming(65535, 65535)), "trop grande"},
        {"GIF whose frame reaches past a 32769-pixel screen",
         save("gif-past",
              QByteArray::fromBase64("R0lGODlhAQABgIAAAP8AAP///ywAAAAAAQABAAACAkQBACwAAAIAAQABAAACAkQBADs=")),
         "trop grande"},
        {"GIF whose screen is larger than its frame", save("gif-screen", gifScreen(40000, 40000)), "trop grande"},
        {"WebP claiming 16383 x 16383", save("webp-bomb", picturefile::WebpClaiming(16383, 16383)), "endommagé"},
        {"PNG claiming 16000 x 16000", save("png-big", picturefile::PngClaiming(16000, 16000)), "endommagé"},
        // Text chunks that inflate to 1.2 GB in a 1.2 MB file are not inflated.
        {"PNG with 300 text chunks of 4 MB", save("png-text", picturefile::PngWithText(300, 4000000)), kImage},
        {"4 GiB of junk", sparse("junk", "XX", qint64(4) << 30), "ce n'est pas une image BMP"},
        {"a small image and 4 GiB after it", sparse("tail", good, qint64(4) << 30), kImage},
        {"a folder", dir + "/dossier.bmp", "ce n'est pas un fichier ordinaire"},
        {"a pipe", dir + "/pipe.bmp", "ce n'est pas un fichier ordinaire"},
        {"an endless device", QStringLiteral("/dev/zero"), "ce n'est pas un fichier ordinaire"},
        {"a missing file", dir + "/absent.bmp", "le fichier n'existe pas"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ChildReport report = inChild([&] { return loadOutcome(c.path); });
        ASSERT_TRUE(report.finished) << "no answer within 20 s";
        if (std::strcmp(c.outcome, kImage) == 0)
            EXPECT_TRUE(report.text.startsWith("image ")) << report.text.toStdString();
        else
            EXPECT_TRUE(report.text.startsWith(QStringLiteral("erreur Impossible d'ouvrir")) &&
                        report.text.contains(QString::fromUtf8(c.outcome)))
                << report.text.toStdString();
        EXPECT_LT(report.seconds, kShadowOfAGibibyteKiB > 0 ? 3.0 : 1.0);
        EXPECT_LT(report.growthKiB, 64 * 1024 + kShadowOfAGibibyteKiB);
    }
}

// An RLE stream is decoded as it is read: a sparse file of 1 GiB behind a
// 4000 x 2000 image costs the image's 24 MB and little more (the whole stream
// held at once took 16 MB more).
TEST(BmpDecoding, ALongRleStreamIsNotHeldInMemory)
{
    FileLayout s;
    s.width = 4000;
    s.height = 2000;
    s.bits = 8;
    s.compression = 1;
    s.palette = bmpfile::Palette(2);
    s.pixels = QByteArray::fromHex("04010000");
    const QString path = testimg::WriteFile(bmpfile::Build(s), "sparse-rle.bmp");
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), off_t(1) << 30), 0);
    const ChildReport report = inChild([&] { return loadOutcome(path); });
    ASSERT_TRUE(report.finished);
    EXPECT_TRUE(report.text.startsWith("image 4000x2000")) << report.text.toStdString();
    EXPECT_LT(report.growthKiB, (24 + 10) * 1024 + kShadowOfAGibibyteKiB / 32);
}

// A file the program wrote comes back byte for byte; a top-down file comes back
// as the bottom-up file of the same image.
TEST(BmpRoundTrips, LoadThenSaveReproducesTheFile)
{
    for (int width : {1, 2, 3, 5, 6, 7, 641}) {
        SCOPED_TRACE(width);
        FileLayout s;
        s.width = width;
        s.height = 5;
        s.resolution = 0;
        s.pixels = bmpfile::Rows(width, 5, 24, [](int x, int r) { return std::uint32_t(x * 2654435761u + r * 97u); });
        const QByteArray bottomUp = bmpfile::Build(s);
        QByteArray topDownPixels;
        const int rowBytes = int(BitmapRowBytes(width));
        for (int r = 4; r >= 0; --r)
            topDownPixels.append(s.pixels.mid(r * rowBytes, rowBytes));
        s.height = -5;
        s.pixels = topDownPixels;
        const QByteArray topDown = bmpfile::Build(s);

        for (const QByteArray& file : {bottomUp, topDown}) {
            TBitmap bitmap;
            LoadFromFile(bitmap, testimg::WriteFile(file, "in.bmp"));
            EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
            const QString out = testimg::TempDir() + "/out.bmp";
            SaveToFile(bitmap, out);
            EXPECT_TRUE(testimg::ReadFile(out) == bottomUp);
        }
    }
}
