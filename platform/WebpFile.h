#pragma once

#include "platform/ContainerScan.h"
#include "platform/ImageFile.h"

#include <QIODevice>
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
