// What a file's name says of its format.
#include "codecs/ImageFile.h"

#include <utility>

bool IsImageFileName(const QString& fileName)
{
    static const char* const kEndings[] = {".bmp", ".png", ".jpg", ".jpeg", ".gif", ".webp", ".tif", ".tiff"};
    for (const char* ending : kEndings)
        if (fileName.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    return false;
}

bool WrittenFormatForName(const QString& fileName, ImageFormat* format)
{
    static const std::pair<const char*, ImageFormat> kEndings[] = {
        {".bmp", ImageFormat::Bmp},   {".png", ImageFormat::Png},   {".jpg", ImageFormat::Jpeg},
        {".jpeg", ImageFormat::Jpeg}, {".webp", ImageFormat::Webp}, {".tif", ImageFormat::Tiff},
        {".tiff", ImageFormat::Tiff},
    };
    for (const auto& [ending, named] : kEndings)
        if (fileName.endsWith(QLatin1String(ending), Qt::CaseInsensitive)) {
            *format = named;
            return true;
        }
    return false;
}

ImageFormat FormatForName(const QString& fileName)
{
    ImageFormat format = ImageFormat::Bmp;
    WrittenFormatForName(fileName, &format);
    return format;
}
