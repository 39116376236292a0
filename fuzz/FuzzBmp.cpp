// libFuzzer target: the loader's in-memory path. An input that is not a BMP
// goes through the dispatch (format detection by content, the structure walk,
// the size check, libjpeg for a JPEG, libpng for a PNG or the decoder of Qt's
// plugins for the others, and the conversion to 24 bits), which must end with
// a 24-bit image within the limits or a French error. A BMP or a PNG is
// decoded twice with fresh allocations filled with two different patterns; the
// outcomes (French error or pixels) must be identical, so no pixel ever
// depends on what memory held. A decoded BMP is also written as a 24-bit BMP
// and read back, a decoded PNG written as a PNG and read back, which must give
// the same pixels.
#include "codecs/BmpFile.h"
#include "codecs/ImageFile.h"
#include "codecs/PngFile.h"
#include "raster/Exception.h"

#include <QImageReader>

#include <QBuffer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sanitizer/allocator_interface.h>

namespace {

volatile unsigned char fillByte = 0;

void onAllocation(const volatile void* pointer, size_t size)
{
    if (fillByte != 0)
        std::memset(const_cast<void*>(pointer), fillByte, size);
}

void onRelease(const volatile void*) { }

// The error, or the size and the 3 x width bytes of every row, of what
// `decode` gives with allocated memory filled with `fill`.
QByteArray decoded(const std::function<QImage()>& decode, unsigned char fill, QImage* image)
{
    fillByte = fill;
    QByteArray result;
    try {
        *image = decode();
        fillByte = 0;
        result = QByteArray::number(image->width()) + 'x' + QByteArray::number(image->height()) + ':';
        for (int y = 0; y < image->height(); ++y)
            result.append(reinterpret_cast<const char*>(image->constScanLine(y)), 3 * image->width());
    } catch (const ERasterError& error) {
        fillByte = 0;
        *image = QImage();
        result = error.Message().toUtf8();
    }
    return result;
}

// A BMP through its decoder.
QByteArray outcome(const char* data, qint64 size, unsigned char fill, QImage* image)
{
    return decoded([&] { return DecodeBmp(data, size, QStringLiteral("fuzz.bmp"), nullptr); }, fill, image);
}

// The same through the dispatch, for a PNG.
QByteArray pictureOutcome(const QByteArray& file, unsigned char fill, QImage* image)
{
    return decoded([&] { return DecodeImage(file, QStringLiteral("fuzz.png")).image; }, fill, image);
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "velmora_fuzz_bmp: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease);
    return 0;
}

// Any other format: a 24-bit image within the limits, or a French error.
void fuzzPicture(const char* bytes, size_t size)
{
    const QByteArray file = QByteArray::fromRawData(bytes, qsizetype(size));
    {
        // Claims over 1 megapixel run the same code, slowly.
        QBuffer probe;
        probe.setData(file);
        probe.open(QIODevice::ReadOnly);
        const bool png = size >= 8 && std::memcmp(bytes, "\x89PNG", 4) == 0;
        // A PNG's size is read from its header, bytes 16 to 23, without Qt's
        // decoder, which prints libpng's messages.
        const auto big31 = [bytes](size_t at) {
            return int((std::uint32_t(std::uint8_t(bytes[at])) << 24 | std::uint8_t(bytes[at + 1]) << 16 |
                        std::uint8_t(bytes[at + 2]) << 8 | std::uint8_t(bytes[at + 3])) &
                       0x7FFFFFFF);
        };
        QSize claimed = png ? (size >= 24 ? QSize(big31(16), big31(20)) : QSize()) : QImageReader(&probe).size();
        // A GIF is decoded at its screen's size, bytes 6 to 9.
        if (size >= 10 && std::memcmp(bytes, "GIF", 3) == 0)
            claimed = claimed.expandedTo(QSize(std::uint8_t(bytes[6]) | std::uint8_t(bytes[7]) << 8,
                                               std::uint8_t(bytes[8]) | std::uint8_t(bytes[9]) << 8));
        if (qint64(claimed.width()) * claimed.height() > (qint64(1) << 20))
            return;
    }
    if (size >= 8 && std::memcmp(bytes, "\x89PNG", 4) == 0) {
        QImage first;
        QImage second;
        const QByteArray a = pictureOutcome(file, 0x55, &first);
        if (a != pictureOutcome(file, 0xAA, &second))
            fail("the same PNG decoded twice gives different results");
        if (first.isNull())
            return;
        QByteArray written;
        QBuffer buffer(&written);
        buffer.open(QIODevice::WriteOnly);
        if (!WritePng(buffer, first))
            fail("writing the decoded image as a PNG failed");
        QImage reread;
        if (pictureOutcome(written, 0x33, &reread) != a)
            fail("the written PNG does not read back as the same pixels");
    }
    try {
        const ReadPicture picture = DecodeImage(file, QStringLiteral("fuzz.png"));
        if (picture.image.format() != QImage::Format_BGR888 ||
            !BitmapSizeAllowed(picture.image.width(), picture.image.height()) || picture.image.isNull())
            fail("a picture decoded to something other than a 24-bit image within the limits");
    } catch (const ERasterError& error) {
        if (error.Message().isEmpty())
            fail("a refusal without a message");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    if (size >= 2 && !(bytes[0] == 'B' && bytes[1] == 'M')) {
        fuzzPicture(bytes, size);
        return 0;
    }
    // A compressed file may claim up to 4 megapixels whatever its stream. Such
    // images run through the same code as small ones, but filling, decoding
    // and comparing them takes milliseconds: the fuzzer keeps to 1 megapixel.
    try {
        const BmpHeaderInfo info =
            ValidateBmpHeader(QByteArray::fromRawData(bytes, int(std::min<qint64>(qint64(size), kBmpHeadBytes))),
                              qint64(size), QStringLiteral("fuzz.bmp"));
        if (qint64(info.width) * info.height > (qint64(1) << 20))
            return 0;
    } catch (const ERasterError&) {
        // Refused from its header: the decodes below must say so too.
    }
    QImage first;
    QImage second;
    const QByteArray a = outcome(bytes, qint64(size), 0x55, &first);
    const QByteArray b = outcome(bytes, qint64(size), 0xAA, &second);
    if (a != b)
        fail("the same file decoded twice gives different results");
    if (first.isNull())
        return 0;

    QByteArray written;
    QBuffer buffer(&written);
    buffer.open(QIODevice::WriteOnly);
    if (!WriteBmp24(buffer, first))
        fail("writing the decoded image failed");
    QImage reread;
    const QByteArray c = outcome(written.constData(), written.size(), 0x33, &reread);
    if (c != a)
        fail("the written image does not read back as the same pixels");
    return 0;
}
