#include "support/BmpFiles.h"

namespace bmpfile {

namespace {

void put16(QByteArray& d, int at, std::uint32_t v)
{
    d[at] = char(v & 0xFF);
    d[at + 1] = char((v >> 8) & 0xFF);
}

void put32(QByteArray& d, int at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace

QByteArray Build(const FileLayout& s)
{
    const bool os2 = s.headerSize == 12;
    const int entry = os2 ? 3 : 4;
    const bool masksAfter = s.compression == 3 && s.headerSize == 40;
    const int headerEnd = 14 + s.headerSize + (masksAfter ? 12 : 0);
    const std::int64_t offset = s.pixelOffset >= 0 ? s.pixelOffset : headerEnd + s.palette.size();
    QByteArray d(int(std::max<std::int64_t>(offset, headerEnd + s.palette.size())), '\0');
    d[0] = 'B';
    d[1] = 'M';
    put32(d, 2, std::uint32_t(offset + s.pixels.size()));
    put32(d, 10, std::uint32_t(offset));
    put32(d, 14, std::uint32_t(s.headerSize));
    if (os2) {
        put16(d, 18, std::uint32_t(s.width));
        put16(d, 20, std::uint32_t(s.height));
        put16(d, 22, std::uint32_t(s.planes));
        put16(d, 24, std::uint32_t(s.bits));
    } else {
        put32(d, 18, std::uint32_t(s.width));
        put32(d, 22, std::uint32_t(s.height));
        put16(d, 26, std::uint32_t(s.planes));
        put16(d, 28, std::uint32_t(s.bits));
        put32(d, 30, s.compression);
        put32(d, 34, std::uint32_t(s.pixels.size()));
        put32(d, 38, s.resolution);
        put32(d, 42, s.resolution);
        put32(d, 46, std::uint32_t(s.coloursUsed >= 0 ? s.coloursUsed : s.palette.size() / entry));
        if (s.compression == 3) {
            const int count = s.headerSize >= 56 || masksAfter ? (masksAfter ? 3 : 4) : 0;
            for (int i = 0; i < count; ++i)
                put32(d, 54 + 4 * i, s.masks[size_t(i)]);
        }
    }
    d.replace(headerEnd, s.palette.size(), s.palette);
    d.truncate(int(offset));
    if (d.size() < offset)
        d.append(QByteArray(int(offset - d.size()), '\0'));
    return d + s.pixels;
}

QByteArray Rows(int width, int rows, int bits, const std::function<std::uint32_t(int, int)>& value)
{
    const int rowBytes = ((width * bits + 31) / 32) * 4;
    QByteArray out(rowBytes * rows, '\0');
    for (int r = 0; r < rows; ++r) {
        auto* row = reinterpret_cast<unsigned char*>(out.data()) + r * rowBytes;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, r);
            switch (bits) {
            case 1: row[x / 8] |= (v & 1) << (7 - x % 8); break;
            case 4: row[x / 2] |= (v & 15) << (x % 2 ? 0 : 4); break;
            case 8: row[x] = (unsigned char)v; break;
            default:
                for (int k = 0; k < bits / 8; ++k)
                    row[x * (bits / 8) + k] = (unsigned char)(v >> (8 * k));
            }
        }
    }
    return out;
}

QByteArray Palette(int count, bool os2)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        out.append(char(i * 37 + 5)); // blue
        out.append(char(255 - i * 11)); // green
        out.append(char(i * 3 + 100)); // red
        if (!os2)
            out.append('\0');
    }
    return out;
}

std::vector<Named> Variants()
{
    std::vector<Named> v;
    const auto noise = [](int x, int r) { return std::uint32_t((x * 2654435761u) ^ (r * 40503u + 12345u)); };
    const auto indexed = [&](int bits, int count) {
        return [=](int x, int r) { return std::uint32_t((x * 7 + r * 3) % count) & ((1u << bits) - 1); };
    };
    const auto add = [&](const char* name, const FileLayout& s) { v.push_back({QString::fromLatin1(name), Build(s)}); };

    // An uncompressed layout whose pixels come from `pixel`, with a palette of
    // `colours` entries when there are any.
    const auto image = [](int width, int height, int bits, const std::function<std::uint32_t(int, int)>& pixel,
                          int colours = 0) {
        FileLayout s;
        s.width = width;
        s.height = height;
        s.bits = bits;
        if (colours > 0)
            s.palette = Palette(colours);
        s.pixels = Rows(width, height, bits, pixel);
        return s;
    };

    add("pal1", image(13, 5, 1, indexed(1, 2), 2));
    add("pal4", image(7, 4, 4, indexed(4, 16), 16));
    add("pal4-short", image(5, 3, 4, indexed(4, 6), 6));
    FileLayout s = image(9, 4, 8, indexed(8, 256), 256);
    add("pal8", s);
    s.height = -4;
    add("pal8-topdown", s);
    s = image(6, 3, 8, indexed(8, 256));
    s.headerSize = 12;
    s.palette = Palette(256, true);
    add("pal8-os2", s);
    s = image(5, 3, 16, noise);
    add("rgb555", s);
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F, 0};
    add("bitfields565", s);
    s.masks = {0xC000, 0x3800, 0x0400, 0};
    add("bitfields231", s);
    s = image(7, 3, 24, noise);
    add("rgb24", s);
    s.height = -3;
    add("rgb24-topdown", s);
    s.height = 3;
    s.headerSize = 108;
    add("rgb24-v4", s);
    s.headerSize = 124;
    add("rgb24-v5", s);
    s.headerSize = 64;
    add("rgb24-os2v2", s);
    s = image(4, 2, 24, noise);
    s.headerSize = 12;
    add("rgb24-os2", s);
    s = image(3, 3, 32, noise);
    add("rgb32", s);
    s.compression = 3;
    s.masks = {0xFF0000, 0xFF00, 0xFF, 0};
    add("bitfields32", s);
    s.headerSize = 108;
    s.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    add("bitfields32-alpha", s);
    s.headerSize = 40;
    s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0};
    add("bitfields101010", s);

    // RLE: runs, literal runs (odd and even), row ends and the image's end.
    s = {};
    s.width = 8;
    s.height = 3;
    s.bits = 8;
    s.compression = 1;
    s.palette = Palette(4);
    s.pixels = QByteArray::fromHex("0501"
                                   "0302"
                                   "0000"
                                   "0003"
                                   "000102"
                                   "00"
                                   "0503"
                                   "0000"
                                   "0800"
                                   "0001");
    add("rle8", s);
    s = {};
    s.width = 8;
    s.height = 2;
    s.bits = 4;
    s.compression = 2;
    s.palette = Palette(16);
    s.pixels = QByteArray::fromHex("0512"
                                   "0334"
                                   "0000"
                                   "0005"
                                   "56789a"
                                   "00"
                                   "0331"
                                   "0000"
                                   "0001");
    add("rle4", s);
    // Deltas and an early end leave pixels the stream never reaches.
    s = {};
    s.width = 6;
    s.height = 4;
    s.bits = 8;
    s.compression = 1;
    s.palette = Palette(4);
    s.pixels = QByteArray::fromHex("0201"
                                   "00020201"
                                   "0202"
                                   "0000"
                                   "0103"
                                   "0001");
    add("rle8-delta", s);
    return v;
}

} // namespace bmpfile
