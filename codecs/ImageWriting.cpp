// Writing a picture in each format, whole or not at all.
#include "codecs/AtomicFile.h"
#include "codecs/BmpFile.h"
#include "codecs/ImageFile.h"
#include "codecs/JpegWriter.h"
#include "codecs/PngFile.h"
#include "codecs/TiffFile.h"
#include "codecs/WebpFile.h"
#include "raster/Exception.h"

#include <QColorSpace>
#include <QImageWriter>
#include <algorithm>
#include <new>

QString WriteSizeRefusal(const QString& fileName, ImageFormat format, QSize size)
{
    if (format == ImageFormat::Webp && std::max(size.width(), size.height()) > kMaxWebpSide)
        return QStringLiteral("Impossible d'enregistrer l'image dans « %1 » : WebP ne dépasse pas %2 pixels de côté : "
                              "choisissez .png ou .tif")
            .arg(fileName)
            .arg(kMaxWebpSide);
    return QString();
}

void WriteImageFile(const QImage& image, const QString& fileName, ImageFormat format, int quality,
                    const QColorSpace& profile, AtomicFile::Links links)
{
    const QString what = QStringLiteral("Impossible d'enregistrer l'image dans « %1 »").arg(fileName);
    if (image.isNull())
        throw ERasterError(QStringLiteral("%1 : l'image est vide.").arg(what));
    if (const QString refusal = WriteSizeRefusal(fileName, format, image.size()); !refusal.isEmpty())
        throw ERasterError(refusal);
    AtomicFile file(fileName, what, links);
    if (format == ImageFormat::Bmp || format == ImageFormat::Gif) {
        WriteBmp24(file, image);
    } else if (format == ImageFormat::Png || format == ImageFormat::Webp || format == ImageFormat::Jpeg) {
        // A refused write is said by Commit(), which finds the device's error.
        try {
            bool encoded = true;
            if (format == ImageFormat::Png)
                WritePng(file, image, profile);
            else if (format == ImageFormat::Jpeg)
                // Without a profile of its own, the picture keeps the one it came with.
                encoded = WriteJpeg(file, image, quality, profile.isValid() ? profile : image.colorSpace());
            else
                encoded = WriteWebp(file, image, quality, profile);
            if (!encoded && file.WriteError() == 0)
                throw ERasterError(QStringLiteral("%1 : l'encodage a échoué.").arg(what));
        } catch (const std::bad_alloc&) {
            throw ERasterError(QStringLiteral("%1 : mémoire insuffisante.").arg(what));
        }
    } else {
        // TIFF, through Qt's writer. The profile rides on a second image over the same pixels: setting it
        // on the caller's image would copy a photo's worth of memory.
        QImage tagged = image;
        if (profile.isValid()) {
            tagged = QImage(const_cast<uchar*>(image.constBits()), image.width(), image.height(), image.bytesPerLine(),
                            image.format());
            tagged.setColorSpace(profile);
        }
        QImageWriter writer(&file, "tiff");
        writer.setCompression(1); // TIFF's LZW: lossless and smaller
        QuietTiff();
        // A refusal by the encoder itself, not by the disk, is said so.
        if (!writer.write(tagged) && file.WriteError() == 0)
            throw ERasterError(QStringLiteral("%1 : l'encodage a échoué.").arg(what));
    }
    file.Commit();
}
