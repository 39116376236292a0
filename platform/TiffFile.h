#pragma once

#include "platform/ContainerScan.h"
#include "platform/ImageFile.h"

#include <QIODevice>
#include <QString>
#include <optional>

// Decodes the first page of a TIFF file in `device` with libtiff straight into
// the document's 24-bit image, a row or a tile at a time: 8-bit RGB pictures
// (in strips or tiles, any compression libtiff decodes), and 8-bit greyscale
// and palette pictures in strips, as stored (no orientation tag, or the
// top-left one). The result is Qt's plugin's, byte for byte: the same pixels,
// losses, depth and colour profile. `contents` is what ContainerComplete
// found. None for the other kinds (transparency, 16 bits, floating point,
// CMYK, other orientations...), which the plugin decodes. libtiff says
// nothing on the terminal. Throws ERasterError with a French message for a
// damaged, truncated or too large file.
std::optional<ReadPicture> ReadTiff(QIODevice& device, const QString& fileName, const TContainerContents& contents);

// True when ReadTiff decodes the file in `device` itself (it reads the first
// directory only); false for the kinds left to the plugin and for a file
// libtiff cannot read.
bool TiffReadDirectly(QIODevice& device);

// libtiff prints nothing, for this reader nor for Qt's plugin, which uses the
// same library: its process-wide handlers are silenced (once).
void QuietTiff();
