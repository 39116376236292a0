#include "codecs/FileRefusal.h"

#include "raster/TBitmap.h"

void RefuseFile(const QString& fileName, const QString& why)
{
    throw EFileRefused(QStringLiteral("Impossible d'ouvrir « %1 » : %2").arg(fileName, why));
}

void RefuseIfTooLarge(qint64 width, qint64 height, const QString& fileName)
{
    if (!BitmapSizeAllowed(width, height))
        RefuseFile(
            fileName,
            QStringLiteral("l'image est trop grande (%1 x %2 pixels ; au plus %3 pixels de côté et 1 Gio d'image).")
                .arg(width)
                .arg(height)
                .arg(kMaxBitmapSide));
}
