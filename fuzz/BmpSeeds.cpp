// Writes one small BMP file of every variant the loader reads, and small
// pictures in the other formats, into the folder given as argument: the
// fuzzer's seed corpus.
#include "support/BmpFiles.h"
#include "support/PictureFiles.h"

#include <QGuiApplication>
#include <QImage>

#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage : velmora_bmp_seeds DOSSIER\n");
        return 2;
    }
    // The encoders are Qt Gui's: an application without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString dir = QFile::decodeName(argv[1]);
    if (!QDir().mkpath(dir))
        return 1;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir + QLatin1Char('/') + name);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    for (const bmpfile::Named& seed : bmpfile::Variants())
        if (!write(seed.name + QStringLiteral(".bmp"), seed.bytes))
            return 1;

    QImage picture(13, 7, QImage::Format_ARGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            picture.setPixel(x, y, qRgba(20 * x, 30 * y, 90, x == 3 ? 128 : 255));
    const QImage opaque = picture.convertToFormat(QImage::Format_RGB32);
    const QByteArray jpeg = picturefile::Encode(opaque, "jpeg", 90);
    const std::pair<const char*, QByteArray> pictures[] = {
        {"rgba.png", picturefile::Encode(picture, "png")},
        {"grey.png", picturefile::Encode(opaque.convertToFormat(QImage::Format_Grayscale8), "png")},
        {"palette.png", picturefile::Encode(opaque.convertToFormat(QImage::Format_Indexed8), "png")},
        {"deep.png", picturefile::Encode(opaque.convertToFormat(QImage::Format_RGBX64), "png")},
        {"interlaced-grey16-key.png", picturefile::LibpngEncode(9, 7, 0, 16, true, true)},
        {"interlaced-palette-alpha.png", picturefile::LibpngEncode(9, 7, 3, 4, true, true, 11)},
        {"grey2-key.png", picturefile::LibpngEncode(9, 7, 0, 2, true, false)},
        {"grey-alpha16.png", picturefile::LibpngEncode(9, 7, 4, 16, false, false)},
        {"rgb-key.png", picturefile::LibpngEncode(9, 7, 2, 8, true, true)},
        {"photo.jpg", jpeg},
        {"turned.jpg", picturefile::WithOrientation(jpeg, 6)},
        {"progressive.jpg", picturefile::LibjpegEncode(opaque, picturefile::JpegColours::YCbCr, true)},
        {"cmyk.jpg", picturefile::LibjpegEncode(opaque, picturefile::JpegColours::Ycck)},
        {"frames.gif", picturefile::Gif(2)},
        {"photo.webp", picturefile::Encode(opaque, "webp", 80)},
        {"scan.tif", picturefile::Encode(opaque, "tiff")},
    };
    for (const auto& [name, bytes] : pictures)
        if (!write(QLatin1String(name), bytes))
            return 1;
    return 0;
}
