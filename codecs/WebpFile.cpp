#include "codecs/WebpFile.h"

#include "codecs/FileRefusal.h"
#include "raster/HugePages.h"

#include <QByteArray>
#include <QColorSpace>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

namespace {

[[noreturn]] void damaged(const QString& fileName)
{
    RefuseFile(fileName, QStringLiteral("le fichier est endommagé ou tronqué."));
}

struct DeleteDemuxer {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};

// The colour space of the file's profile chunk; invalid when there is none or
// Qt cannot read it.
QColorSpace profileOf(const WebPDemuxer* demuxer)
{
    QColorSpace space;
    WebPChunkIterator chunk;
    if ((WebPDemuxGetI(demuxer, WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) && WebPDemuxGetChunk(demuxer, "ICCP", 1, &chunk)) {
        // A copy: the profile's numbers are read 4 bytes at a time.
        space = QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(chunk.chunk.bytes), qsizetype(chunk.chunk.size)));
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    return space;
}

// The 32-bit pixels (blue, green, red, alpha) rewritten in place as 24-bit
// rows, each channel laid over white, c a / 255 + (255 - a), to nearest: a
// 24-bit row never reaches past the 32-bit row it comes from. True when a
// pixel was not fully opaque.
bool toBitmapRows(std::uint8_t* bits, int width, int height)
{
    bool transparent = false;
    const qsizetype inStride = 4 * qsizetype(width);
    const qsizetype stride = BitmapRowBytes(width);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = bits + y * inStride;
        std::uint8_t* row = bits + y * stride;
        for (int x = 0; x < width; ++x, in += 4) {
            const unsigned a = in[3];
            std::uint8_t b = in[0], g = in[1], r = in[2];
            if (a != 255) {
                transparent = true;
                b = std::uint8_t((b * a + 255 * (255 - a) + 127) / 255);
                g = std::uint8_t((g * a + 255 * (255 - a) + 127) / 255);
                r = std::uint8_t((r * a + 255 * (255 - a) + 127) / 255);
            }
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
        std::memset(row + 3 * qsizetype(width), 0, size_t(stride - 3 * qsizetype(width)));
    }
    return transparent;
}

void appendLittle(QByteArray& bytes, quint32 value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.append(char(value >> (8 * i)));
}

// Where the encoder's bytes go: straight to the device. With a profile, the
// container's first 12 bytes (RIFF, its size, WEBP) are held back and given
// again with room for the extended header and the profile's chunk, which
// come before the picture's own chunk, as libwebp's muxer lays them out.
struct WebpOutput {
    QIODevice* device = nullptr;
    QByteArray profile; // the ICC bytes; empty for none
    int width = 0, height = 0;
    QByteArray head;

    bool Write(const char* data, qint64 size)
    {
        while (size > 0) {
            const qint64 written = device->write(data, size);
            if (written <= 0)
                return false;
            data += written;
            size -= written;
        }
        return true;
    }

    bool Take(const std::uint8_t* data, size_t size)
    {
        if (!profile.isEmpty() && head.size() < 12) {
            const size_t taken = std::min(size, size_t(12 - head.size()));
            head.append(reinterpret_cast<const char*>(data), qsizetype(taken));
            data += taken;
            size -= taken;
            if (head.size() < 12)
                return true;
            const quint32 riff = quint32(quint8(head[4])) | quint32(quint8(head[5])) << 8 |
                                 quint32(quint8(head[6])) << 16 | quint32(quint8(head[7])) << 24;
            const quint32 padded = quint32(profile.size() + (profile.size() & 1));
            QByteArray start("RIFF");
            appendLittle(start, riff + 18 + 8 + padded, 4);
            start += QByteArray("WEBPVP8X");
            appendLittle(start, 10, 4);
            appendLittle(start, 0x20, 4); // flags: a colour profile
            appendLittle(start, quint32(width - 1), 3);
            appendLittle(start, quint32(height - 1), 3);
            start += QByteArray("ICCP");
            appendLittle(start, quint32(profile.size()), 4);
            start += profile;
            if (profile.size() & 1)
                start.append('\0');
            if (!Write(start.constData(), start.size()))
                return false;
        }
        return Write(reinterpret_cast<const char*>(data), qint64(size));
    }
};

int takeEncoded(const std::uint8_t* data, size_t size, const WebPPicture* picture)
{
    return static_cast<WebpOutput*>(picture->custom_ptr)->Take(data, size) ? 1 : 0;
}

struct FreePicture {
    void operator()(WebPPicture* picture) const { WebPPictureFree(picture); }
};

} // namespace

bool WriteWebp(QIODevice& device, const QImage& image, int quality, const QColorSpace& profile)
{
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        return false;
    const std::unique_ptr<WebPPicture, FreePicture> owner(&picture);
    // As Qt's plugin: 100 is lossless at libwebp's usual effort.
    config.lossless = quality >= 100 ? 1 : 0;
    config.quality = quality >= 100 ? 70.0f : float(quality);
    config.alpha_quality = int(config.quality);
    // The lossy coder otherwise records every coefficient's tokens for the
    // whole picture before writing them: one and a half times a photo's
    // size, six times that of noise. Coded as it goes, the picture takes up
    // to twice the time and its file differs by a few bytes in a thousand.
    config.low_memory = config.lossless ? 0 : 1;
    picture.width = image.width();
    picture.height = image.height();
    // Lossless coding works on 32-bit pixels; the lossy coder on YUV planes,
    // which the import makes straight from the 24-bit rows as the encoder
    // would from 32-bit ones.
    picture.use_argb = config.lossless;
    if (!WebPPictureImportBGR(&picture, image.constBits(), int(image.bytesPerLine()))) {
        if (picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY)
            throw std::bad_alloc();
        return false;
    }
    WebpOutput output;
    output.device = &device;
    if (profile.isValid())
        output.profile = profile.iccProfile();
    output.width = image.width();
    output.height = image.height();
    picture.writer = takeEncoded;
    picture.custom_ptr = &output;
    if (WebPEncode(&config, &picture))
        return true;
    if (picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY)
        throw std::bad_alloc();
    return false;
}

std::optional<ReadPicture> ReadWebp(QIODevice& device, const QString& fileName, const TContainerContents& contents)
{
    if (!device.seek(0))
        damaged(fileName);
    // The header's features, from as many bytes as the plugin reads for them.
    WebPBitstreamFeatures features;
    const QByteArray head = device.peek(qint64(sizeof features));
    if (head.size() < qsizetype(sizeof features) ||
        WebPGetFeatures(reinterpret_cast<const std::uint8_t*>(head.constData()), size_t(head.size()), &features) !=
            VP8_STATUS_OK)
        damaged(fileName);
    if (features.has_animation)
        return std::nullopt;
    RefuseIfTooLarge(features.width, features.height, fileName);

    const QByteArray bytes = device.readAll();
    const WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size())};
    const std::unique_ptr<WebPDemuxer, DeleteDemuxer> demuxer(WebPDemux(&data));
    if (!demuxer)
        damaged(fileName);
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demuxer.get(), 1, &frame))
        damaged(fileName);
    const std::uint8_t* const stream = frame.fragment.bytes;
    const size_t streamSize = frame.fragment.size;
    const int width = frame.width, height = frame.height;
    WebPDemuxReleaseIterator(&frame);
    WebPBitstreamFeatures frameFeatures;
    if (WebPGetFeatures(stream, streamSize, &frameFeatures) != VP8_STATUS_OK)
        damaged(fileName);
    RefuseIfTooLarge(width, height, fileName);

    ReadPicture result;
    result.format = ImageFormat::Webp;
    result.lost.moreImages = contents.moreFrames;
    if (!features.has_alpha) {
        // Without transparency, libwebp writes the 24-bit rows themselves.
        result.image = NewBitmapImage(width, height);
        if (result.image.isNull())
            RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
        if (!WebPDecodeBGRInto(stream, streamSize, result.image.bits(), size_t(result.image.sizeInBytes()),
                               int(result.image.bytesPerLine())))
            damaged(fileName);
        const qsizetype used = 3 * qsizetype(width);
        for (int y = 0; y < height; ++y)
            std::memset(result.image.scanLine(y) + used, 0, size_t(result.image.bytesPerLine() - used));
    } else {
        const qsizetype inStride = 4 * qsizetype(width);
        const qsizetype size = inStride * height;
        auto* block = static_cast<std::uint8_t*>(AllocateLarge(size_t(size)));
        if (!block)
            RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
        LargeBuffer<std::uint8_t> owner(block);
        if (!WebPDecodeBGRAInto(stream, streamSize, block, size_t(size), int(inStride)))
            damaged(fileName);
        result.lost.transparency = toBitmapRows(block, width, height);
        // The 24-bit image keeps the block and frees it at its end.
        result.image = QImage(block, width, height, BitmapRowBytes(width), QImage::Format_BGR888, std::free, block);
        owner.release();
    }
    const QColorSpace space = profileOf(demuxer.get());
    if (!SameAsSrgb(space))
        result.profile = space;
    const bool unreadableProfile = contents.profile && !space.isValid();
    result.depth = result.lost.Any() || unreadableProfile ? pfCustom : pf24bit;
    return result;
}
