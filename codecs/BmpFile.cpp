#include "codecs/BmpFile.h"
#include "codecs/FileRefusal.h"

#include "raster/Exception.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// Every BMP variant the program opens is decoded here, into a 24-bit image
// whose every pixel is written by the decoder: a pixel the file does not define
// (skipped by a compressed stream, or an index past the palette) is black.

namespace {

void putU16(char* d, int at, quint16 v)
{
    d[at] = char(v & 0xFF);
    d[at + 1] = char(v >> 8);
}

void putU32(char* d, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = char((v >> (8 * i)) & 0xFF);
}

// Where the bytes come from: a file read with pread, or memory.
class Source {
public:
    virtual ~Source() = default;
    // Reads exactly `count` bytes at `at`; false when they are not all there.
    virtual bool Read(qint64 at, void* to, qint64 count) = 0;
};

class MemorySource : public Source {
public:
    MemorySource(const char* data, qint64 size) : data_(data), size_(size) { }
    bool Read(qint64 at, void* to, qint64 count) override
    {
        if (at < 0 || count < 0 || at > size_ || count > size_ - at)
            return false;
        if (count > 0)
            std::memcpy(to, data_ + at, size_t(count));
        return true;
    }

private:
    const char* data_;
    qint64 size_;
};

class FileSource : public Source {
public:
    explicit FileSource(int fd) : fd_(fd) { }
    bool Read(qint64 at, void* to, qint64 count) override
    {
        auto* out = static_cast<char*>(to);
        while (count > 0) {
            const ssize_t got = ::pread(fd_, out, size_t(std::min<qint64>(count, qint64(1) << 30)), off_t(at));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            out += got;
            at += got;
            count -= got;
        }
        return true;
    }

private:
    int fd_;
};

// One colour channel of a 16- or 32-bit pixel, scaled so that the mask's
// largest value gives 255.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint64 max = 0;

    explicit Channel(quint32 m) : mask(m), shift(__builtin_ctz(m)), max(quint64(m) >> __builtin_ctz(m)) { }
    std::uint8_t operator()(quint32 pixel) const
    {
        const quint64 value = (pixel & mask) >> shift;
        return std::uint8_t(max == 255 ? value : (value * 255 + max / 2) / max);
    }
};

void convertRow(const BmpHeaderInfo& info, const std::uint8_t* in, std::uint8_t* out)
{
    const int width = info.width;
    const auto putIndex = [&](int x, unsigned index) {
        const quint32 colour = int(index) < info.paletteSize ? info.palette[index] : 0;
        out[3 * x] = std::uint8_t(colour);
        out[3 * x + 1] = std::uint8_t(colour >> 8);
        out[3 * x + 2] = std::uint8_t(colour >> 16);
    };
    switch (info.bitCount) {
    case 1:
        for (int x = 0; x < width; ++x)
            putIndex(x, (in[x >> 3] >> (7 - (x & 7))) & 1);
        return;
    case 4:
        for (int x = 0; x < width; ++x)
            putIndex(x, (x & 1) ? in[x >> 1] & 0x0F : in[x >> 1] >> 4);
        return;
    case 8:
        for (int x = 0; x < width; ++x)
            putIndex(x, in[x]);
        return;
    default: break;
    }
    const Channel red(info.masks[0]), green(info.masks[1]), blue(info.masks[2]);
    const int bytes = info.bitCount / 8;
    for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = in + x * bytes;
        const quint32 pixel = bytes == 2
                                  ? quint32(p[0] | p[1] << 8)
                                  : quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
        out[3 * x] = blue(pixel);
        out[3 * x + 1] = green(pixel);
        out[3 * x + 2] = red(pixel);
    }
}

// The compressed stream of an RLE image, read from its source a block at a
// time as the decoder goes: a file's stream is never held whole in memory.
class RleStream {
public:
    RleStream(Source& source, qint64 start, qint64 size) : source_(source), start_(start), size_(size) { }
    qint64 Size() const { return size_; }
    // The byte at `at` (0 <= at < Size()); only moves forward, one block at a time.
    std::uint8_t operator[](qint64 at)
    {
        if (at < blockStart_ || at >= blockStart_ + qint64(block_.size())) {
            const qint64 count = std::min(kBlockBytes, size_ - at);
            block_.resize(size_t(count));
            if (!source_.Read(start_ + at, block_.data(), count))
                throw ReadFailed();
            blockStart_ = at;
        }
        return block_[size_t(at - blockStart_)];
    }
    struct ReadFailed { };

private:
    static constexpr qint64 kBlockBytes = qint64(64) << 10;
    Source& source_;
    qint64 start_;
    qint64 size_;
    qint64 blockStart_ = 0;
    std::vector<std::uint8_t> block_;
};

// Runs of RLE8 (two pixels per byte for RLE4) and escapes: 0 0 ends a row,
// 0 1 ends the image, 0 2 dx dy moves right and on, 0 n starts n literal
// pixels padded to an even byte count. Pixels past a row's end are dropped;
// pixels the stream never reaches keep the black the image starts with.
void decodeRle(const BmpHeaderInfo& info, RleStream& s, QImage& image)
{
    const qint64 n = s.Size();
    const bool four = info.encoding == BmpEncoding::Rle4;
    const qint64 width = info.width;
    const qint64 height = info.height;
    std::uint8_t* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    qint64 x = 0;
    qint64 y = 0; // stored row, 0 = the first in the stream
    const auto put = [&](unsigned index) {
        if (x < width && y < height) {
            const qint64 row = info.topDown ? y : height - 1 - y;
            std::uint8_t* p = bits + row * stride + 3 * x;
            const quint32 colour = int(index) < info.paletteSize ? info.palette[index] : 0;
            p[0] = std::uint8_t(colour);
            p[1] = std::uint8_t(colour >> 8);
            p[2] = std::uint8_t(colour >> 16);
        }
        ++x;
    };
    qint64 at = 0;
    while (at + 2 <= n && y < height) {
        const unsigned count = s[at];
        const unsigned code = s[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < width; ++i)
                put(four ? ((i & 1) ? code & 0x0F : code >> 4) : code);
            continue;
        }
        if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return;
        } else if (code == 2) {
            if (at + 2 > n)
                return;
            x += s[at];
            y += s[at + 1];
            at += 2;
        } else {
            const qint64 bytes = four ? (code + 1) / 2 : code;
            const qint64 available = std::min(bytes, n - at);
            for (unsigned i = 0; i < code && x < width; ++i) {
                const qint64 byte = four ? i / 2 : i;
                if (byte >= available)
                    break;
                put(four ? ((i & 1) ? s[at + byte] & 0x0F : s[at + byte] >> 4) : s[at + byte]);
            }
            at += (bytes + 1) & ~qint64(1);
        }
    }
}

// Asks the system for all the pages of a large image at once, before they are
// written: one call instead of a page fault every 4 KiB. Nothing happens on a
// system that cannot do it.
void prefault(void* start, qsizetype bytes)
{
#ifdef MADV_POPULATE_WRITE
    // The whole pages inside [start, start + bytes).
    const auto page = quintptr(::sysconf(_SC_PAGESIZE));
    auto* const begin = static_cast<std::uint8_t*>(start);
    const quintptr headMisalign = quintptr(begin) % page;
    std::uint8_t* const first = begin + (headMisalign ? page - headMisalign : 0);
    std::uint8_t* const end = begin + bytes - quintptr(begin + bytes) % page;
    if (bytes >= (qsizetype(1) << 20) && end > first)
        ::madvise(first, size_t(end - first), MADV_POPULATE_WRITE);
#else
    Q_UNUSED(start);
    Q_UNUSED(bytes);
#endif
}

QImage decode(Source& source, const BmpHeaderInfo& info, const QString& fileName, qint64 fileSize)
{
    QImage image = NewBitmapImage(info.width, info.height);
    if (image.isNull())
        RefuseFile(fileName, QStringLiteral("mémoire insuffisante."));
    std::uint8_t* bits = image.bits();
    prefault(bits, image.sizeInBytes());
    const qsizetype stride = image.bytesPerLine();
    const qint64 height = info.height;
    const auto rowOf = [&](qint64 stored) { return info.topDown ? stored : height - 1 - stored; };
    const auto cutShort = [&] { RefuseFile(fileName, QStringLiteral("le fichier ne peut pas être lu en entier.")); };

    if (info.encoding == BmpEncoding::Rle8 || info.encoding == BmpEncoding::Rle4) {
        // A stream longer than any encoding of this image is not read past that.
        const qint64 longest = height * (2 * qint64(info.width) + 4) + 4;
        const qint64 n = std::min(fileSize - info.pixelOffset, longest);
        RleStream stream(source, info.pixelOffset, std::max<qint64>(n, 0));
        std::memset(bits, 0, size_t(image.sizeInBytes()));
        try {
            decodeRle(info, stream, image);
        } catch (const RleStream::ReadFailed&) {
            cutShort();
        }
        return image;
    }

    if (info.bitCount == 24 && info.encoding == BmpEncoding::Plain) {
        // Stored rows have the layout of the image's rows: read them in place.
        Q_ASSERT(info.rowBytes == stride);
        if (info.topDown) {
            if (!source.Read(info.pixelOffset, bits, info.rowBytes * height))
                cutShort();
        } else {
            for (qint64 r = 0; r < height; ++r)
                if (!source.Read(info.pixelOffset + r * info.rowBytes, bits + rowOf(r) * stride, info.rowBytes))
                    cutShort();
        }
        // The file's row padding is not part of the image.
        const qint64 used = 3 * qint64(info.width);
        if (stride > used)
            for (qint64 y = 0; y < height; ++y)
                std::memset(bits + y * stride + used, 0, size_t(stride - used));
        return image;
    }

    std::vector<std::uint8_t> row(size_t(info.rowBytes));
    for (qint64 r = 0; r < height; ++r) {
        if (!source.Read(info.pixelOffset + r * info.rowBytes, row.data(), info.rowBytes))
            cutShort();
        std::uint8_t* out = bits + rowOf(r) * stride;
        convertRow(info, row.data(), out);
        std::memset(out + 3 * qint64(info.width), 0, size_t(stride - 3 * qint64(info.width)));
    }
    return image;
}

QImage decodeFrom(Source& source, qint64 fileSize, const QString& fileName, TPixelFormat* format)
{
    QByteArray head(int(std::min(fileSize, kBmpHeadBytes)), Qt::Uninitialized);
    if (!source.Read(0, head.data(), head.size()))
        RefuseFile(fileName, QStringLiteral("le fichier ne peut pas être lu en entier."));
    const BmpHeaderInfo info = ValidateBmpHeader(head, fileSize, fileName);
    QImage image = decode(source, info, fileName, fileSize);
    if (format)
        *format = info.format;
    return image;
}

} // namespace

QImage ReadBmp(int fd, qint64 fileSize, const QString& fileName, TPixelFormat* format)
{
    FileSource source(fd);
    return decodeFrom(source, fileSize, fileName, format);
}

QImage DecodeBmp(const char* data, qint64 size, const QString& fileName, TPixelFormat* format)
{
    MemorySource source(data, size);
    return decodeFrom(source, size, fileName, format);
}

bool WriteBmp24(QIODevice& device, const QImage& image)
{
    const int width = image.width();
    const int height = image.height();
    const qint64 used = 3 * qint64(width);
    const qint64 rowBytes = BitmapRowBytes(width);
    const qint64 pixelBytes = rowBytes * height;
    const int headerBytes = 14 + 40;

    char header[headerBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    putU32(header, 2, quint32(headerBytes + pixelBytes));
    putU32(header, 10, headerBytes);
    putU32(header, 14, 40);
    putU32(header, 18, quint32(width));
    putU32(header, 22, quint32(height));
    putU16(header, 26, 1);
    putU16(header, 28, 24);
    putU32(header, 30, 0);
    putU32(header, 34, quint32(pixelBytes));
    if (device.write(header, headerBytes) != headerBytes)
        return false;

    // Bottom-up rows, blue-green-red, each padded with zero bytes.
    static const char zeros[4] = {};
    const qint64 padding = rowBytes - used;
    for (int y = height - 1; y >= 0; --y) {
        if (device.write(reinterpret_cast<const char*>(image.constScanLine(y)), used) != used)
            return false;
        if (padding > 0 && device.write(zeros, padding) != padding)
            return false;
    }
    return true;
}
