// PNG files read with libpng, row by row, straight into the 24-bit image.
#include "codecs/PngFile.h"

#include "codecs/FileRefusal.h"
#include "codecs/ImageFile.h"
#include "raster/TBitmap.h"

#include <QByteArray>
#include <QPointF>
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <png.h>

namespace {

using Byte = std::uint8_t;

enum class Failure { Damaged, Memory };

// How a row comes out of libpng, set up as Qt's decoder set it up (see
// setUpRows), so that every value is the one Qt gave.
enum class RowLayout {
    Indexed, // a byte a pixel: a palette index or a grey level, through `colours`
    Bgra8, // blue, green, red, alpha (0xFF when the file has none)
    Grey16, // a 16-bit grey, no transparency
    Rgba16, // red, green, blue, alpha, 16 bits each (0xFFFF when the file has none)
};

// Everything libpng's calls read and write, in one block that outlives them.
// The one function that calls setjmp (guarded) holds nothing else, and
// neither the steps it runs nor the callbacks below hold an object with a
// destructor while libpng may jump: a jump back leaves nothing to destroy.
struct PngDecoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop endInfo = nullptr;
    std::jmp_buf jump{};
    Failure failure = Failure::Damaged;
    QIODevice* device = nullptr;
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    RowLayout layout = RowLayout::Indexed;
    // An index's colour laid over white, blue first, and whether it is not
    // fully opaque.
    Byte colours[256][3] = {};
    bool seeThrough[256] = {};
    Byte* row = nullptr; // one row as libpng gives it, from calloc
    Byte* bits = nullptr; // the picture's rows
    qsizetype stride = 0;
    bool transparency = false;

    ~PngDecoder() { Release(); }
    // Gives libpng's memory and the row back; safe to call more than once.
    void Release()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, endInfo ? &endInfo : nullptr);
        png = nullptr;
        info = endInfo = nullptr;
        std::free(row);
        row = nullptr;
    }
};

PngDecoder& decoderOf(png_structp png) { return *static_cast<PngDecoder*>(png_get_error_ptr(png)); }

// libpng's errors come back to guarded() as a damaged file, or a want of
// memory; its warnings (a damaged ancillary chunk, a profile libpng does not
// like) are dropped, as Qt's decoder logged them where nobody saw them.
[[noreturn]] void pngError(png_structp png, png_const_charp message)
{
    PngDecoder& decoder = decoderOf(png);
    decoder.failure = message && std::strstr(message, "memory") ? Failure::Memory : Failure::Damaged;
    std::longjmp(decoder.jump, 1);
}

void pngWarning(png_structp, png_const_charp) { }

void readBytes(png_structp png, png_bytep data, size_t length)
{
    QIODevice* device = static_cast<PngDecoder*>(png_get_io_ptr(png))->device;
    while (length > 0) {
        const qint64 got = device->read(reinterpret_cast<char*>(data), qint64(length));
        if (got <= 0)
            png_error(png, "the file ends here");
        data += got;
        length -= size_t(got);
    }
}

// Runs one step of libpng's work: false when libpng gave up on the file (its
// error function jumped back here).
bool guarded(PngDecoder& decoder, void (*step)(PngDecoder&))
{
    if (setjmp(decoder.jump))
        return false;
    step(decoder);
    return true;
}

void readHeader(PngDecoder& decoder)
{
    decoder.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &decoder, pngError, pngWarning);
    if (!decoder.png) {
        decoder.failure = Failure::Memory;
        std::longjmp(decoder.jump, 1);
    }
    decoder.info = png_create_info_struct(decoder.png);
    decoder.endInfo = png_create_info_struct(decoder.png);
    if (!decoder.info || !decoder.endInfo)
        png_error(decoder.png, "out of memory");
    // As Qt's decoder: files whose stream claims a smaller window than it uses
    // are read all the same.
    png_set_option(decoder.png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
    // The text chunks say nothing about the pixels, and each compressed one
    // may inflate to megabytes: they are skipped unread (their check sums
    // still checked), before and after the pixels.
    static constexpr png_byte kTextChunks[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(decoder.png, PNG_HANDLE_CHUNK_NEVER, kTextChunks, 3);
    png_set_read_fn(decoder.png, &decoder, readBytes);
    png_read_info(decoder.png, decoder.info);
    png_get_IHDR(decoder.png, decoder.info, &decoder.width, &decoder.height, &decoder.bitDepth, &decoder.colourType,
                 &decoder.interlace, nullptr, nullptr);
}

// A channel laid over white: c a / max + max (max - a) / max, to nearest.
inline quint32 overWhite(quint32 c, quint32 a, quint32 max) { return (c * a + max * (max - a) + max / 2) / max; }

// The rows come out as Qt's decoder asked for them, grey levels and palette
// indices as a byte each, looked up in the colours of the table Qt's decoder
// made, converted as Qt converted it to 32 bits (a table without a
// transparent entry is made opaque). Interlaced files are read pass by pass,
// each row of a pass put in its place, so that no second picture is needed.
void setUpRows(PngDecoder& decoder)
{
    png_structp png = decoder.png;
    png_infop info = decoder.info;
    const int depth = decoder.bitDepth;
    const int type = decoder.colourType;
    const bool key = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    QRgb table[256] = {};
    bool alphaTable = false;
    const auto setColour = [&](int index, QRgb colour) {
        table[index] = colour;
        alphaTable |= qAlpha(colour) != 255;
    };
    if (type == PNG_COLOR_TYPE_GRAY && depth == 16 && !key) {
        png_set_swap(png);
        decoder.layout = RowLayout::Grey16;
    } else if (type == PNG_COLOR_TYPE_GRAY && depth == 16) {
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        png_set_swap(png);
        decoder.layout = RowLayout::Rgba16;
    } else if (type == PNG_COLOR_TYPE_GRAY) {
        if (depth < 8)
            png_set_packing(png);
        const int entries = 1 << depth;
        for (int i = 0; i < entries; ++i) {
            const int level = i * 255 / (entries - 1);
            setColour(i, qRgb(level, level, level));
        }
        png_bytep alpha = nullptr;
        int count = 0;
        png_color_16p colour = nullptr;
        if (png_get_tRNS(png, info, &alpha, &count, &colour) && colour && colour->gray < entries)
            setColour(colour->gray, 0);
        decoder.layout = RowLayout::Indexed;
    } else if (type == PNG_COLOR_TYPE_PALETTE) {
        if (depth < 8)
            png_set_packing(png);
        png_colorp palette = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &palette, &count);
        png_bytep alpha = nullptr;
        int alphas = 0;
        png_color_16p colour = nullptr;
        if (!png_get_tRNS(png, info, &alpha, &alphas, &colour) || !alpha)
            alphas = 0;
        // Indices past the palette: in a one-bit picture, index 1 keeps the
        // white of Qt's two-colour table; otherwise Qt's decoder read them as
        // index 0.
        for (int i = 0; i < 256; ++i)
            table[i] = depth == 1 && i == 1 ? qRgb(255, 255, 255) : 0;
        for (int i = 0; i < count && i < 256; ++i)
            setColour(i, qRgba(palette[i].red, palette[i].green, palette[i].blue, i < alphas ? alpha[i] : 255));
        if (depth > 1)
            for (int i = std::max(count, 1); i < 256; ++i)
                table[i] = table[0];
        decoder.layout = RowLayout::Indexed;
    } else if (depth == 16) {
        // A colour key is made an alpha channel (Qt's decoder left the
        // 6-byte pixels of such a file in 8-byte places).
        if (key && !(type & PNG_COLOR_MASK_ALPHA))
            png_set_expand(png);
        else if (!(type & PNG_COLOR_MASK_ALPHA))
            png_set_filler(png, 0xFFFF, PNG_FILLER_AFTER);
        if (!(type & PNG_COLOR_MASK_COLOR))
            png_set_gray_to_rgb(png);
        png_set_swap(png);
        decoder.layout = RowLayout::Rgba16;
    } else {
        png_set_expand(png);
        if (type == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        if (!(type & PNG_COLOR_MASK_ALPHA) && !key)
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        decoder.layout = RowLayout::Bgra8;
    }
    if (decoder.layout == RowLayout::Indexed) {
        for (int i = 0; i < 256; ++i) {
            // Converted to 32 bits, a table without transparency is made opaque.
            const quint32 a = alphaTable ? qAlpha(table[i]) : 255;
            decoder.colours[i][0] = Byte(overWhite(qBlue(table[i]), a, 255));
            decoder.colours[i][1] = Byte(overWhite(qGreen(table[i]), a, 255));
            decoder.colours[i][2] = Byte(overWhite(qRed(table[i]), a, 255));
            decoder.seeThrough[i] = a != 255;
        }
    }
    png_read_update_info(png, info);
    decoder.row = static_cast<Byte*>(std::calloc(png_get_rowbytes(png, info) + 16, 1));
    if (!decoder.row)
        png_error(png, "out of memory");
}

// Lays `count` pixels of the row as libpng gave it into the picture's row
// `out`, one pixel every `step`.
void placeRow(PngDecoder& decoder, png_uint_32 count, Byte* out, qsizetype step)
{
    const Byte* in = decoder.row;
    bool transparency = false;
    switch (decoder.layout) {
    case RowLayout::Indexed:
        for (png_uint_32 x = 0; x < count; ++x, out += step) {
            const Byte* colour = decoder.colours[in[x]];
            out[0] = colour[0];
            out[1] = colour[1];
            out[2] = colour[2];
            transparency |= decoder.seeThrough[in[x]];
        }
        break;
    case RowLayout::Bgra8:
        for (png_uint_32 x = 0; x < count; ++x, in += 4, out += step) {
            const quint32 a = in[3];
            if (a == 255) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            } else {
                transparency = true;
                out[0] = Byte(overWhite(in[0], a, 255));
                out[1] = Byte(overWhite(in[1], a, 255));
                out[2] = Byte(overWhite(in[2], a, 255));
            }
        }
        break;
    case RowLayout::Grey16:
        // To the nearest 8-bit level: v / 257, rounded.
        for (png_uint_32 x = 0; x < count; ++x, in += 2, out += step) {
            const Byte level = Byte((quint32(in[0] | in[1] << 8) + 128) / 257);
            out[0] = out[1] = out[2] = level;
        }
        break;
    case RowLayout::Rgba16:
        // Laid over white in 16 bits, then rounded to the nearest 8-bit level.
        for (png_uint_32 x = 0; x < count; ++x, in += 8, out += step) {
            const quint32 a = quint32(in[6] | in[7] << 8);
            transparency |= a != 0xFFFF;
            for (int c = 0; c < 3; ++c) {
                const quint32 v = quint32(in[2 * c] | in[2 * c + 1] << 8);
                out[2 - c] = Byte((overWhite(v, a, 0xFFFF) + 128) / 257);
            }
        }
        break;
    }
    decoder.transparency |= transparency;
}

void decodeRows(PngDecoder& decoder)
{
    png_structp png = decoder.png;
    if (decoder.interlace == PNG_INTERLACE_NONE) {
        for (png_uint_32 y = 0; y < decoder.height; ++y) {
            png_read_row(png, decoder.row, nullptr);
            placeRow(decoder, decoder.width, decoder.bits + qsizetype(y) * decoder.stride, 3);
        }
    } else {
        // The seven passes of Adam7, each a smaller picture of every 8th,
        // 4th or 2nd pixel; libpng skips the passes that hold none.
        for (int pass = 0; pass < 7; ++pass) {
            const png_uint_32 columns = PNG_PASS_COLS(decoder.width, pass);
            const png_uint_32 rows = PNG_PASS_ROWS(decoder.height, pass);
            if (columns == 0 || rows == 0)
                continue;
            for (png_uint_32 r = 0; r < rows; ++r) {
                png_read_row(png, decoder.row, nullptr);
                Byte* out = decoder.bits + qsizetype(PNG_ROW_FROM_PASS_ROW(r, pass)) * decoder.stride +
                            3 * qsizetype(PNG_PASS_START_COL(pass));
                placeRow(decoder, columns, out, 3 * (qsizetype(1) << PNG_PASS_COL_SHIFT(pass)));
            }
        }
    }
    // Reads on to the end chunk: damage after the last row is seen too.
    png_read_end(png, decoder.endInfo);
}

// The colour space Qt's decoder named from the file's chunks: a profile Qt
// can read first, then an sRGB chunk of a known intent, then a positive gamma
// (1 / gAMA) on cHRM's primaries when they are valid chromaticities, on
// sRGB's otherwise.
QColorSpace colourSpace(png_structp png, png_infop info)
{
    enum { None, Gamma, Srgb, Profile } from = None;
    QColorSpace space;
    if (png_get_valid(png, info, PNG_INFO_iCCP)) {
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 length = 0;
        png_get_iCCP(png, info, &name, &compression, &profile, &length);
        space = QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(profile), qsizetype(length)));
        if (space.isValid())
            from = Profile;
    }
    if (from <= Srgb && png_get_valid(png, info, PNG_INFO_sRGB)) {
        int intent = -1;
        png_get_sRGB(png, info, &intent);
        if (intent >= 0 && intent <= 3) {
            space = QColorSpace::SRgb;
            from = Srgb;
        }
    }
    if (from <= Gamma && png_get_valid(png, info, PNG_INFO_gAMA)) {
        double fileGamma = 0;
        png_get_gAMA(png, info, &fileGamma);
        const float gamma = float(fileGamma);
        if (gamma > 0.0f) {
            double white[2] = {}, red[2] = {}, green[2] = {}, blue[2] = {};
            if (png_get_valid(png, info, PNG_INFO_cHRM))
                png_get_cHRM(png, info, &white[0], &white[1], &red[0], &red[1], &green[0], &green[1], &blue[0],
                             &blue[1]);
            const auto chromaticity = [](const double* xy) {
                return xy[0] >= 0.0 && xy[0] <= 1.0 && xy[1] > 0.0 && xy[1] <= 1.0;
            };
            if (chromaticity(white) && chromaticity(red) && chromaticity(green) && chromaticity(blue))
                space = QColorSpace(QPointF(white[0], white[1]), QPointF(red[0], red[1]), QPointF(green[0], green[1]),
                                    QPointF(blue[0], blue[1]), QColorSpace::TransferFunction::Gamma, 1.0f / gamma);
            else
                space = QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, 1.0f / gamma);
            from = Gamma;
        }
    }
    return from != None && space.isValid() ? space : QColorSpace();
}

[[noreturn]] void refuse(PngDecoder& decoder, const QString& fileName, Failure failure)
{
    decoder.Release();
    if (failure == Failure::Memory)
        RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
    RefuseFile(fileName, QStringLiteral("le fichier est endommagé ou tronqué."));
}

} // namespace

PngPicture ReadPng(QIODevice& device, const QString& fileName)
{
    const auto decoder = std::make_unique<PngDecoder>();
    decoder->device = &device;
    if (!device.seek(0) || !guarded(*decoder, readHeader))
        refuse(*decoder, fileName, decoder->failure);
    // libpng refuses sides over 2^31 - 1 itself.
    RefuseIfTooLarge(decoder->width, decoder->height, fileName);
    PngPicture result;
    result.space = colourSpace(decoder->png, decoder->info);
    if (!guarded(*decoder, setUpRows))
        refuse(*decoder, fileName, decoder->failure);
    result.image = NewBitmapImage(int(decoder->width), int(decoder->height));
    if (result.image.isNull())
        refuse(*decoder, fileName, Failure::Memory);
    decoder->bits = result.image.bits();
    decoder->stride = result.image.bytesPerLine();
    const qsizetype used = 3 * qsizetype(decoder->width);
    for (png_uint_32 y = 0; y < decoder->height; ++y)
        std::memset(decoder->bits + qsizetype(y) * decoder->stride + used, 0, size_t(decoder->stride - used));
    if (!guarded(*decoder, decodeRows))
        refuse(*decoder, fileName, decoder->failure);
    result.transparency = decoder->transparency;
    result.deepColour = decoder->layout == RowLayout::Grey16 || decoder->layout == RowLayout::Rgba16;
    decoder->Release();
    return result;
}
