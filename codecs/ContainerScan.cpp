#include "codecs/ContainerScan.h"

#include <QByteArray>
#include <utility>

namespace {

// The device's bytes one at a time, read a block at a time.
class ByteReader {
public:
    explicit ByteReader(QIODevice& device) : device_(device) { }
    // The next byte, or -1 at the end.
    int Next()
    {
        if (at_ == block_.size()) {
            block_ = device_.read(qint64(64) << 10);
            at_ = 0;
            if (block_.isEmpty())
                return -1;
        }
        return quint8(block_[at_++]);
    }
    bool Skip(qint64 count)
    {
        for (; count > 0; --count)
            if (Next() < 0)
                return false;
        return true;
    }
    // A big-endian number of `bytes` bytes; false at the end.
    bool BigEndian(int bytes, quint64* value)
    {
        *value = 0;
        for (int i = 0; i < bytes; ++i) {
            const int byte = Next();
            if (byte < 0)
                return false;
            *value = *value << 8 | quint64(byte);
        }
        return true;
    }

private:
    QIODevice& device_;
    QByteArray block_;
    qsizetype at_ = 0;
};

bool jpegComplete(ByteReader& in)
{
    if (in.Next() != 0xFF || in.Next() != 0xD8)
        return false;
    int marker = -1; // a marker already read from a scan's data
    int scans = 0;
    for (;;) {
        if (marker < 0) {
            int byte = in.Next();
            if (byte != 0xFF)
                return false;
            while (byte == 0xFF) // fill bytes
                byte = in.Next();
            if (byte < 0)
                return false;
            marker = byte;
        }
        const int current = std::exchange(marker, -1);
        if (current == 0xD9)
            return true;
        if (current == 0x01 || (current >= 0xD0 && current <= 0xD7))
            continue; // no length follows
        const int high = in.Next();
        const int low = in.Next();
        if (high < 0 || low < 0 || (high << 8 | low) < 2 || !in.Skip((high << 8 | low) - 2))
            return false;
        if (current != 0xDA)
            continue;
        if (++scans > kMaxJpegScans)
            return false;
        // A scan's data ends at the first marker that is neither a stuffed
        // 0xFF 0x00 nor a restart marker.
        for (int byte = in.Next();; byte = in.Next()) {
            if (byte < 0)
                return false;
            if (byte != 0xFF)
                continue;
            int next = in.Next();
            while (next == 0xFF)
                next = in.Next();
            if (next < 0)
                return false;
            if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7)) {
                marker = next;
                break;
            }
        }
    }
}

// Chunks of length, type, data and check sum, up to the end chunk. An
// animation's control chunk gives its number of frames first.
bool pngComplete(ByteReader& in, TContainerContents* contents)
{
    if (!in.Skip(8))
        return false;
    for (;;) {
        quint64 length = 0, type = 0;
        if (!in.BigEndian(4, &length) || !in.BigEndian(4, &type) || length > 0x7FFFFFFF)
            return false;
        quint64 frames = 0;
        if (type == 0x6163544C && length >= 4) { // "acTL"
            if (!in.BigEndian(4, &frames))
                return false;
            length -= 4;
            contents->moreFrames |= frames > 1;
        }
        contents->profile |= type == 0x69434350; // "iCCP"
        if (!in.Skip(qint64(length) + 4))
            return false;
        if (type == 0x49454E44) // "IEND"
            return true;
    }
}

// Data sub-blocks: a size byte and that many bytes, up to a size of 0.
bool skipSubBlocks(ByteReader& in)
{
    for (;;) {
        const int size = in.Next();
        if (size <= 0)
            return size == 0;
        if (!in.Skip(size))
            return false;
    }
}

// The screen descriptor and its colour table, then extensions and images up
// to the trailer.
bool gifComplete(ByteReader& in, bool* moreFrames)
{
    int images = 0;
    if (!in.Skip(10))
        return false;
    const int flags = in.Next();
    if (flags < 0 || !in.Skip(2) || ((flags & 0x80) && !in.Skip(3 << ((flags & 7) + 1))))
        return false;
    for (;;) {
        const int block = in.Next();
        if (block == 0x3B) {
            *moreFrames = images > 1;
            return true;
        }
        if (block == 0x21) {
            if (in.Next() < 0 || !skipSubBlocks(in))
                return false;
        } else if (block == 0x2C) {
            ++images;
            if (!in.Skip(8))
                return false;
            const int local = in.Next();
            if (local < 0 || ((local & 0x80) && !in.Skip(3 << ((local & 7) + 1))) || in.Next() < 0 ||
                !skipSubBlocks(in))
                return false;
        } else {
            return false;
        }
    }
}

// The bytes [at, at + count) of the device, or nothing when they are not all there.
QByteArray readAt(QIODevice& device, quint64 at, quint64 count)
{
    if (at > quint64(device.size()) || count > quint64(device.size()) - at || !device.seek(qint64(at)))
        return {};
    QByteArray bytes = device.read(qint64(count));
    return quint64(bytes.size()) == count ? bytes : QByteArray();
}

// The first directory whole, and every value and every strip or tile it
// points at inside the file.
bool tiffComplete(QIODevice& device, TContainerContents* contents)
{
    const QByteArray header = readAt(device, 0, 8);
    if (header.size() != 8)
        return false;
    const bool little = header[0] == 'I';
    const auto number = [little](const QByteArray& bytes, int at, int size) {
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value |= quint64(quint8(bytes[at + (little ? i : size - 1 - i)])) << (8 * i);
        return value;
    };
    const quint64 directory = number(header, 4, 4);
    const QByteArray countBytes = readAt(device, directory, 2);
    if (countBytes.size() != 2)
        return false;
    const quint64 count = number(countBytes, 0, 2);
    const QByteArray entries = readAt(device, directory + 2, count * 12 + 4);
    if (entries.isEmpty())
        return false;
    static const int kTypeSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    QList<quint64> offsets, lengths;
    for (quint64 i = 0; i < count; ++i) {
        const int at = int(i * 12);
        const quint64 tag = number(entries, at, 2);
        const quint64 type = number(entries, at + 2, 2);
        const quint64 values = number(entries, at + 4, 4);
        const int size = type < 13 ? kTypeSize[type] : 0;
        contents->profile |= tag == 34675; // an ICC profile
        if (size == 0)
            continue; // an unknown type: the decoder ignores it
        const quint64 bytes = values * quint64(size);
        QByteArray data = bytes <= 4 ? entries.mid(at + 8, 4) : readAt(device, number(entries, at + 8, 4), bytes);
        if (data.isEmpty() && bytes > 0)
            return false;
        if (tag == 273 || tag == 279 || tag == 324 || tag == 325) {
            QList<quint64>& list = tag == 273 || tag == 324 ? offsets : lengths;
            for (quint64 v = 0; v < values && (size == 2 || size == 4); ++v)
                list.append(number(data, int(v) * size, size));
        }
    }
    if (offsets.size() != lengths.size())
        return false;
    contents->moreFrames = number(entries, int(count * 12), 4) != 0;
    for (qsizetype i = 0; i < offsets.size(); ++i)
        if (offsets[i] > quint64(device.size()) || lengths[i] > quint64(device.size()) - offsets[i])
            return false;
    return true;
}

} // namespace

bool ContainerComplete(ImageFormat format, QIODevice& device, TContainerContents* contents)
{
    *contents = {};
    if (!device.seek(0))
        return false;
    ByteReader in(device);
    switch (format) {
    case ImageFormat::Jpeg: return jpegComplete(in);
    case ImageFormat::Png: return pngComplete(in, contents);
    case ImageFormat::Gif: return gifComplete(in, &contents->moreFrames);
    case ImageFormat::Tiff: return tiffComplete(device, contents);
    case ImageFormat::Webp: {
        // An extended header's flags say whether the file is an animation and
        // whether it holds a colour profile.
        const QByteArray head = readAt(device, 12, 9);
        const bool extended = head.startsWith("VP8X");
        contents->moreFrames = extended && (quint8(head[8]) & 0x02);
        contents->profile = extended && (quint8(head[8]) & 0x20);
        return true;
    }
    default: return true;
    }
}
