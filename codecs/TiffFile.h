#pragma once

#include "codecs/ContainerScan.h"
#include "codecs/ImageFile.h"

#include <QIODevice>
#include <QString>
#include <optional>

// Decodes the first page of a TIFF file in `device` with libtiff straight into
// the document's 24-bit image, a row or a tile at a time: 8-bit RGB pictures
// and CMYK ones of 8 or 16 bits (in strips or tiles, any compression libtiff
// decodes), and 8-bit greyscale and palette pictures in strips, as stored (no
// orientation tag, or the top-left one). The result is Qt's plugin's, byte for
// byte: the same pixels, losses, depth and colour profile; the plugin read
// CMYK through libtiff's RGBA interface, which made each colour (255 - k)
// (255 - ink) / 255, rounded down, and which knew no 16-bit CMYK: its samples
// are first rounded to the nearest 8-bit level (a loss, as for every 16-bit
// picture). `contents` is what ContainerComplete found. None for the other
// kinds (transparency, 16-bit RGB or grey, floating point, other
// orientations...), which the plugin decodes. libtiff says nothing on the
// terminal. Throws ERasterError with a French message for a damaged,
// truncated or too large file.
std::optional<ReadPicture> ReadTiff(QIODevice& device, const QString& fileName, const TContainerContents& contents);

// True when ReadTiff decodes the file in `device` itself (it reads the first
// directory only); false for the kinds left to the plugin and for a file
// libtiff cannot read.
bool TiffReadDirectly(QIODevice& device);

// True when libtiff reads the first directory of the TIFF in `device` but
// neither ReadTiff nor libtiff's RGBA reading can turn its pixels into
// colours (16-bit CMYK turned by an orientation tag, 12-bit samples...) or
// decode its compression: a valid file of a kind the program does not read.
bool TiffKindUnsupported(QIODevice& device);

// libtiff prints nothing, for this reader nor for Qt's plugin, which uses the
// same library: its process-wide handlers are silenced (once).
void QuietTiff();
