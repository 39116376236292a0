#include "codecs/BmpHeader.h"

#include "raster/Exception.h"
#include "raster/TBitmap.h"

#include <algorithm>

namespace {

quint16 readU16(const char* d, qint64 at) { return quint16(quint8(d[at])) | quint16(quint8(d[at + 1])) << 8; }

quint32 readU32(const char* d, qint64 at)
{
    return quint32(quint8(d[at])) | quint32(quint8(d[at + 1])) << 8 | quint32(quint8(d[at + 2])) << 16 |
           quint32(quint8(d[at + 3])) << 24;
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

// A colour mask is usable when it is one run of set bits.
bool contiguous(quint32 mask)
{
    if (mask == 0)
        return false;
    const quint32 low = mask >> __builtin_ctz(mask);
    return (low & (low + 1)) == 0;
}

} // namespace

BmpHeaderInfo ValidateBmpHeader(const QByteArray& head, qint64 fileSize, const QString& fileName)
{
    const char* d = head.constData();
    const qint64 have = head.size();
    if (fileSize < 26 || have < 26)
        RefuseFile(fileName, QStringLiteral("le fichier est trop court pour être une image BMP."));
    if (d[0] != 'B' || d[1] != 'M')
        RefuseFile(fileName, QStringLiteral("ce n'est pas une image BMP."));
    // The whole header, its masks and its palette lie in `head` whenever they lie in the file.
    if (have < std::min(fileSize, kBmpHeadBytes))
        RefuseFile(fileName, QStringLiteral("le fichier ne peut pas être lu en entier."));

    const qint64 offBits = readU32(d, 10);
    const qint64 dibSize = readU32(d, 14);

    BmpHeaderInfo info;
    qint64 width = 0;
    qint64 height = 0;
    quint32 planes = 1;
    quint32 compression = 0;
    quint32 coloursUsed = 0;
    if (dibSize == 12) {
        width = readU16(d, 18);
        height = readU16(d, 20);
        planes = readU16(d, 22);
        info.bitCount = readU16(d, 24);
    } else if (dibSize == 40 || dibSize == 64 || dibSize == 108 || dibSize == 124) {
        if (fileSize < 14 + 40)
            RefuseFile(fileName, QStringLiteral("l'en-tête de l'image est tronqué."));
        width = qint32(readU32(d, 18));
        height = qint32(readU32(d, 22));
        planes = readU16(d, 26);
        info.bitCount = readU16(d, 28);
        compression = readU32(d, 30);
        coloursUsed = readU32(d, 46);
    } else if (dibSize == 52 || dibSize == 56) {
        RefuseFile(fileName, QStringLiteral("ce type d'en-tête n'est pas pris en charge."));
    } else {
        RefuseFile(fileName, QStringLiteral("l'en-tête de l'image est inconnu ou endommagé."));
    }
    if (14 + dibSize > fileSize)
        RefuseFile(fileName, QStringLiteral("l'en-tête de l'image est tronqué."));

    // Such a file wraps a whole JPEG or PNG file, whatever depth it states.
    if ((compression == 4 || compression == 5) && dibSize != 12)
        RefuseFile(fileName, QStringLiteral("compression JPEG/PNG dans un BMP : pas prise en charge."));
    // Such a file wraps a whole JPEG or PNG file, whatever depth it states.
    if ((compression == 4 || compression == 5) && dibSize != 12)
        RefuseFile(fileName, QStringLiteral("compression JPEG/PNG dans un BMP : pas prise en charge."));
    switch (info.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default:
        RefuseFile(fileName, QStringLiteral("la profondeur de %1 bits par pixel n'est pas valide.").arg(info.bitCount));
    }
    if (planes != 1)
        RefuseFile(fileName, QStringLiteral("l'image est endommagée et ne peut pas être décodée."));
    // The 64-byte header's compression 3 is not bit fields but a fax code.
    if (compression == 0)
        info.encoding = BmpEncoding::Plain;
    else if (compression == 1 && info.bitCount == 8)
        info.encoding = BmpEncoding::Rle8;
    else if (compression == 2 && info.bitCount == 4)
        info.encoding = BmpEncoding::Rle4;
    else if (compression == 3 && (info.bitCount == 16 || info.bitCount == 32) && dibSize != 64)
        info.encoding = BmpEncoding::BitFields;
    else
        RefuseFile(fileName, QStringLiteral("ce mode de compression n'est pas pris en charge."));
    const bool rle = info.encoding == BmpEncoding::Rle8 || info.encoding == BmpEncoding::Rle4;

    if (height < 0) {
        info.topDown = true;
        height = -height;
    }
    if (width <= 0 || height <= 0)
        RefuseFile(fileName, QStringLiteral("la taille de l'image (%1 x %2) n'est pas valide.").arg(width).arg(height));
    RefuseIfTooLarge(width, height, fileName);

    // With a 40-byte header the three masks follow it; larger headers hold them.
    const qint64 tablesStart = 14 + dibSize;
    const qint64 tablesEnd = tablesStart + (info.encoding == BmpEncoding::BitFields && dibSize == 40 ? 12 : 0);
    if (offBits < tablesEnd || offBits >= fileSize)
        RefuseFile(fileName, QStringLiteral("la position des pixels dans le fichier n'est pas valide."));

    if (info.encoding == BmpEncoding::BitFields) {
        const quint32 limit = info.bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        quint32 seen = 0;
        for (int i = 0; i < 3; ++i) {
            const quint32 mask = readU32(d, 54 + 4 * i);
            if (!contiguous(mask) || (mask & ~limit) != 0 || (mask & seen) != 0)
                RefuseFile(fileName, QStringLiteral("les masques de couleur de l'image ne sont pas valides."));
            seen |= mask;
            info.masks[size_t(i)] = mask;
        }
    } else if (info.bitCount == 16) {
        info.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (info.bitCount == 32) {
        info.masks = {0xFF0000, 0x00FF00, 0x0000FF};
    }

    if (info.bitCount <= 8) {
        if (coloursUsed > 256)
            RefuseFile(fileName, QStringLiteral("la palette de l'image n'est pas valide."));
        // Only the entries that lie before the pixels count: some files declare
        // more colours than they hold.
        const qint64 entryBytes = dibSize == 12 ? 3 : 4;
        const qint64 declared = coloursUsed != 0 ? coloursUsed : qint64(1) << info.bitCount;
        info.paletteSize = int(std::min(declared, (offBits - tablesStart) / entryBytes));
        for (int i = 0; i < info.paletteSize; ++i) {
            const qint64 at = tablesStart + i * entryBytes;
            info.palette[size_t(i)] =
                quint32(quint8(d[at])) | quint32(quint8(d[at + 1])) << 8 | quint32(quint8(d[at + 2])) << 16;
        }
    }

    info.pixelOffset = offBits;
    if (rle) {
        // A run of 255 pixels costs 2 bytes: a stream covers at most 128 pixels
        // a byte. Its escapes may skip more (the skipped pixels are black), so
        // an image up to kRleFreePixels is taken whatever its stream; a larger
        // claim than the stream can cover would only make an image out of
        // nothing.
        constexpr qint64 kRleFreePixels = qint64(4) << 20;
        if (width * height > kRleFreePixels && width * height > (fileSize - offBits) * 128)
            RefuseFile(fileName,
                       QStringLiteral("les données compressées ne peuvent pas remplir une image de %1 x %2 pixels.")
                           .arg(width)
                           .arg(height));
    } else {
        info.rowBytes = ((width * info.bitCount + 31) / 32) * 4;
        if (offBits + info.rowBytes * height > fileSize)
            RefuseFile(fileName, QStringLiteral("le fichier est tronqué."));
    }

    info.width = int(width);
    info.height = int(height);
    info.format = formatForBits(info.bitCount);
    return info;
}
