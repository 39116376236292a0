#include "codecs/JpegFile.h"

#include "codecs/ContainerScan.h"
#include "codecs/FileRefusal.h"
#include "raster/Exception.h"
#include "raster/TBitmap.h"

#include <QColorSpace>
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <jpeglib.h>
// After jpeglib.h: its configuration decides which messages exist.
#include <jerror.h>

namespace {

// libjpeg's own memory beside the picture. A progressive file keeps every
// coefficient until its last scan, 2 bytes a sample: about 1 GiB for the
// largest picture allowed in the usual 4:2:0 layout. A file that needs more
// is refused for want of memory rather than allowed to take it.
constexpr long kWorkingMemory = long(2) << 30;

// How much of the file is read at a time.
constexpr qint64 kSourceBlock = qint64(64) << 10;

// Rows handed to libjpeg in one call: it fills as many as it has ready.
constexpr JDIMENSION kRowsAtOnce = 16;

enum class Failure { Damaged, Memory, Unsupported };

// Everything libjpeg's calls read and write, in one block that outlives them.
// The one function that calls setjmp (guarded) holds nothing else, and
// neither the steps it runs nor the callbacks below hold an object with a
// destructor while libjpeg may jump: a jump back leaves nothing to destroy.
struct Decoder {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr source{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    Failure failure = Failure::Damaged;
    QIODevice* device = nullptr;
    bool ended = false; // the device has no more bytes
    int reduction = 1;
    JOCTET* icc = nullptr; // from malloc, by jpeg_read_icc_profile
    unsigned int iccLength = 0;
    std::uint8_t* bits = nullptr; // the picture's rows
    qsizetype stride = 0;
    JOCTET block[kSourceBlock];

    ~Decoder() { Release(); }
    // Gives libjpeg's memory back; safe to call more than once.
    void Release()
    {
        jpeg_destroy_decompress(&cinfo);
        std::free(icc);
        icc = nullptr;
    }
};

Decoder& decoderOf(j_common_ptr cinfo) { return *static_cast<Decoder*>(cinfo->client_data); }

[[noreturn]] void giveUp(j_common_ptr cinfo, Failure failure)
{
    Decoder& decoder = decoderOf(cinfo);
    decoder.failure = failure;
    std::longjmp(decoder.jump, 1);
}

void errorExit(j_common_ptr cinfo)
{
    switch (cinfo->err->msg_code) {
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE: giveUp(cinfo, Failure::Memory);
    case JERR_BAD_PRECISION: // 12 or 16 bits a sample
    case JERR_SOF_UNSUPPORTED: // lossless, hierarchical
    case JERR_CONVERSION_NOTIMPL: // 2 channels, or more than 4
    case JERR_NOT_COMPILED:
    case JERR_ARITH_NOTIMPL: giveUp(cinfo, Failure::Unsupported);
    default: giveUp(cinfo, Failure::Damaged);
    }
}

// libjpeg goes on after damaged compressed data, painting what it could not
// decode grey or repeating what came before: such a file is refused. Bytes
// left between two segments (JWRN_EXTRANEOUS_DATA) are let through: every
// block of the picture was decoded before them, the decoder skips them, and
// some cameras and programs leave a few, most often before the end marker.
// Other warnings (an unknown JFIF version or Adobe transform, a broken colour
// profile) and trace messages do not concern the pixels.
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    switch (cinfo->err->msg_code) {
    case JWRN_HIT_MARKER:
    case JWRN_JPEG_EOF:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION: giveUp(cinfo, Failure::Damaged);
    default: break;
    }
}

// libjpeg never prints anything.
void outputMessage(j_common_ptr) { }

// The structure walk has counted the scans already; counted again here, they
// stay limited whatever the file became since, and for any caller.
void watchScans(j_common_ptr cinfo)
{
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        giveUp(cinfo, Failure::Damaged);
}

void initSource(j_decompress_ptr) { }

boolean fillInput(j_decompress_ptr cinfo)
{
    Decoder& decoder = decoderOf(reinterpret_cast<j_common_ptr>(cinfo));
    qint64 got = decoder.ended ? 0 : decoder.device->read(reinterpret_cast<char*>(decoder.block), kSourceBlock);
    if (got <= 0) {
        // The file stops short: the warning refuses it (emitMessage). An
        // end marker is given all the same, as libjpeg expects.
        decoder.ended = true;
        WARNMS(cinfo, JWRN_JPEG_EOF);
        decoder.block[0] = 0xFF;
        decoder.block[1] = JPEG_EOI;
        got = 2;
    }
    decoder.source.next_input_byte = decoder.block;
    decoder.source.bytes_in_buffer = size_t(got);
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count)
{
    Decoder& decoder = decoderOf(reinterpret_cast<j_common_ptr>(cinfo));
    if (count <= 0)
        return;
    jpeg_source_mgr& source = decoder.source;
    if (size_t(count) <= source.bytes_in_buffer) {
        source.next_input_byte += count;
        source.bytes_in_buffer -= size_t(count);
        return;
    }
    const qint64 rest = qint64(count) - qint64(source.bytes_in_buffer);
    source.next_input_byte += source.bytes_in_buffer;
    source.bytes_in_buffer = 0;
    if (decoder.ended || decoder.device->skip(rest) != rest)
        decoder.ended = true;
}

void termSource(j_decompress_ptr) { }

// Runs one step of libjpeg's work: false when libjpeg gave up on the file (its
// error_exit, or a warning or a limit above, jumped back here).
bool guarded(Decoder& decoder, void (*step)(Decoder&))
{
    if (setjmp(decoder.jump))
        return false;
    step(decoder);
    return true;
}

void readHeader(Decoder& decoder)
{
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kWorkingMemory;
    cinfo.src = &decoder.source;
    cinfo.progress = &decoder.progress;
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF); // Exif
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF); // colour profile
    jpeg_read_header(&cinfo, TRUE);
    // Colour and greyscale pictures straight into the document's layout.
    cinfo.out_color_space =
        cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK ? JCS_CMYK : JCS_EXT_BGR;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    jpeg_read_icc_profile(&cinfo, &decoder.icc, &decoder.iccLength);
}

void scaleOutput(Decoder& decoder)
{
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(decoder.reduction);
    jpeg_calc_output_dimensions(&cinfo);
}

void decodeRows(Decoder& decoder)
{
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    jpeg_start_decompress(&cinfo);
    if (cinfo.out_color_space == JCS_CMYK) {
        // Stored inverted, as nearly every program writes CMYK: each channel
        // is 255 minus the ink, so c k / 255 is the red left on the paper.
        const JSAMPARRAY row =
            (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, cinfo.output_width * 4, 1);
        while (cinfo.output_scanline < cinfo.output_height) {
            std::uint8_t* out = decoder.bits + qsizetype(cinfo.output_scanline) * decoder.stride;
            jpeg_read_scanlines(&cinfo, row, 1);
            const JSAMPLE* in = row[0];
            for (JDIMENSION x = 0; x < cinfo.output_width; ++x, in += 4, out += 3) {
                const unsigned k = in[3];
                out[0] = std::uint8_t(in[2] * k / 255);
                out[1] = std::uint8_t(in[1] * k / 255);
                out[2] = std::uint8_t(in[0] * k / 255);
            }
        }
    } else {
        JSAMPROW rows[kRowsAtOnce];
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION count = std::min(kRowsAtOnce, cinfo.output_height - cinfo.output_scanline);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = decoder.bits + qsizetype(cinfo.output_scanline + i) * decoder.stride;
            jpeg_read_scanlines(&cinfo, rows, count);
        }
    }
    // Reads on to the end marker: damage after the last row is seen too.
    jpeg_finish_decompress(&cinfo);
}

// The orientation (1 to 8) in the first directory of the first Exif segment;
// 1 when there is none or it makes no sense.
int exifOrientation(jpeg_saved_marker_ptr markers)
{
    for (jpeg_saved_marker_ptr marker = markers; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 6 + 8 ||
            std::memcmp(marker->data, "Exif\0\0", 6) != 0)
            continue;
        const JOCTET* tiff = marker->data + 6;
        const size_t size = marker->data_length - 6;
        const bool little = tiff[0] == 'I' && tiff[1] == 'I';
        if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
            return 1;
        // A number of `bytes` bytes at `at`, which the caller keeps inside.
        const auto number = [&](size_t at, int bytes) {
            std::uint32_t value = 0;
            for (int i = 0; i < bytes; ++i)
                value |= std::uint32_t(tiff[at + size_t(little ? i : bytes - 1 - i)]) << (8 * i);
            return value;
        };
        const size_t directory = number(4, 4);
        if (number(2, 2) != 42 || directory < 8 || directory + 2 > size)
            return 1;
        const size_t count = number(directory, 2);
        for (size_t entry = directory + 2; entry < directory + 2 + 12 * count && entry + 12 <= size; entry += 12) {
            if (number(entry, 2) != 0x0112)
                continue;
            // One SHORT value, held in the entry itself.
            const std::uint32_t value = number(entry + 8, 2);
            return number(entry + 2, 2) == 3 && number(entry + 4, 4) == 1 && value >= 1 && value <= 8 ? int(value) : 1;
        }
        return 1;
    }
    return 1;
}

void zeroPadding(QImage& image)
{
    const qsizetype used = 3 * qsizetype(image.width());
    const qsizetype stride = image.bytesPerLine();
    std::uint8_t* bits = image.bits();
    for (int y = 0; y < image.height(); ++y)
        std::memset(bits + y * stride + used, 0, size_t(stride - used));
}

// The picture turned and mirrored as the Exif orientation says, exactly: each
// row of the result is a line of the picture, walked from its first pixel by
// a step of bytes. Null when the memory cannot be had.
QImage oriented(const QImage& picture, int orientation)
{
    if (orientation == 1)
        return picture;
    const qsizetype width = picture.width();
    const qsizetype height = picture.height();
    const qsizetype stride = picture.bytesPerLine();
    const bool turned = orientation >= 5;
    QImage out = NewBitmapImage(int(turned ? height : width), int(turned ? width : height));
    if (out.isNull())
        return out;
    const std::uint8_t* in = picture.constBits();
    std::uint8_t* bits = out.bits();
    const qsizetype outStride = out.bytesPerLine();
    const auto at = [stride](qsizetype x, qsizetype y) { return y * stride + 3 * x; };
    for (qsizetype y = 0; y < out.height(); ++y) {
        qsizetype from = 0, step = 0;
        switch (orientation) {
        case 2: from = at(width - 1, y), step = -3; break; // mirrored
        case 3: from = at(width - 1, height - 1 - y), step = -3; break; // upside down
        case 4: from = at(0, height - 1 - y), step = 3; break; // flipped
        case 5: from = at(y, 0), step = stride; break; // transposed
        case 6: from = at(y, height - 1), step = -stride; break; // a quarter turn clockwise
        case 7: from = at(width - 1 - y, height - 1), step = -stride; break; // transposed the other way
        default: from = at(width - 1 - y, 0), step = stride; break; // a quarter turn anticlockwise
        }
        std::uint8_t* row = bits + y * outStride;
        for (qsizetype x = 0; x < out.width(); ++x, from += step) {
            row[3 * x] = in[from];
            row[3 * x + 1] = in[from + 1];
            row[3 * x + 2] = in[from + 2];
        }
    }
    zeroPadding(out);
    return out;
}

[[noreturn]] void refuse(Decoder& decoder, const QString& fileName, Failure failure)
{
    decoder.Release();
    switch (failure) {
    case Failure::Memory: RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
    case Failure::Unsupported: RefuseFile(fileName, QStringLiteral("ce type de JPEG n'est pas pris en charge."));
    default: RefuseFile(fileName, QStringLiteral("le fichier est endommagé ou tronqué."));
    }
}

} // namespace

int JpegReductionFor(QSize fullSize, QSize target)
{
    if (target.isEmpty())
        return 1;
    for (const int reduction : {8, 4, 2})
        if ((fullSize.width() + reduction - 1) / reduction >= 2 * qint64(target.width()) &&
            (fullSize.height() + reduction - 1) / reduction >= 2 * qint64(target.height()))
            return reduction;
    return 1;
}

QImage ReadJpeg(QIODevice& device, const QString& fileName, int reduction, bool* hasProfile)
{
    Q_ASSERT(reduction == 1 || reduction == 2 || reduction == 4 || reduction == 8);
    return ReadJpeg(
        device, fileName, [reduction](QSize) { return reduction; }, hasProfile);
}

QImage ReadJpeg(QIODevice& device, const QString& fileName, const JpegReduction& reduction, bool* hasProfile)
{
    const auto decoder = std::make_unique<Decoder>();
    decoder->device = &device;
    decoder->cinfo.client_data = decoder.get();
    decoder->cinfo.err = jpeg_std_error(&decoder->errors);
    decoder->errors.error_exit = errorExit;
    decoder->errors.emit_message = emitMessage;
    decoder->errors.output_message = outputMessage;
    decoder->source.init_source = initSource;
    decoder->source.fill_input_buffer = fillInput;
    decoder->source.skip_input_data = skipInput;
    decoder->source.resync_to_restart = jpeg_resync_to_restart;
    decoder->source.term_source = termSource;
    decoder->progress.progress_monitor = watchScans;
    if (!device.seek(0) || !guarded(*decoder, readHeader))
        refuse(*decoder, fileName, decoder->failure);

    const jpeg_decompress_struct& cinfo = decoder->cinfo;
    if (!BitmapSizeAllowed(cinfo.image_width, cinfo.image_height)) {
        decoder->Release();
        RefuseFile(
            fileName,
            QStringLiteral("l'image est trop grande (%1 x %2 pixels ; au plus %3 pixels de côté et 1 Gio d'image).")
                .arg(cinfo.image_width)
                .arg(cinfo.image_height)
                .arg(kMaxBitmapSide));
    }
    // The saved segments last only until the decoding ends.
    const int orientation = exifOrientation(cinfo.marker_list);
    // Orientations 5 to 8 turn the picture a quarter.
    const QSize stored(int(cinfo.image_width), int(cinfo.image_height));
    const int chosen = reduction(orientation >= 5 ? stored.transposed() : stored);
    decoder->reduction = chosen == 2 || chosen == 4 || chosen == 8 ? chosen : 1;
    if (!guarded(*decoder, scaleOutput))
        refuse(*decoder, fileName, decoder->failure);
    QImage picture = NewBitmapImage(int(cinfo.output_width), int(cinfo.output_height));
    if (picture.isNull())
        refuse(*decoder, fileName, Failure::Memory);
    decoder->bits = picture.bits();
    decoder->stride = picture.bytesPerLine();
    if (!guarded(*decoder, decodeRows))
        refuse(*decoder, fileName, decoder->failure);
    const QByteArray profile(reinterpret_cast<const char*>(decoder->icc), qsizetype(decoder->iccLength));
    decoder->Release();

    zeroPadding(picture);
    picture = oriented(picture, orientation);
    if (picture.isNull())
        RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
    if (hasProfile)
        *hasProfile = !profile.isEmpty();
    if (!profile.isEmpty()) {
        const QColorSpace space = QColorSpace::fromIccProfile(profile);
        if (space.isValid())
            picture.setColorSpace(space);
    }
    return picture;
}
