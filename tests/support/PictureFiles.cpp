#include "support/PictureFiles.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>
#include <vector>

namespace picturefile {

namespace {

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray big(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char(value >> (8 * i)));
    return out;
}

QByteArray little(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char(value >> (8 * i)));
    return out;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    const QByteArray body = QByteArray(type) + data;
    return big(quint32(data.size()), 4) + body + big(crc32(body), 4);
}

} // namespace

QByteArray Encode(const QImage& image, const char* format, int quality, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QByteArray WithPngChunk(const QByteArray& png, const char* type, const QByteArray& data)
{
    // The signature (8 bytes) and the header chunk (25) come first.
    return png.left(33) + pngChunk(type, data) + png.mid(33);
}

QByteArray PngWithText(int chunks, int inflatedBytes)
{
    const QByteArray png = LibpngEncode(64, 64, 2, 8, false, false);
    // qCompress gives the length on 4 bytes, then a zlib stream.
    const QByteArray text = qCompress(QByteArray(inflatedBytes, 'a'), 9).mid(4);
    const QByteArray before = pngChunk("zTXt", QByteArray("Comment\0\0", 9) + text);
    const QByteArray after = pngChunk("iTXt", QByteArray("Comment\0\1\0\0\0", 12) + text);
    // The header chunk ends at byte 33, the end chunk is the last 12 bytes.
    return png.left(33) + before.repeated(chunks / 2) + png.mid(33, png.size() - 45) +
           after.repeated(chunks - chunks / 2) + png.right(12);
}

quint32 PngSample(int x, int y, int channel, int bitDepth)
{
    if (x == 1 && y == 0)
        x = 0;
    quint32 h = quint32(x) * 73856093u ^ quint32(y) * 19349663u ^ quint32(channel + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h & ((1u << bitDepth) - 1);
}

QByteArray LibpngEncode(int width, int height, int colourType, int bitDepth, bool transparent, bool interlaced,
                        int paletteSize)
{
    QByteArray out;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, [](png_structp, png_const_charp) {});
    png_infop info = png_create_info_struct(png);
    png_set_benign_errors(png, 1);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), qsizetype(length));
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    png_color palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = {png_byte(37 * i), png_byte(101 * i), png_byte(13 * i)};
    png_byte alphas[5] = {0, 128, 255, 1, 254};
    png_color_16 key{};
    key.gray = png_uint_16(PngSample(0, 0, 0, bitDepth));
    key.red = key.gray;
    key.green = png_uint_16(PngSample(0, 0, 1, bitDepth));
    key.blue = png_uint_16(PngSample(0, 0, 2, bitDepth));
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette, paletteSize);
    if (transparent && colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_tRNS(png, info, alphas, std::min(5, paletteSize), nullptr);
    else if (transparent)
        png_set_tRNS(png, info, nullptr, 0, &key);
    png_write_info(png, info);
    if (bitDepth == 16)
        png_set_swap(png); // the rows below are little-endian
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    std::vector<png_byte> row(size_t(width * channels * 2 + 1));
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) {
            std::fill(row.begin(), row.end(), png_byte(0));
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c) {
                    const quint32 v = PngSample(x, y, c, bitDepth);
                    const int i = x * channels + c;
                    if (bitDepth == 16) {
                        row[size_t(2 * i)] = png_byte(v);
                        row[size_t(2 * i + 1)] = png_byte(v >> 8);
                    } else {
                        row[size_t(i * bitDepth / 8)] |= png_byte(v << (8 - bitDepth - i * bitDepth % 8));
                    }
                }
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

QByteArray WithOrientation(const QByteArray& jpeg, int orientation)
{
    // Exif: a little-endian TIFF header and one directory of one entry.
    const QByteArray tiff = QByteArray("II*\0", 4) + little(8, 4) + little(1, 2) + little(0x0112, 2) + little(3, 2) +
                            little(1, 4) + little(quint32(orientation), 4) + little(0, 4);
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    const QByteArray segment = QByteArray("\xFF\xE1", 2) + big(quint32(exif.size() + 2), 2) + exif;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray LibjpegEncode(const QImage& image, JpegColours colours, bool progressive)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int channels = colours == JpegColours::YCbCr ? 3 : 4;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = channels;
    cinfo.in_color_space = channels == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (colours == JpegColours::Ycck)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_scan_info script[5] = {{channels, {0, 1, 2, 3}, 0, 0, 0, 0}};
    for (int c = 0; c < channels; ++c)
        script[1 + c] = {1, {c}, 1, 63, 0, 0};
    if (progressive) {
        cinfo.scan_info = script;
        cinfo.num_scans = 1 + channels;
    }
    jpeg_start_compress(&cinfo, TRUE);
    QByteArray row(rgb.width() * channels, '\0');
    while (cinfo.next_scanline < cinfo.image_height) {
        const uchar* in = rgb.constScanLine(int(cinfo.next_scanline));
        for (int x = 0; x < rgb.width(); ++x) {
            for (int c = 0; c < 3; ++c)
                row[x * channels + c] = char(in[3 * x + c]);
            if (channels == 4)
                row[x * 4 + 3] = char(255 - x * 5 % 128);
        }
        JSAMPROW pointer = reinterpret_cast<JSAMPROW>(row.data());
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray WithLastScanRepeated(const QByteArray& jpeg, int times)
{
    const qsizetype last = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype end = jpeg.lastIndexOf(QByteArray("\xFF\xD9", 2));
    return jpeg.left(end) + jpeg.mid(last, end - last).repeated(times) + jpeg.mid(end);
}

QByteArray WithScansCut(const QByteArray& jpeg, double fraction)
{
    const qsizetype scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype data = scan + 2 + (quint8(jpeg[scan + 2]) << 8 | quint8(jpeg[scan + 3]));
    const qsizetype end = jpeg.lastIndexOf(QByteArray("\xFF\xD9", 2));
    return jpeg.left(data + qsizetype(double(end - data) * fraction)) + QByteArray("\xFF\xD9", 2);
}

QByteArray PngClaiming(quint32 width, quint32 height)
{
    const QByteArray header = big(width, 4) + big(height, 4) + QByteArray("\x08\x02\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + pngChunk("IEND", {});
}

QByteArray JpegClaiming(quint16 width, quint16 height)
{
    // A real small JPEG whose frame header is given the claimed size.
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray jpeg = Encode(image, "jpeg", 90);
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    jpeg.replace(frame + 5, 2, big(height, 2));
    jpeg.replace(frame + 7, 2, big(width, 2));
    return jpeg;
}

QByteArray GifClaiming(quint16 width, quint16 height)
{
    QByteArray gif = Gif(1);
    gif.replace(6, 2, little(width, 2));
    gif.replace(8, 2, little(height, 2));
    const qsizetype image = gif.indexOf(',');
    gif.replace(image + 5, 2, little(width, 2));
    gif.replace(image + 7, 2, little(height, 2));
    return gif;
}

QByteArray WebpClaiming(quint16 width, quint16 height)
{
    // A real small WebP whose key frame header is given the claimed size.
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray webp = Encode(image, "webp", 90);
    const qsizetype start = webp.indexOf(QByteArray("\x9d\x01\x2a", 3));
    webp.replace(start + 3, 2, little(width & 0x3FFF, 2));
    webp.replace(start + 5, 2, little(height & 0x3FFF, 2));
    return webp;
}

QByteArray Gif(int frames)
{
    // A red and white palette; each picture is one pixel of index 0 (red).
    QByteArray gif = QByteArray("GIF89a", 6) + little(1, 2) + little(1, 2) + QByteArray("\x80\x00\x00", 3) +
                     QByteArray::fromHex("ff0000ffffff");
    for (int i = 0; i < frames; ++i)
        gif += QByteArray::fromHex("2c0000000001000100000202440100");
    return gif + ';';
}

} // namespace picturefile
