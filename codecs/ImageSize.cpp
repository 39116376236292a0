#include "codecs/ImageSize.h"

#include "codecs/BmpHeader.h"
#include "codecs/TiffFile.h"
#include "raster/Exception.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace {

// The format from the first bytes, as ReadImageFile recognises it.
std::optional<ImageFormat> formatOf(const QByteArray& head)
{
    const auto at = [&head](qsizetype offset, const char* magic, qsizetype length) {
        return head.size() >= offset + length && std::memcmp(head.constData() + offset, magic, size_t(length)) == 0;
    };
    if (at(0, "BM", 2))
        return ImageFormat::Bmp;
    if (at(0, "\x89PNG\r\n\x1A\n", 8))
        return ImageFormat::Png;
    if (at(0, "\xFF\xD8\xFF", 3))
        return ImageFormat::Jpeg;
    if (at(0, "GIF87a", 6) || at(0, "GIF89a", 6))
        return ImageFormat::Gif;
    if (at(0, "RIFF", 4) && at(8, "WEBP", 4))
        return ImageFormat::Webp;
    static constexpr char kTiffIntel[] = {'I', 'I', '*', '\0'};
    static constexpr char kTiffMotorola[] = {'M', 'M', '\0', '*'};
    if (at(0, kTiffIntel, 4) || at(0, kTiffMotorola, 4))
        return ImageFormat::Tiff;
    return std::nullopt;
}

quint32 byteAt(const QByteArray& bytes, qsizetype at) { return quint8(bytes[at]); }
quint32 bigEndian32(const QByteArray& b, qsizetype at)
{
    return byteAt(b, at) << 24 | byteAt(b, at + 1) << 16 | byteAt(b, at + 2) << 8 | byteAt(b, at + 3);
}
quint32 littleEndian(const QByteArray& b, qsizetype at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= byteAt(b, at + i) << (8 * i);
    return value;
}

// The canvas of a simple lossy (VP8), lossless (VP8L) or extended (VP8X) file.
QSize webpSize(const QByteArray& head)
{
    if (head.size() < 30)
        return {};
    const QByteArray chunk = head.mid(12, 4);
    if (chunk == "VP8X")
        return QSize(int(littleEndian(head, 24, 3) + 1), int(littleEndian(head, 27, 3) + 1));
    if (chunk == "VP8L" && byteAt(head, 20) == 0x2F) {
        const quint32 bits = littleEndian(head, 21, 4);
        return QSize(int((bits & 0x3FFF) + 1), int(((bits >> 14) & 0x3FFF) + 1));
    }
    if (chunk == "VP8 " && byteAt(head, 23) == 0x9D && byteAt(head, 24) == 0x01 && byteAt(head, 25) == 0x2A)
        return QSize(int(littleEndian(head, 26, 2) & 0x3FFF), int(littleEndian(head, 28, 2) & 0x3FFF));
    return {};
}

// Whether the JPEG's frame is progressive, and its number of components: a
// progressive file keeps every coefficient, 2 bytes a sample, until its last
// scan. False with 0 components when no frame header is found in `head`.
bool jpegProgressive(const QByteArray& head, int* components)
{
    *components = 0;
    for (qsizetype at = 2; at + 4 <= head.size();) {
        if (byteAt(head, at) != 0xFF)
            return false;
        const quint32 marker = byteAt(head, at + 1);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const qsizetype length = qsizetype(byteAt(head, at + 2) << 8 | byteAt(head, at + 3));
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && at + 10 <= head.size()) {
            *components = int(byteAt(head, at + 9));
            return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        }
        at += 2 + length;
    }
    return false;
}

} // namespace

std::optional<ClaimedImage> ClaimImageFile(const QString& fileName)
{
    // Only a regular file: a pipe would block, a device never ends.
    struct stat status { };
    if (::stat(QFile::encodeName(fileName).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    // Enough for every BMP header and a JPEG's usual segments before its frame.
    const QByteArray head = file.read(std::max<qint64>(kBmpHeadBytes, qint64(64) << 10));
    const std::optional<ImageFormat> format = formatOf(head);
    if (!format)
        return std::nullopt;

    ClaimedImage claim;
    claim.format = *format;
    qint64 decodedBytesPerPixel = 0; // the block a decoder writes, before the 24-bit image
    qint64 convertedBytesPerPixel = 0; // a further block its conversion takes
    switch (*format) {
    case ImageFormat::Bmp:
        try {
            const BmpHeaderInfo info = ValidateBmpHeader(head, file.size(), fileName);
            claim.size = QSize(info.width, info.height);
        } catch (const ERasterError&) {
            return std::nullopt;
        }
        break;
    case ImageFormat::Png:
        if (head.size() < 26)
            return std::nullopt;
        claim.size = QSize(int(bigEndian32(head, 16) & 0x7FFFFFFF), int(bigEndian32(head, 20) & 0x7FFFFFFF));
        break;
    case ImageFormat::Gif:
        // Decoded at the size of its screen.
        if (head.size() < 10)
            return std::nullopt;
        claim.size = QSize(int(littleEndian(head, 6, 2)), int(littleEndian(head, 8, 2)));
        decodedBytesPerPixel = 1;
        convertedBytesPerPixel = 4;
        break;
    case ImageFormat::Webp: {
        claim.size = webpSize(head);
        // A still lossy picture is decoded straight into the 24-bit image;
        // a lossless one keeps a 32-bit copy inside libwebp, and one with
        // transparency is decoded into a 32-bit block (WebpFile.h). An
        // animation goes through Qt's plugin: its canvas, the frame, and the
        // picture it is copied into.
        const bool extended = head.mid(12, 4) == "VP8X";
        const quint32 flags = extended && head.size() > 20 ? byteAt(head, 20) : 0;
        if (flags & 0x02)
            decodedBytesPerPixel = 12;
        else if (head.mid(12, 4) == "VP8 ")
            decodedBytesPerPixel = 3;
        else
            decodedBytesPerPixel = 8;
        break;
    }
    case ImageFormat::Jpeg:
    case ImageFormat::Tiff: {
        file.seek(0);
        QuietTiff();
        QImageReader reader(&file);
        claim.size = reader.size();
        if (*format == ImageFormat::Jpeg) {
            int components = 0;
            const bool progressive = jpegProgressive(head, &components);
            // The picture, a turned copy of it when the file asks for one,
            // and a progressive file's coefficients.
            decodedBytesPerPixel = 3 + (reader.transformation() != QImageIOHandler::TransformationNone ? 3 : 0) +
                                   (progressive ? 2 * components : 0);
        } else if (TiffReadDirectly(file)) {
            // Straight into the 24-bit image, a row or a tile at a time.
            decodedBytesPerPixel = 3;
        } else {
            // The plugin reads 8-bit files into 32 bits, deeper ones into 64,
            // and may convert once more.
            decodedBytesPerPixel = 8;
            convertedBytesPerPixel = 3;
        }
        break;
    }
    }
    if (!claim.size.isValid() || claim.size.isEmpty())
        return std::nullopt;

    const qint64 pixels = qint64(claim.size.width()) * claim.size.height();
    const qint64 rows = BitmapRowBytes(claim.size.width()) * claim.size.height();
    if (*format == ImageFormat::Png) {
        // Qt's plugin decodes 8-bit pictures into 32 bits and the 24-bit image
        // reuses that block; 16-bit ones into 64 bits, converted into a new
        // 24-bit image. Palettes and greys are decoded into a byte a pixel,
        // then expanded to 32 bits.
        const quint32 depth = byteAt(head, 24), colour = byteAt(head, 25);
        decodedBytesPerPixel = depth == 16 ? 8 : colour == 3 || colour == 0 ? 1 : 4;
        convertedBytesPerPixel = depth == 16 ? 3 : colour == 3 || colour == 0 ? 4 : 0;
    }
    switch (*format) {
    case ImageFormat::Bmp: claim.readingBytes = claim.heldBytes = rows; break;
    case ImageFormat::Jpeg:
        claim.readingBytes = std::max(rows, pixels * decodedBytesPerPixel);
        claim.heldBytes = rows;
        break;
    case ImageFormat::Webp:
    case ImageFormat::Tiff:
        claim.readingBytes = std::max(rows, pixels * (decodedBytesPerPixel + convertedBytesPerPixel));
        claim.heldBytes = decodedBytesPerPixel == 3 || convertedBytesPerPixel == 3 ? rows : std::max(rows, pixels * 4);
        break;
    default:
        claim.readingBytes = std::max(rows, pixels * (decodedBytesPerPixel + convertedBytesPerPixel));
        claim.heldBytes = std::max(rows, pixels * (convertedBytesPerPixel == 3 ? 3 : 4));
        break;
    }
    return claim;
}
