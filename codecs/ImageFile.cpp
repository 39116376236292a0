#include "codecs/ImageFile.h"

#include "codecs/AtomicFile.h"
#include "codecs/BmpFile.h"
#include "codecs/ContainerScan.h"
#include "codecs/FileRefusal.h"
#include "codecs/JpegFile.h"
#include "codecs/PngFile.h"
#include "codecs/TiffFile.h"
#include "codecs/WebpFile.h"
#include "raster/Exception.h"
#include "raster/HugePages.h"

#include <QBuffer>
#include <QColorSpace>
#include <QColorTransform>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

struct FormatName {
    ImageFormat format;
    const char* qt; // the name Qt's plugins know it by
};
constexpr FormatName kFormats[] = {
    {ImageFormat::Png, "png"},   {ImageFormat::Jpeg, "jpeg"}, {ImageFormat::Gif, "gif"},
    {ImageFormat::Webp, "webp"}, {ImageFormat::Tiff, "tiff"},
};

const char* qtName(ImageFormat format)
{
    for (const FormatName& f : kFormats)
        if (f.format == format)
            return f.qt;
    return "bmp";
}

// The format of a file from its first bytes; Bmp for none of the others.
bool sniff(const QByteArray& head, ImageFormat* format)
{
    const auto starts = [&](std::initializer_list<unsigned char> magic, qsizetype at = 0) {
        if (head.size() < at + qsizetype(magic.size()))
            return false;
        return std::equal(magic.begin(), magic.end(), head.constBegin() + at,
                          [](unsigned char m, char c) { return m == static_cast<unsigned char>(c); });
    };
    if (starts({'B', 'M'}))
        *format = ImageFormat::Bmp;
    else if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}))
        *format = ImageFormat::Png;
    else if (starts({0xFF, 0xD8, 0xFF}))
        *format = ImageFormat::Jpeg;
    else if (starts({'G', 'I', 'F', '8', '7', 'a'}) || starts({'G', 'I', 'F', '8', '9', 'a'}))
        *format = ImageFormat::Gif;
    else if (starts({'R', 'I', 'F', 'F'}) && (head.size() < 12 || starts({'W', 'E', 'B', 'P'}, 8)))
        *format = ImageFormat::Webp;
    else if (starts({'I', 'I', 0x2A, 0x00}) || starts({'M', 'M', 0x00, 0x2A}))
        *format = ImageFormat::Tiff;
    else
        return false;
    return true;
}

[[noreturn]] void notAnImage(const QString& fileName)
{
    RefuseFile(fileName, QStringLiteral("ce n'est pas une image BMP, PNG, JPEG, GIF, WebP ou TIFF."));
}

[[noreturn]] void damaged(const QString& fileName)
{
    RefuseFile(fileName, QStringLiteral("le fichier est endommagé ou tronqué."));
}

// Formats that hold more than 8 bits a channel.
bool deep(QImage::Format format)
{
    switch (format) {
    case QImage::Format_BGR30:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_RGB30:
    case QImage::Format_A2RGB30_Premultiplied:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied: return true;
    default: return false;
    }
}

// A channel laid over white: c a / max + max (max - a) / max, to nearest.
template <typename T> T overWhite(quint64 c, quint64 a, quint64 max)
{
    return T((c * a + max * (max - a) + max / 2) / max);
}

// The picture as the document's 24-bit image. Where the picture was decoded in
// 32 bits a pixel, its own buffer is reused row by row (a 24-bit row never
// reaches past the 32-bit row it comes from), so no second photo-sized block is
// needed. `lost` tells whether a pixel was not fully opaque.
QImage toBitmap(QImage picture, bool* lost)
{
    *lost = false;
    const int width = picture.width();
    const int height = picture.height();
    const qsizetype stride = BitmapRowBytes(width);
    if (deep(picture.format())) {
        // 16 bits a channel: laid over white in 16 bits, then rounded to the
        // nearest 8-bit level (v / 257).
        picture.convertTo(QImage::Format_RGBA64);
        QImage out = NewBitmapImage(width, height);
        if (out.isNull())
            return out;
        for (int y = 0; y < height; ++y) {
            const auto* in = reinterpret_cast<const quint16*>(picture.constScanLine(y));
            std::uint8_t* row = out.scanLine(y);
            for (int x = 0; x < width; ++x, in += 4) {
                const quint64 a = in[3];
                *lost |= a != 0xFFFF;
                for (int c = 0; c < 3; ++c)
                    row[3 * x + 2 - c] = std::uint8_t((overWhite<quint32>(in[c], a, 0xFFFF) + 128) / 257);
            }
            std::memset(row + 3 * qsizetype(width), 0, size_t(stride - 3 * qsizetype(width)));
        }
        return out;
    }
    picture.convertTo(picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    const bool alpha = picture.format() == QImage::Format_ARGB32;
    std::uint8_t* const bits = picture.bits();
    const qsizetype inStride = picture.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const quint32*>(bits + y * inStride);
        std::uint8_t* row = bits + y * stride;
        for (int x = 0; x < width; ++x) {
            const quint32 p = in[x];
            std::uint8_t b = std::uint8_t(p), g = std::uint8_t(p >> 8), r = std::uint8_t(p >> 16);
            if (alpha) {
                const quint32 a = p >> 24;
                if (a != 255) {
                    *lost = true;
                    b = overWhite<std::uint8_t>(b, a, 255);
                    g = overWhite<std::uint8_t>(g, a, 255);
                    r = overWhite<std::uint8_t>(r, a, 255);
                }
            }
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
        std::memset(row + 3 * qsizetype(width), 0, size_t(stride - 3 * qsizetype(width)));
    }
    // The 24-bit image keeps the decoded block alive and frees it at its end.
    auto* owner = new QImage(std::move(picture));
    return QImage(
        owner->bits(), width, height, stride, QImage::Format_BGR888,
        [](void* image) { delete static_cast<QImage*>(image); }, owner);
}

// libjpeg decodes a JPEG straight into the document's 24-bit image, its values
// as stored; a profile other than sRGB is kept, one that cannot be read is
// left out with the warning.
ReadPicture decodeJpeg(QIODevice& device, const QString& fileName, const JpegReduction& reduce)
{
    ReadPicture result;
    bool hasProfile = false;
    result.image =
        reduce ? ReadJpeg(device, fileName, reduce, &hasProfile) : ReadJpeg(device, fileName, 1, &hasProfile);
    if (!SameAsSrgb(result.image.colorSpace()))
        result.profile = result.image.colorSpace();
    const bool unreadable = hasProfile && !result.image.colorSpace().isValid();
    result.image.setColorSpace(QColorSpace());
    result.format = ImageFormat::Jpeg;
    result.depth = unreadable ? pfCustom : pf24bit;
    return result;
}

// libpng decodes a PNG straight into the document's 24-bit image, as Qt's
// decoder and toBitmap() did; a profile other than sRGB is kept, one that
// cannot be read is left out with the warning.
ReadPicture decodePng(QIODevice& device, const QString& fileName, const TContainerContents& contents)
{
    PngPicture picture = ReadPng(device, fileName);
    ReadPicture result;
    result.image = std::move(picture.image);
    result.format = ImageFormat::Png;
    result.lost.transparency = picture.transparency;
    result.lost.deepColour = picture.deepColour;
    result.lost.moreImages = contents.moreFrames;
    if (!SameAsSrgb(picture.space))
        result.profile = picture.space;
    const bool unreadableProfile = contents.profile && !picture.space.isValid();
    result.depth = result.lost.Any() || unreadableProfile ? pfCustom : pf24bit;
    return result;
}

// Decodes a PNG, JPEG, GIF, WebP or TIFF file from `device`.
ReadPicture decodeWithQt(QIODevice& device, ImageFormat format, const QString& fileName,
                         const JpegReduction& reduce = {})
{
    // A claimed size over the bitmaps' limit is refused before decoding; the
    // plugins' own allocation limit is set just above that limit for the
    // deepest layout they decode into (8 bytes a pixel).
    // The limit is global to the process: it is set once, so that files
    // decoded on several threads at once do not race to write it.
    static const bool limitSet = [] {
        QImageReader::setAllocationLimit(int((kMaxBitmapBytes / 3 * 8) >> 20) + 16);
        return true;
    }();
    (void)limitSet;
    TContainerContents contents;
    if (!ContainerComplete(format, device, &contents))
        damaged(fileName);
    device.seek(0);
    if (format == ImageFormat::Jpeg)
        return decodeJpeg(device, fileName, reduce);
    if (format == ImageFormat::Png)
        return decodePng(device, fileName, contents);
    if (std::optional<ReadPicture> lean = format == ImageFormat::Webp   ? ReadWebp(device, fileName, contents)
                                          : format == ImageFormat::Tiff ? ReadTiff(device, fileName, contents)
                                                                        : std::nullopt)
        return std::move(*lean);
    const QByteArray head = device.peek(10);
    const auto le16 = [&head](int at) { return int(std::uint8_t(head[at])) | int(std::uint8_t(head[at + 1])) << 8; };
    const QSize screen = head.size() == 10 ? QSize(le16(6), le16(8)) : QSize();
    QImageReader reader(&device, qtName(format));
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid())
        damaged(fileName);
    RefuseIfTooLarge(size.width(), size.height(), fileName);
    // A GIF is decoded at the size of its screen, which need not be the size
    // of its first frame that the reader reports: both are checked.
    if (format == ImageFormat::Gif && screen.isValid())
        RefuseIfTooLarge(screen.width(), screen.height(), fileName);
    // The decoders write into an image of the size and format they would make,
    // when given one: taken from the large-block allocator, a photo's pages
    // are not faulted in one by one.
    QImage picture;
    const QImage::Format layout = reader.imageFormat();
    const qsizetype bytes = qsizetype(size.height()) *
                            ((qsizetype(size.width()) * QImage::toPixelFormat(layout).bitsPerPixel() + 31) / 32 * 4);
    if (layout != QImage::Format_Invalid && bytes >= (qsizetype(2) << 20))
        if (void* memory = AllocateLarge(size_t(bytes)))
            picture = QImage(static_cast<uchar*>(memory), size.width(), size.height(), bytes / size.height(), layout,
                             std::free, memory);
    if (!reader.read(&picture) || picture.isNull()) {
        // A valid TIFF that nothing here decodes is not called damaged.
        if (format == ImageFormat::Tiff && TiffKindUnsupported(device))
            RefuseFile(fileName, QStringLiteral("ce type de TIFF n'est pas pris en charge."));
        damaged(fileName);
    }
    // A GIF's frame may reach outside the size its header claims: the decoded
    // picture is checked again.
    RefuseIfTooLarge(picture.width(), picture.height(), fileName);
    ReadPicture result;
    result.lost.deepColour = deep(picture.format());
    result.lost.moreImages = contents.moreFrames;
    // The values stay as the file holds them; a profile other than sRGB is
    // kept to be written back, one that cannot be read is left out, said.
    const bool unreadableProfile = contents.profile && !picture.colorSpace().isValid();
    if (!SameAsSrgb(picture.colorSpace()))
        result.profile = picture.colorSpace();
    picture.setColorSpace(QColorSpace());
    result.image = toBitmap(std::move(picture), &result.lost.transparency);
    if (result.image.isNull())
        RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
    result.format = format;
    result.depth = result.lost.Any() || unreadableProfile ? pfCustom : pf24bit;
    return result;
}

} // namespace

ReadPicture ReadImageFile(const QString& fileName, const JpegReduction& reduce)
{
    const QByteArray path = QFile::encodeName(fileName);
    // Only a regular file is opened: a pipe would block, a device never ends.
    struct stat status { };
    if (::stat(path.constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            RefuseFile(fileName, QStringLiteral("le fichier n'existe pas."));
        RefuseFile(fileName, QStringLiteral("le fichier ne peut pas être lu."));
    }
    if (!S_ISREG(status.st_mode))
        RefuseFile(fileName, QStringLiteral("ce n'est pas un fichier ordinaire."));
    // Non-blocking in case the name was replaced by a pipe since.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        RefuseFile(fileName, QStringLiteral("le fichier ne peut pas être lu."));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        RefuseFile(fileName, QStringLiteral("le fichier ne peut pas être lu."));
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        RefuseFile(fileName, QStringLiteral("ce n'est pas un fichier ordinaire."));

    char head[16] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    ImageFormat format = ImageFormat::Bmp;
    if (got >= 2 && !sniff(QByteArray(head, int(got)), &format))
        notAnImage(fileName);
    if (got < 2 || format == ImageFormat::Bmp) {
        ReadPicture result;
        result.image = ReadBmp(fd, qint64(status.st_size), fileName, &result.depth);
        return result;
    }
    return decodeWithQt(file, format, fileName, reduce);
}

ReadPicture DecodeImage(const QByteArray& bytes, const QString& fileName)
{
    ImageFormat format = ImageFormat::Bmp;
    if (bytes.size() >= 2 && !sniff(bytes.left(16), &format))
        notAnImage(fileName);
    if (bytes.size() < 2 || format == ImageFormat::Bmp) {
        ReadPicture result;
        result.image = DecodeBmp(bytes.constData(), bytes.size(), fileName, &result.depth);
        return result;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decodeWithQt(buffer, format, fileName);
}

QImage ToBitmapImage(const QImage& picture, bool* lost)
{
    bool transparent = false;
    // A picture from another program keeps its values, whatever colour space
    // it names.
    QImage converted = picture;
    const bool deeper = deep(converted.format());
    converted = toBitmap(std::move(converted), &transparent);
    if (lost)
        *lost = transparent || deeper;
    return converted;
}

bool SameAsSrgb(const QColorSpace& space)
{
    if (!space.isValid() || space == QColorSpace::SRgb)
        return true;
    // Greys, primaries and their mixes at a few levels, mapped to `target`:
    // every channel within one level means the same colours.
    const auto within = [&space](const QColorSpace& target) {
        const QColorTransform transform = space.transformationToColorSpace(target);
        for (int level = 0; level < 256; ++level)
            for (const QRgb mask : {0xFFFFFFu, 0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFF00u, 0x00FFFFu, 0xFF00FFu}) {
                const QRgb colour = 0xFF000000u | (qRgb(level, level, level) & mask);
                const QRgb mapped = transform.map(colour);
                if (std::abs(qRed(mapped) - qRed(colour)) > 1 || std::abs(qGreen(mapped) - qGreen(colour)) > 1 ||
                    std::abs(qBlue(mapped) - qBlue(colour)) > 1)
                    return false;
            }
        return true;
    };
    if (within(QColorSpace::SRgb))
        return true;
    // A gAMA of 1/2.2 stands for sRGB in most tools' files; its curve differs
    // from sRGB's by up to 9 levels, so only the primaries are compared.
    if (space.transferFunction() == QColorSpace::TransferFunction::Gamma && std::abs(space.gamma() - 2.2f) <= 0.022f)
        return within(QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, space.gamma()));
    return false;
}
