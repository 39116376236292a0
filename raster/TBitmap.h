#pragma once

#include "raster/Precision.h"
#include "raster/TColor.h"

#include <QColorSpace>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TCanvas;

// Told of every row of a bitmap before it is written, so that its earlier
// content can be kept (the undo history watches a document's image this way
// during a gesture). Reading a row never tells it anything.
class TRowWatcher {
public:
    virtual void RowTouched(int row) = 0;

protected:
    ~TRowWatcher() = default;
};

// Bit depth of an image as it was loaded. Pixels are always held in 24 bits
// (blue, green, red), whatever the file had.
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// The file formats an image is read from and written to (codecs/ImageFile.h):
// the document is always a 24-bit image, whatever the file held.
enum class ImageFormat { Bmp, Png, Jpeg, Gif, Webp, Tiff };

// What a file held that the 24-bit image cannot keep; writing the image over
// that file would lose it.
struct TFileLosses {
    bool transparency = false;
    bool deepColour = false; // more than 8 bits a channel
    bool moreImages = false; // further frames or pages
    bool Any() const { return transparency || deepColour || moreImages; }
};

// The largest bitmap the program accepts: each side at most 32767 pixels and at
// most 1 GiB of pixel rows.
constexpr int kMaxBitmapSide = 32767;
constexpr qint64 kMaxBitmapBytes = qint64(1) << 30;

// Bytes of one padded 24-bit row (rows are aligned on 4 bytes).
constexpr qint64 BitmapRowBytes(qint64 width) { return (width * 3 + 3) & ~qint64(3); }

// True when a width x height 24-bit bitmap fits the limits above.
bool BitmapSizeAllowed(qint64 width, qint64 height);

// A width x height image in the bitmaps' format (rows padded to 4 bytes), its
// pixels not yet written; null when the memory cannot be had. A large one
// lies on huge pages where the system offers them: a fresh photo written page
// by page would cost a page fault every 4 KiB, more than writing it.
QImage NewBitmapImage(int width, int height);

// A 24-bit image held in a QImage (Format_BGR888, row 0 at the top).
class TBitmap {
public:
    TBitmap();
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Resizing keeps the pixels that still fit; new pixels are white. Throws
    // ERasterError for a size over the limits, leaving the bitmap as it was.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);

    TPixelFormat PixelFormat() const { return pixelFormat_; }
    // Storage stays 24 bits whatever is asked; only the reported format changes.
    void SetPixelFormat(TPixelFormat format) { pixelFormat_ = format; }

    // Row r (0 = top): 3 x Width bytes, blue, green, red per pixel. Valid until
    // the bitmap is resized, reloaded or destroyed. Reaching a row here tells
    // the watcher nothing, whether it is then read or written: code that
    // changes rows while a watcher may be set says so, with RowForWriting or
    // WillWriteRows.
    std::uint8_t* ScanLine(int row) { return data_ + qsizetype(row) * bytesPerLine_; }
    const std::uint8_t* ScanLine(int row) const { return data_ + qsizetype(row) * bytesPerLine_; }
    // Row r, about to be written: the watcher is told first.
    std::uint8_t* RowForWriting(int row)
    {
        if (watcher_)
            watcher_->RowTouched(row);
        return ScanLine(row);
    }
    qsizetype BytesPerLine() const { return bytesPerLine_; }

    // Every row announced for writing is told to the watcher first (none: null).
    void SetRowWatcher(TRowWatcher* watcher) { watcher_ = watcher; }
    TRowWatcher* RowWatcher() const { return watcher_; }
    // Rows first to last (clipped to the image) are about to change: the
    // watcher is told of each.
    void WillWriteRows(int first, int last);

    // The drawing surface of this bitmap, made on first use.
    TCanvas* Canvas();

    // Takes a picture read from a file as the bitmap's storage, without a
    // copy (QImage::Format_BGR888, not shared), with what the file told of it.
    void TakeFilePicture(QImage&& image, TPixelFormat depth, ImageFormat format, const TFileLosses& lost,
                         const QColorSpace& profile);
    // The format of the file last loaded (BMP for an image made otherwise).
    ImageFormat FileFormat() const { return fileFormat_; }
    // What that file held that the image does not keep (nothing once it is
    // written over), and its colour profile when not sRGB (written back).
    const TFileLosses& FileLosses() const { return fileLosses_; }
    const QColorSpace& Profile() const { return profile_; }
    // The image now stands for a file it was written to in `format`: that
    // file holds nothing more than the image.
    void WrittenAs(ImageFormat format);

    // Takes `image` (24 bits, Format_BGR888, rows padded to 4 bytes) as the
    // pixels, whatever its size, and gives the previous ones back in it. The
    // file's format, losses and profile stay.
    void Exchange(QImage& image);
    // Copies size, format and pixels of another bitmap.
    void Assign(const TBitmap& other);
    // Takes an image (converted to 24 bits) as the new content.
    void SetImage(const QImage& image, TPixelFormat format);
    // The pixels as an image, for painting on screen.
    const QImage& Image() const { return image_; }

private:
    void Adopt(QImage image, int width, int height);

    QImage image_;
    int width_ = 0;
    int height_ = 0;
    std::uint8_t* data_ = nullptr;
    qsizetype bytesPerLine_ = 0;
    TPixelFormat pixelFormat_ = pfDevice;
    ImageFormat fileFormat_ = ImageFormat::Bmp;
    TFileLosses fileLosses_;
    QColorSpace profile_;
    std::unique_ptr<TCanvas> canvas_;
    TRowWatcher* watcher_ = nullptr;
};
