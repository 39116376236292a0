// The rows of the command table that make a new image: crop, autocrop,
// resize, canvas size and rotation.
#include "commands/Reshapes.h"

#include "effects/Geometry.h"
#include "effects/Resample.h"
#include "raster/TBitmap.h"

#include <QRect>
#include <algorithm>
#include <new>

namespace commands::reshapes {
namespace {

// A size change's result: refused with its reason when over the bitmaps'
// limits, std::bad_alloc when the kernel could not get its memory.
void checkResultSize(qint64 width, qint64 height)
{
    if (!effects::ResultSizeAllowed(width, height))
        throw ValueError(QStringLiteral("le résultat ferait %1 x %2 pixels : au plus %3 pixels de côté et 1 Gio "
                                        "d'image.")
                             .arg(width)
                             .arg(height)
                             .arg(kMaxBitmapSide));
}

QImage made(QImage result)
{
    if (result.isNull())
        throw std::bad_alloc();
    return result;
}

QRect whole(const TBitmap& image) { return QRect(0, 0, image.Width(), image.Height()); }

} // namespace

// The rectangle between (X0, Y0) and (X1, Y1), as the selection tool makes
// it: without column X1 and row Y1 when they are the larger ones. It must
// lie in the image.
QImage crop(const TBitmap& image, const TSelection&, const Values& v, TColor)
{
    const QRect rect(QPoint(std::min(v[0], v[2]), std::min(v[1], v[3])),
                     QPoint(std::max(v[0], v[2]) - 1, std::max(v[1], v[3]) - 1));
    if (rect.isEmpty() || !whole(image).contains(rect))
        throw ValueError(QStringLiteral("le rectangle de (%1, %2) à (%3, %4) n'est pas dans l'image (%5 x %6 pixels).")
                             .arg(v[0])
                             .arg(v[1])
                             .arg(v[2])
                             .arg(v[3])
                             .arg(image.Width())
                             .arg(image.Height()));
    if (rect == whole(image))
        return QImage();
    return made(effects::Crop(image, rect));
}

QImage autocrop(const TBitmap& image, const TSelection&, const Values&, TColor)
{
    const QRect kept = effects::AutocropBounds(image);
    if (kept.isEmpty() || kept == whole(image))
        return QImage();
    return made(effects::Crop(image, kept));
}

QImage resize(const TBitmap& image, const TSelection&, const Values& v, TColor)
{
    const QSize size = SizeFromValues(QSize(image.Width(), image.Height()), v[0], v[1]);
    checkResultSize(size.width(), size.height());
    if (size == whole(image).size())
        return QImage();
    return made(effects::Resize(image, size.width(), size.height(), effects::ResampleFilter(v[2])));
}

QImage canvasSize(const TBitmap& image, const TSelection&, const Values& v, TColor)
{
    checkResultSize(v[0], v[1]);
    if (QSize(v[0], v[1]) == whole(image).size())
        return QImage();
    return made(effects::CanvasSize(image, v[0], v[1], v[2], FromRrggbb(v[3])));
}

// The angle in hundredths of a degree, clockwise.
QImage rotate(const TBitmap& image, const TSelection&, const Values& v, TColor background)
{
    if (v[0] % 36000 == 0)
        return QImage();
    const double degrees = v[0] / 100.0;
    const QSize size = effects::RotatedSize(image.Width(), image.Height(), degrees);
    checkResultSize(size.width(), size.height());
    return made(effects::Rotate(image, degrees, background));
}

} // namespace commands::reshapes
