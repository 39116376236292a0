#pragma once

#include "codecs/ContainerScan.h"
#include "codecs/ImageFile.h"

#include <QColorSpace>
#include <QIODevice>
#include <QImage>
#include <QString>
#include <optional>

// Decodes a still WebP file in `device` with libwebp, without Qt's plugin: a
// picture without transparency is decoded straight into the document's 24-bit
// image; one with transparency into a 32-bit block that the 24-bit image then
// reuses row by row, each pixel laid over white. The result is the plugin's,
// byte for byte: the same pixels, losses, depth and colour profile.
// `contents` is what ContainerComplete found. None for an animation, whose
// first frame the plugin composes on its canvas. Throws ERasterError with a
// French message for a damaged, truncated or too large file.
std::optional<ReadPicture> ReadWebp(QIODevice& device, const QString& fileName, const TContainerContents& contents);

// The longest side of a WebP picture.
constexpr int kMaxWebpSide = 16383;

// Writes a 24-bit image (QImage::Format_BGR888, at most kMaxWebpSide a side)
// to `device` as a still WebP file, as Qt's plugin laid it out: lossy at
// `quality` below 100, lossless at 100 (the plugin's bytes), with the colour
// profile in an ICCP chunk when `profile` is valid. A lossy picture is
// converted straight to the encoder's YUV planes (half the image's size) and
// coded in libwebp's low-memory mode; a lossless one is converted to 32-bit
// pixels, on which libwebp's own tables come besides. No other copy of the
// picture is made, and the file goes to the device as the encoder gives it.
// False when the encoder or the device fails (the device says whether it
// did); throws std::bad_alloc when the encoder lacks memory.
bool WriteWebp(QIODevice& device, const QImage& image, int quality, const QColorSpace& profile = QColorSpace());
