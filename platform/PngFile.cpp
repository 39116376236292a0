#include "platform/PngFile.h"

#include "platform/BmpHeader.h"
#include "platform/ImageFile.h"
#include "platform/TBitmap.h"

#include <QByteArray>
#include <QPointF>
#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>
#include <memory>
#include <mutex>
#include <new>
#include <png.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>
#include <zlib.h>

namespace {

using Byte = std::uint8_t;

// ---------------------------------------------------------------------------
// Writing

// The filtered rows of one band come to about this many bytes: small enough
// that every core stays busy up to the last band and that the bands in flight
// take a few megabytes, large enough that the bands' seams cost nothing.
constexpr qsizetype kBandBytes = qsizetype(1) << 20;

// What remains of a photo once its rows are filtered is mostly small values
// around zero with little repetition further away than the byte before:
// deflate's run-length mode codes it in a fraction of the time of its
// searching levels, and smaller. Measured on 6000 x 4000 photos, its files
// are 5 to 22 % smaller than level 1's, and 13 % smaller than level 6's on a
// smooth one; filtering each row with a fixed filter instead of the best
// guess made them 1 to 5 % larger. The level changes nothing in that mode;
// 1 names the intent.
constexpr int kDeflateLevel = 1;
constexpr int kDeflateStrategy = Z_RLE;

// The zlib stream's header: deflate with a 32 KiB window, "fastest" level.
constexpr Byte kZlibHeader[2] = {0x78, 0x01};

void putBig32(Byte* at, quint32 value)
{
    at[0] = Byte(value >> 24);
    at[1] = Byte(value >> 16);
    at[2] = Byte(value >> 8);
    at[3] = Byte(value);
}

// Writes one chunk whose data is the three parts one after the other.
bool writeChunk(QIODevice& device, const char* type, const Byte* first, size_t firstBytes, const Byte* data,
                size_t dataBytes, const Byte* last = nullptr, size_t lastBytes = 0)
{
    Byte head[8];
    putBig32(head, quint32(firstBytes + dataBytes + lastBytes));
    std::memcpy(head + 4, type, 4);
    // zlib takes a null pointer as a request for the initial value: empty
    // parts are left out.
    uLong crc = crc32(0, head + 4, 4);
    for (const auto& [bytes, count] :
         {std::pair{first, firstBytes}, std::pair{data, dataBytes}, std::pair{last, lastBytes}})
        if (count > 0)
            crc = crc32_z(crc, bytes, count);
    Byte tail[4];
    putBig32(tail, quint32(crc));
    const auto put = [&device](const Byte* bytes, size_t count) {
        return count == 0 || device.write(reinterpret_cast<const char*>(bytes), qint64(count)) == qint64(count);
    };
    return put(head, 8) && put(first, firstBytes) && put(data, dataBytes) && put(last, lastBytes) && put(tail, 4);
}

// A profile's name in its chunk: 1 to 79 printable Latin-1 characters, no
// space at either end nor two in a row; "Custom" for a profile without a
// usable description.
QByteArray profileName(const QColorSpace& profile)
{
    QByteArray name;
    for (const QChar c : profile.description()) {
        const char16_t u = c.unicode();
        if ((u >= 0x21 && u <= 0x7E) || (u >= 0xA1 && u <= 0xFF))
            name.append(char(u));
        else if (u == ' ' && !name.isEmpty() && !name.endsWith(' '))
            name.append(' ');
        if (name.size() == 79)
            break;
    }
    while (name.endsWith(' '))
        name.chop(1);
    return name.isEmpty() ? QByteArrayLiteral("Custom") : name;
}

// The iCCP chunk's data: the name, its end, the compression method (deflate)
// and the profile compressed in a zlib stream.
bool writeProfile(QIODevice& device, const QColorSpace& profile)
{
    const QByteArray icc = profile.iccProfile();
    if (icc.isEmpty())
        return true;
    QByteArray data = profileName(profile);
    data.append('\0').append('\0');
    uLongf packed = compressBound(uLong(icc.size()));
    std::vector<Byte> bytes(packed);
    if (compress2(bytes.data(), &packed, reinterpret_cast<const Byte*>(icc.constData()), uLong(icc.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        throw std::bad_alloc();
    return writeChunk(device, "iCCP", reinterpret_cast<const Byte*>(data.constData()), size_t(data.size()),
                      bytes.data(), packed);
}

// The sum of the bytes read as signed values, each taken without its sign.
inline quint64 signedSum(const Byte* bytes, qsizetype count)
{
    quint64 sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += quint64(std::abs(int(std::int8_t(bytes[i]))));
    return sum;
}

// The magnitude of each byte read as signed (128 stays 128), summed by halves
// into the two 64-bit lanes of `sum`.
inline __m128i addMagnitudes(__m128i sum, __m128i v)
{
    const __m128i magnitude = _mm_min_epu8(v, _mm_sub_epi8(_mm_setzero_si128(), v));
    return _mm_add_epi64(sum, _mm_sad_epu8(magnitude, _mm_setzero_si128()));
}

inline quint64 lanes(__m128i sum)
{
    return quint64(_mm_cvtsi128_si64(sum)) + quint64(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sum, sum)));
}

// The Paeth predictor of 8 pixels' bytes in 16-bit lanes: of left (a), up (b)
// and up-left (c), the one closest to a + b - c, ties going to a, then b.
inline __m128i paethLanes(__m128i a, __m128i b, __m128i c)
{
    const auto magnitude = [](__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); };
    const __m128i pa = magnitude(_mm_sub_epi16(b, c));
    const __m128i pb = magnitude(_mm_sub_epi16(a, c));
    const __m128i pc = magnitude(_mm_add_epi16(_mm_sub_epi16(b, c), _mm_sub_epi16(a, c)));
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i notB = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_andnot_si128(notB, b), _mm_and_si128(notB, c));
    return _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bOrC));
}

inline int paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The five filters of a row of `count` bytes (3 a pixel), against the row
// above (zeros above the first row): None, Sub, Up, Average and Paeth, each
// written after its type byte into `out[type]`. Returns the type whose bytes,
// read as signed, have the least sum of magnitudes: the usual cheap guess at
// the one deflate codes smallest. With x a byte, a the one on its left (0 for
// the first pixel), b the one above and c above on the left, the plain loop is
//     sub = x - a, up = x - b, average = x - (a + b) / 2, paeth = x - paethPredictor(a, b, c)
// which runs here on 16 bytes at a time, then one by one for the last few.
int filterRow(const Byte* row, const Byte* above, qsizetype count, Byte* const out[5])
{
    Byte* const none = out[0] + 1;
    Byte* const sub = out[1] + 1;
    Byte* const up = out[2] + 1;
    Byte* const average = out[3] + 1;
    Byte* const paeth = out[4] + 1;
    std::memcpy(none, row, size_t(count));
    qsizetype i = 0;
    for (; i < std::min<qsizetype>(3, count); ++i) {
        sub[i] = row[i];
        up[i] = Byte(row[i] - above[i]);
        average[i] = Byte(row[i] - (above[i] >> 1));
        paeth[i] = Byte(row[i] - above[i]);
    }
    quint64 sums[5] = {signedSum(none, count), signedSum(sub, i), signedSum(up, i), signedSum(average, i),
                       signedSum(paeth, i)};
    __m128i sum[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    const __m128i one = _mm_set1_epi8(1);
    for (; i + 16 <= count; i += 16) {
        const auto load = [](const Byte* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
        const __m128i x = load(row + i), a = load(row + i - 3), b = load(above + i), c = load(above + i - 3);
        const __m128i s = _mm_sub_epi8(x, a);
        const __m128i u = _mm_sub_epi8(x, b);
        // _mm_avg_epu8 rounds up: one less when a + b is odd.
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        const __m128i v = _mm_sub_epi8(x, mean);
        const __m128i zero = _mm_setzero_si128();
        const __m128i low =
            paethLanes(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
        const __m128i high =
            paethLanes(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
        const __m128i p = _mm_sub_epi8(x, _mm_packus_epi16(low, high));
        const auto store = [](Byte* at, __m128i value) { _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value); };
        store(sub + i, s);
        store(up + i, u);
        store(average + i, v);
        store(paeth + i, p);
        sum[0] = addMagnitudes(sum[0], s);
        sum[1] = addMagnitudes(sum[1], u);
        sum[2] = addMagnitudes(sum[2], v);
        sum[3] = addMagnitudes(sum[3], p);
    }
    const qsizetype rest = i;
    for (; i < count; ++i) {
        const int a = row[i - 3], b = above[i], c = above[i - 3];
        sub[i] = Byte(row[i] - a);
        up[i] = Byte(row[i] - b);
        average[i] = Byte(row[i] - ((a + b) >> 1));
        paeth[i] = Byte(row[i] - paethPredictor(a, b, c));
    }
    for (int type = 1; type < 5; ++type)
        sums[type] += lanes(sum[type - 1]) + signedSum(out[type] + 1 + rest, count - rest);
    int best = 0;
    for (int type = 1; type < 5; ++type)
        if (sums[type] < sums[best])
            best = type;
    out[best][0] = Byte(best);
    return best;
}

// One band's compressed bytes, from the filtered rows y0 to y1 - 1.
struct Band {
    std::vector<Byte> bytes;
    size_t used = 0;
    uLong adler = 1; // of the filtered rows
    qint64 rawBytes = 0;
    bool done = false;
};

// What one core needs to filter and compress bands: its raw deflate stream
// and its rows (the row above and this one in PNG order, red first, and the
// five filtered candidates).
class BandCompressor {
public:
    explicit BandCompressor(int width) : count_(3 * qsizetype(width))
    {
        rows_.resize(size_t(2 * count_ + 5 * (count_ + 1)));
        if (deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, -15, 8, kDeflateStrategy) != Z_OK)
            throw std::bad_alloc();
    }
    ~BandCompressor() { deflateEnd(&stream_); }
    BandCompressor(const BandCompressor&) = delete;
    BandCompressor& operator=(const BandCompressor&) = delete;

    // Filters and compresses rows y0 to y1 - 1 of the picture into `band`,
    // ended so that the next band's bytes follow on (the last band ends the
    // stream). Throws std::bad_alloc.
    void Compress(const Byte* bits, qsizetype stride, int y0, int y1, bool last, Band& band)
    {
        deflateReset(&stream_);
        Byte* above = rows_.data();
        Byte* row = above + count_;
        Byte* const out[5] = {row + count_, row + count_ + (count_ + 1), row + count_ + 2 * (count_ + 1),
                              row + count_ + 3 * (count_ + 1), row + count_ + 4 * (count_ + 1)};
        if (y0 > 0)
            toRgb(bits + qsizetype(y0 - 1) * stride, above);
        else
            std::memset(above, 0, size_t(count_));
        const size_t bound = deflateBound(&stream_, uLong(qint64(y1 - y0) * (count_ + 1))) + 64;
        if (band.bytes.size() < bound)
            band.bytes.resize(bound);
        band.used = 0;
        band.adler = adler32(0, nullptr, 0);
        band.rawBytes = qint64(y1 - y0) * (count_ + 1);
        for (int y = y0; y < y1; ++y) {
            toRgb(bits + qsizetype(y) * stride, row);
            const Byte* filtered = out[filterRow(row, above, count_, out)];
            band.adler = adler32_z(band.adler, filtered, size_t(count_ + 1));
            deflateInto(band, filtered, y + 1 < y1 ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH);
            std::swap(above, row);
        }
    }

private:
    void toRgb(const Byte* bgr, Byte* rgb) const
    {
        for (qsizetype i = 0; i < count_; i += 3) {
            rgb[i] = bgr[i + 2];
            rgb[i + 1] = bgr[i + 1];
            rgb[i + 2] = bgr[i];
        }
    }

    void deflateInto(Band& band, const Byte* data, int flush)
    {
        stream_.next_in = const_cast<Byte*>(data);
        stream_.avail_in = uInt(count_ + 1);
        for (;;) {
            if (band.used == band.bytes.size())
                band.bytes.resize(band.bytes.size() + band.bytes.size() / 2 + 4096);
            stream_.next_out = band.bytes.data() + band.used;
            stream_.avail_out = uInt(std::min<size_t>(band.bytes.size() - band.used, 1u << 30));
            const int result = deflate(&stream_, flush);
            band.used = size_t(stream_.next_out - band.bytes.data());
            if (result == Z_STREAM_ERROR)
                throw std::bad_alloc();
            // Finished when every byte went in and, for a flush, all came out.
            if (flush == Z_FINISH ? result == Z_STREAM_END : stream_.avail_in == 0 && stream_.avail_out != 0)
                return;
        }
    }

    qsizetype count_;
    std::vector<Byte> rows_;
    z_stream stream_{};
};

// The bands of one picture, compressed by every core and written in order by
// the calling thread. A band is taken only when its slot is free: at most
// twice as many bands as cores are in memory at once.
class BandedWrite {
public:
    BandedWrite(QIODevice& device, const QImage& image)
        : device_(device),
          bits_(image.constBits()),
          stride_(image.bytesPerLine()),
          width_(image.width()),
          height_(image.height())
    {
        const qsizetype rowBytes = 3 * qsizetype(width_) + 1;
        bandRows_ = int(std::clamp<qsizetype>(kBandBytes / rowBytes, 1, height_));
        bands_ = (height_ + bandRows_ - 1) / bandRows_;
        cores_ = int(std::max(1u, std::thread::hardware_concurrency()));
        slots_ = std::vector<Band>(size_t(std::min(2 * cores_, bands_)));
    }

    // False when the device refused a write. Throws std::bad_alloc.
    bool Run()
    {
        std::vector<std::thread> helpers;
        for (int i = 1; i < cores_ && i < bands_; ++i) {
            try {
                helpers.emplace_back([this] { help(); });
            } catch (const std::system_error&) {
                break; // fewer cores do the same work
            }
        }
        bool written = false;
        bool outOfMemory = false;
        try {
            written = writeBands();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& helper : helpers)
            helper.join();
        if (outOfMemory || failed_)
            throw std::bad_alloc();
        return written;
    }

private:
    // Under the lock: the next band to compress, or -1 when none may start yet.
    int claim()
    {
        if (claimed_ >= bands_ || claimed_ >= written_ + int(slots_.size()))
            return -1;
        return claimed_++;
    }

    void compress(BandCompressor& compressor, int band)
    {
        const int y0 = band * bandRows_;
        const int y1 = std::min(height_, y0 + bandRows_);
        compressor.Compress(bits_, stride_, y0, y1, band + 1 == bands_, slots_[size_t(band) % slots_.size()]);
    }

    // A helper thread: compresses bands until none is left or the write stops.
    void help()
    {
        std::unique_lock lock(mutex_);
        try {
            BandCompressor compressor(width_);
            while (!stop_ && !failed_ && claimed_ < bands_) {
                const int band = claim();
                if (band < 0) {
                    changed_.wait(lock);
                    continue;
                }
                lock.unlock();
                compress(compressor, band);
                lock.lock();
                slots_[size_t(band) % slots_.size()].done = true;
                changed_.notify_all();
            }
        } catch (const std::bad_alloc&) {
            if (!lock.owns_lock())
                lock.lock();
            failed_ = true;
            changed_.notify_all();
        }
    }

    // The calling thread writes each band as soon as it is done, and
    // compresses one itself while it waits.
    bool writeBands()
    {
        BandCompressor compressor(width_);
        uLong adler = adler32(0, nullptr, 0);
        std::unique_lock lock(mutex_);
        while (written_ < bands_) {
            if (failed_)
                return false;
            Band& next = slots_[size_t(written_) % slots_.size()];
            if (next.done) {
                lock.unlock();
                adler = adler32_combine(adler, next.adler, z_off_t(next.rawBytes));
                Byte check[4];
                putBig32(check, quint32(adler));
                const bool first = written_ == 0, last = written_ + 1 == bands_;
                if (!writeChunk(device_, "IDAT", kZlibHeader, first ? 2 : 0, next.bytes.data(), next.used, check,
                                last ? 4 : 0))
                    return false;
                lock.lock();
                next.done = false;
                ++written_;
                changed_.notify_all();
                continue;
            }
            const int band = claim();
            if (band < 0) {
                changed_.wait(lock);
                continue;
            }
            lock.unlock();
            compress(compressor, band);
            lock.lock();
            slots_[size_t(band) % slots_.size()].done = true;
            changed_.notify_all();
        }
        return true;
    }

    QIODevice& device_;
    const Byte* bits_;
    qsizetype stride_;
    int width_, height_;
    int bandRows_ = 1, bands_ = 1, cores_ = 1;
    std::vector<Band> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int claimed_ = 0; // bands taken by a core
    int written_ = 0; // bands written, in order
    bool stop_ = false;
    bool failed_ = false; // a helper ran out of memory
};

// ---------------------------------------------------------------------------
// Reading

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
        RefuseBmp(fileName, QStringLiteral("mémoire insuffisante."));
    RefuseBmp(fileName, QStringLiteral("le fichier est endommagé ou tronqué."));
}

} // namespace

bool WritePng(QIODevice& device, const QImage& image, const QColorSpace& profile)
{
    Q_ASSERT(image.format() == QImage::Format_BGR888);
    static constexpr Byte kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (device.write(reinterpret_cast<const char*>(kSignature), 8) != 8)
        return false;
    // Width, height, 8 bits a channel, RGB, deflate, adaptive filters, not interlaced.
    Byte header[13] = {0, 0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0, 0};
    putBig32(header, quint32(image.width()));
    putBig32(header + 4, quint32(image.height()));
    if (!writeChunk(device, "IHDR", header, 13, nullptr, 0))
        return false;
    if (profile.isValid() && !writeProfile(device, profile))
        return false;
    if (!BandedWrite(device, image).Run())
        return false;
    return writeChunk(device, "IEND", nullptr, 0, nullptr, 0);
}

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
