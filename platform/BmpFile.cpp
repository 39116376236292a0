#include "platform/BmpFile.h"

#include "platform/Exception.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

quint16 readU16(const QByteArray& d, int at) { return quint16(quint8(d[at])) | quint16(quint8(d[at + 1])) << 8; }

quint32 readU32(const QByteArray& d, int at)
{
    return quint32(quint8(d[at])) | quint32(quint8(d[at + 1])) << 8 | quint32(quint8(d[at + 2])) << 16 |
           quint32(quint8(d[at + 3])) << 24;
}

[[noreturn]] void refuse(const QString& fileName, const QString& why)
{
    throw ERasterError(QStringLiteral("Impossible d'ouvrir « %1 » : %2").arg(fileName, why));
}

TPixelFormat formatForBits(int bits)
{
    switch (bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return pf16bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
    }
}

void putU16(QByteArray& d, int at, quint16 v)
{
    d[at] = char(v & 0xFF);
    d[at + 1] = char(v >> 8);
}

void putU32(QByteArray& d, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace

BmpHeaderInfo ValidateBmpHeader(const QByteArray& data, const QString& fileName)
{
    // `data` is the whole file, so every offset can be checked against its size.
    const qint64 fileSize = data.size();
    if (fileSize < 26)
        refuse(fileName, QStringLiteral("le fichier est trop court pour être une image BMP."));
    if (data[0] != 'B' || data[1] != 'M')
        refuse(fileName, QStringLiteral("ce n'est pas une image BMP."));

    const quint32 offBits = readU32(data, 10);
    const quint32 dibSize = readU32(data, 14);

    BmpHeaderInfo info;
    qint64 width = 0;
    qint64 height = 0;
    quint32 compression = 0;
    if (dibSize == 12) {
        width = readU16(data, 18);
        height = readU16(data, 20);
        info.bitCount = readU16(data, 24);
    } else if (dibSize >= 40 && dibSize <= 124) {
        if (fileSize < 14 + 40)
            refuse(fileName, QStringLiteral("l'en-tête de l'image est tronqué."));
        width = qint32(readU32(data, 18));
        height = qint32(readU32(data, 22));
        info.bitCount = readU16(data, 28);
        compression = readU32(data, 30);
    } else {
        refuse(fileName, QStringLiteral("l'en-tête de l'image est inconnu ou endommagé."));
    }
    if (14 + qint64(dibSize) > fileSize)
        refuse(fileName, QStringLiteral("l'en-tête de l'image est tronqué."));

    switch (info.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default:
        refuse(fileName, QStringLiteral("la profondeur de %1 bits par pixel n'est pas valide.").arg(info.bitCount));
    }
    const bool rle = (compression == 1 && info.bitCount == 8) || (compression == 2 && info.bitCount == 4);
    const bool bitfields = (compression == 3 || compression == 6) && (info.bitCount == 16 || info.bitCount == 32);
    if (compression != 0 && !rle && !bitfields)
        refuse(fileName, QStringLiteral("ce mode de compression n'est pas pris en charge."));

    if (height < 0) {
        info.topDown = true;
        height = -height;
    }
    if (width <= 0 || height <= 0)
        refuse(fileName, QStringLiteral("la taille de l'image (%1 x %2) n'est pas valide.").arg(width).arg(height));
    if (!BitmapSizeAllowed(width, height))
        refuse(fileName,
               QStringLiteral("l'image est trop grande (%1 x %2 pixels ; au plus %3 pixels de côté et 1 Gio d'image).")
                   .arg(width)
                   .arg(height)
                   .arg(kMaxBitmapSide));

    if (offBits < 14 + dibSize || offBits >= fileSize)
        refuse(fileName, QStringLiteral("la position des pixels dans le fichier n'est pas valide."));
    if (!rle) {
        const qint64 rowBytes = ((width * info.bitCount + 31) / 32) * 4;
        if (qint64(offBits) + rowBytes * height > fileSize)
            refuse(fileName, QStringLiteral("le fichier est tronqué."));
    }

    info.width = int(width);
    info.height = int(height);
    info.format = formatForBits(info.bitCount);
    return info;
}

QImage ReadBmpFile(const QString& fileName, TPixelFormat* format)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(fileName))
            refuse(fileName, QStringLiteral("le fichier n'existe pas."));
        refuse(fileName, QStringLiteral("le fichier ne peut pas être lu."));
    }
    // The headers are checked against the real file size before the pixels are
    // decoded, so a hostile header never makes the decoder allocate anything.
    const qint64 fileSize = file.size();
    if (fileSize > kMaxBitmapBytes * 5)
        refuse(fileName, QStringLiteral("le fichier est trop gros."));
    const QByteArray data = file.readAll();
    if (data.size() != fileSize)
        refuse(fileName, QStringLiteral("le fichier ne peut pas être lu en entier."));
    const BmpHeaderInfo info = ValidateBmpHeader(data, fileName);

    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    // Qt refuses images over 128 MB by default; the checked header already
    // bounds the size, so let the decoder go up to what the program accepts.
    reader.setAllocationLimit(int((kMaxBitmapBytes * 4 / 3) >> 20) + 64);
    QImage image = reader.read();
    if (image.isNull() || image.width() != info.width || image.height() != info.height)
        refuse(fileName, QStringLiteral("l'image est endommagée et ne peut pas être décodée."));
    image = image.convertToFormat(QImage::Format_BGR888);
    if (image.isNull())
        refuse(fileName, QStringLiteral("mémoire insuffisante."));
    if (format)
        *format = info.format;
    return image;
}

QByteArray EncodeBmp24(const QImage& image)
{
    const int width = image.width();
    const int height = image.height();
    const qint64 rowBytes = BitmapRowBytes(width);
    const qint64 pixelBytes = rowBytes * height;
    const int headerBytes = 14 + 40;

    QByteArray out(headerBytes + pixelBytes, '\0');
    out[0] = 'B';
    out[1] = 'M';
    putU32(out, 2, quint32(headerBytes + pixelBytes));
    putU32(out, 10, headerBytes);
    putU32(out, 14, 40);
    putU32(out, 18, quint32(width));
    putU32(out, 22, quint32(height));
    putU16(out, 26, 1);
    putU16(out, 28, 24);
    putU32(out, 30, 0);
    putU32(out, 34, quint32(pixelBytes));

    // Bottom-up rows, blue-green-red, each padded with zero bytes.
    char* dst = out.data() + headerBytes;
    for (int y = height - 1; y >= 0; --y) {
        memcpy(dst, image.constScanLine(y), size_t(width) * 3);
        dst += rowBytes;
    }
    return out;
}
