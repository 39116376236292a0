#include "codecs/BitmapFiles.h"

void LoadFromFile(TBitmap& bitmap, const QString& fileName, const JpegReduction& reduce)
{
    SetPicture(bitmap, ReadImageFile(fileName, reduce));
}

void SetPicture(TBitmap& bitmap, ReadPicture&& picture)
{
    bitmap.TakeFilePicture(std::move(picture.image), picture.depth, picture.format, picture.lost, picture.profile);
}

void SaveToFile(const TBitmap& bitmap, const QString& fileName)
{
    SaveToFile(bitmap, fileName, ImageFormat::Bmp, kDefaultQuality);
}

void SaveToFile(const TBitmap& bitmap, const QString& fileName, ImageFormat format, int quality, bool replaceLink)
{
    // Written to a temporary file, synced, then renamed: a failed save never
    // leaves a half-written image behind.
    WriteImageFile(bitmap.Image(), fileName, format, quality, bitmap.Profile(),
                   replaceLink ? AtomicFile::Links::ReplaceLink : AtomicFile::Links::Follow);
}
