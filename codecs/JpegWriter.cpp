#include "codecs/JpegWriter.h"

#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Bytes handed to the device in one write.
constexpr qint64 kDestinationBlock = qint64(64) << 10;

// Everything libjpeg's calls read and write, in one block that outlives them.
// The one function that calls setjmp holds nothing with a destructor while
// libjpeg may jump back to it.
struct Encoder {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_destination_mgr destination{};
    std::jmp_buf jump{};
    QIODevice* device = nullptr;
    const QImage* image = nullptr;
    const QByteArray* icc = nullptr;
    int quality = 92;
    JOCTET block[kDestinationBlock];

    ~Encoder() { jpeg_destroy_compress(&cinfo); }
};

Encoder& encoderOf(j_compress_ptr cinfo) { return *static_cast<Encoder*>(cinfo->client_data); }

[[noreturn]] void errorExit(j_common_ptr cinfo) { std::longjmp(static_cast<Encoder*>(cinfo->client_data)->jump, 1); }

void outputMessage(j_common_ptr) { }

void initDestination(j_compress_ptr cinfo)
{
    Encoder& encoder = encoderOf(cinfo);
    encoder.destination.next_output_byte = encoder.block;
    encoder.destination.free_in_buffer = size_t(kDestinationBlock);
}

boolean emptyOutput(j_compress_ptr cinfo)
{
    Encoder& encoder = encoderOf(cinfo);
    if (encoder.device->write(reinterpret_cast<const char*>(encoder.block), kDestinationBlock) != kDestinationBlock)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    initDestination(cinfo);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    Encoder& encoder = encoderOf(cinfo);
    const qint64 left = kDestinationBlock - qint64(encoder.destination.free_in_buffer);
    if (left > 0 && encoder.device->write(reinterpret_cast<const char*>(encoder.block), left) != left)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// The resolution as JFIF holds it: dots per inch when the image's is nearer a
// whole number of them than of dots per centimetre, else dots per centimetre.
void setDensity(jpeg_compress_struct& cinfo, const QImage& image)
{
    const int x = image.dotsPerMeterX(), y = image.dotsPerMeterY();
    const double inchX = x * 2.54 / 100.0, inchY = y * 2.54 / 100.0;
    const double offInch = std::abs(inchX - std::round(inchX)) + std::abs(inchY - std::round(inchY));
    const double offCm = std::abs(x / 100.0 - std::round(x / 100.0)) + std::abs(y / 100.0 - std::round(y / 100.0));
    if (offInch < offCm) {
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(std::lround(inchX));
        cinfo.Y_density = UINT16(std::lround(inchY));
    } else {
        cinfo.density_unit = 2;
        cinfo.X_density = UINT16((x + 50) / 100);
        cinfo.Y_density = UINT16((y + 50) / 100);
    }
}

// The profile in APP2 markers "ICC_PROFILE", each numbered and counting all.
void writeProfile(jpeg_compress_struct& cinfo, const QByteArray& icc)
{
    static const QByteArray signature("ICC_PROFILE", 12);
    constexpr qsizetype kMarkerBytes = 65533;
    constexpr qsizetype kChunk = kMarkerBytes - 12 - 2;
    const qsizetype markers = (icc.size() + kChunk - 1) / kChunk;
    for (qsizetype marker = 1, at = 0; marker <= markers; ++marker, at += kChunk) {
        const QByteArray block =
            signature + char(marker) + char(markers) + icc.mid(at, std::min(kChunk, icc.size() - at));
        jpeg_write_marker(&cinfo, JPEG_APP0 + 2, reinterpret_cast<const JOCTET*>(block.constData()),
                          unsigned(block.size()));
    }
}

// Runs the whole encoding; false when libjpeg jumped back here. Everything it
// uses lives in `encoder`.
bool encode(Encoder& encoder)
{
    if (setjmp(encoder.jump))
        return false;
    jpeg_compress_struct& cinfo = encoder.cinfo;
    jpeg_create_compress(&cinfo);
    cinfo.client_data = &encoder;
    cinfo.dest = &encoder.destination;
    const QImage& image = *encoder.image;
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR; // the image's own byte order: no copy of a row
    jpeg_set_defaults(&cinfo);
    setDensity(cinfo, image);
    jpeg_set_quality(&cinfo, std::clamp(encoder.quality, 1, 100), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (!encoder.icc->isEmpty())
        writeProfile(cinfo, *encoder.icc);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

} // namespace

bool WriteJpeg(QIODevice& device, const QImage& image, int quality, const QColorSpace& profile)
{
    if (image.format() != QImage::Format_BGR888 || image.isNull())
        return false;
    const QByteArray icc = profile.isValid() ? profile.iccProfile() : QByteArray();
    const auto encoder = std::make_unique<Encoder>();
    encoder->device = &device;
    encoder->image = &image;
    encoder->icc = &icc;
    encoder->quality = quality;
    encoder->cinfo.err = jpeg_std_error(&encoder->errors);
    encoder->errors.error_exit = errorExit;
    encoder->errors.output_message = outputMessage;
    encoder->cinfo.client_data = encoder.get();
    encoder->destination.init_destination = initDestination;
    encoder->destination.empty_output_buffer = emptyOutput;
    encoder->destination.term_destination = termDestination;
    return encode(*encoder);
}
