#pragma once

#include "raster/Exception.h"

#include <QString>
#include <QtGlobal>

// A file that cannot be read: missing, unreadable, truncated, hostile or of a
// kind the program does not read. The message names the file and says why.
class EFileRefused : public ERasterError {
public:
    using ERasterError::ERasterError;
};

// Throws EFileRefused: "Impossible d'ouvrir « fileName » : why".
[[noreturn]] void RefuseFile(const QString& fileName, const QString& why);

// Refuses, that way, a picture whose size the bitmaps do not allow (each side
// at most kMaxBitmapSide, at most 1 GiB of pixels).
void RefuseIfTooLarge(qint64 width, qint64 height, const QString& fileName);
