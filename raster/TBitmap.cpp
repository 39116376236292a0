#include "raster/TBitmap.h"

#include "raster/Exception.h"
#include "raster/HugePages.h"
#include "raster/TCanvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

bool BitmapSizeAllowed(qint64 width, qint64 height)
{
    if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide)
        return false;
    return BitmapRowBytes(width) * height <= kMaxBitmapBytes;
}

QImage NewBitmapImage(int width, int height)
{
    const qsizetype stride = BitmapRowBytes(width);
    if (width <= 0 || height <= 0)
        return QImage(width, height, QImage::Format_BGR888);
    void* memory = AllocateLarge(size_t(stride) * size_t(height));
    if (!memory)
        return QImage();
    // The image owns the block: the last copy of it frees it.
    return QImage(static_cast<uchar*>(memory), width, height, stride, QImage::Format_BGR888, std::free, memory);
}

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::SetWidth(int width) { SetSize(width, height_); }
void TBitmap::SetHeight(int height) { SetSize(width_, height); }

void TBitmap::SetSize(int width, int height)
{
    if (width == width_ && height == height_)
        return;
    if (!BitmapSizeAllowed(width, height))
        throw ERasterError(
            QStringLiteral("Taille d'image refusée : %1 x %2 pixels (au plus %3 pixels de côté et 1 Gio d'image).")
                .arg(width)
                .arg(height)
                .arg(kMaxBitmapSide));
    if (width == 0 || height == 0) {
        Adopt(QImage(), width, height);
        return;
    }
    QImage resized = NewBitmapImage(width, height);
    if (resized.isNull())
        throw ERasterError(
            QStringLiteral("Mémoire insuffisante pour une image de %1 x %2 pixels.").arg(width).arg(height));
    resized.fill(Qt::white);
    // Pixels that still fit are kept.
    const int keepW = std::min(width, width_);
    const int keepH = std::min(height, height_);
    for (int y = 0; keepW > 0 && y < keepH; ++y)
        std::memcpy(resized.scanLine(y), ScanLine(y), size_t(keepW) * 3);
    Adopt(std::move(resized), width, height);
}

void TBitmap::Adopt(QImage image, int width, int height)
{
    image_ = std::move(image);
    width_ = width;
    height_ = height;
    // The image is never shared, so this pointer stays valid until the next Adopt.
    data_ = image_.isNull() ? nullptr : image_.bits();
    bytesPerLine_ = image_.isNull() ? 0 : image_.bytesPerLine();
}

void TBitmap::WillWriteRows(int first, int last)
{
    if (!watcher_)
        return;
    for (int row = std::max(first, 0); row <= std::min(last, height_ - 1); ++row)
        watcher_->RowTouched(row);
}

TCanvas* TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>(*this);
    return canvas_.get();
}

void TBitmap::TakeFilePicture(QImage&& image, TPixelFormat depth, ImageFormat format, const TFileLosses& lost,
                              const QColorSpace& profile)
{
    // The decoded image becomes the bitmap's storage as it is, without a copy.
    const int w = image.width();
    const int h = image.height();
    Adopt(std::move(image), w, h);
    pixelFormat_ = depth;
    fileFormat_ = format;
    fileLosses_ = lost;
    profile_ = profile;
}

void TBitmap::WrittenAs(ImageFormat format)
{
    fileFormat_ = format;
    fileLosses_ = {};
}

void TBitmap::SetImage(const QImage& image, TPixelFormat format)
{
    if (!BitmapSizeAllowed(image.width(), image.height()))
        throw ERasterError(
            QStringLiteral("Taille d'image refusée : %1 x %2 pixels.").arg(image.width()).arg(image.height()));
    QImage converted = image.convertToFormat(QImage::Format_BGR888);
    if (!image.isNull() && converted.isNull())
        throw ERasterError(QStringLiteral("Mémoire insuffisante pour une image de %1 x %2 pixels.")
                               .arg(image.width())
                               .arg(image.height()));
    converted.detach();
    const int w = converted.width();
    const int h = converted.height();
    Adopt(std::move(converted), w, h);
    pixelFormat_ = format;
}

void TBitmap::Exchange(QImage& image)
{
    QImage previous = image_;
    const int w = image.width();
    const int h = image.height();
    Adopt(std::move(image), w, h);
    image = std::move(previous);
}

void TBitmap::Assign(const TBitmap& other)
{
    if (&other == this)
        return;
    QImage copy = other.image_.isNull() ? QImage() : NewBitmapImage(other.width_, other.height_);
    if (!other.image_.isNull() && copy.isNull())
        throw ERasterError(QStringLiteral("Mémoire insuffisante pour copier l'image."));
    if (!copy.isNull())
        std::memcpy(copy.bits(), other.image_.constBits(), size_t(copy.sizeInBytes()));
    Adopt(std::move(copy), other.width_, other.height_);
    pixelFormat_ = other.pixelFormat_;
    fileFormat_ = other.fileFormat_;
    fileLosses_ = other.fileLosses_;
    profile_ = other.profile_;
}
