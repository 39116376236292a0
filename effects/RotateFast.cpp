// The program's rotation. It computes what the plain loop in Rotate.cpp does,
// for each result pixel (x, y) and channel c:
//   sx = x0 + x cos + y sin, sy = y0 - x sin + y cos,
//   sum over j, i in 0..3 of wy[j] wx[i] source(floor(sx) - 1 + i, floor(sy) - 1 + j, c),
// with the cubic weights of the fractions of sx and sy and `fill` outside the
// source, rounded and clamped; within one level of it. Pixels whose 4 x 4
// source pixels all lie inside take the vector path below; the others, along
// the source's edges, the plain loop's own sampling, and those whose source
// pixels all lie outside the fill. Rows are shared among threads, and each
// thread goes through its rows in tiles of 64 x 64 result pixels.
//
// Along a row, sx and sy are stepped in 32.32 fixed point, and the fractions
// and their weights worked out four pixels at a time. Doing two pixels at once
// in 256-bit registers (AVX2) measured no faster: the loads wait on memory.
//
// The vector path sums the four rows first, in 32-bit integers: the vertical
// weights are rounded to 1/16384 and made to add up to exactly 16384, so that
// a uniform image stays uniform. The 12 bytes of the four pixels of each row
// are paired with the next row's and multiplied and added pairwise
// (_mm_madd_epi16), which gives the 12 column sums of the 4 x 4 block in three
// registers; these are then weighted across in float.
#include "effects/Bands.h"
#include "effects/Geometry.h"
#include "effects/RotateMap.h"

#include <algorithm>
#include <cmath>
#include <emmintrin.h>
#include <vector>
#include <xmmintrin.h>

namespace effects {

namespace {

constexpr int kOne = 1 << 14; // the vertical weights' unit

struct Job {
    const TBitmap* bitmap;
    rotation::Map map;
    std::uint8_t fill[3];
    // The result's rows, reached without QImage::scanLine, which is no call for threads.
    std::uint8_t* bits;
    qsizetype stride;
};

// The positions and weights of up to kChunk pixels of a row, worked out
// together, four pixels at a time.
constexpr int kChunk = 64;
struct Chunk {
    alignas(16) int ix[kChunk];
    alignas(16) int iy[kChunk];
    alignas(16) float across[kChunk][4]; // over kOne
    alignas(16) std::int32_t down01[kChunk]; // the first two vertical weights, 16 bits each
    alignas(16) std::int32_t down23[kChunk];
};

// Keys' cubic (a = -0.5) within one pixel and between one and two, as in
// rotation::CubicWeights.
inline __m128 nearWeight(__m128 d)
{
    return _mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_mul_ps(_mm_set1_ps(1.5f), d), _mm_set1_ps(2.5f)), _mm_mul_ps(d, d)),
                      _mm_set1_ps(1.0f));
}
inline __m128 farWeight(__m128 d)
{
    const __m128 t = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(-0.5f), d), _mm_set1_ps(2.5f));
    return _mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_mul_ps(t, d), _mm_set1_ps(4.0f)), d), _mm_set1_ps(2.0f));
}

// The weights of pixels 1 + f, f, 1 - f and 2 - f away, for four fractions f:
// w[k] holds weight k of each.
inline void cubicWeights(__m128 f, __m128 w[4])
{
    const __m128 one = _mm_set1_ps(1.0f);
    w[0] = farWeight(_mm_add_ps(one, f));
    w[1] = nearWeight(f);
    w[2] = nearWeight(_mm_sub_ps(one, f));
    w[3] = farWeight(_mm_sub_ps(_mm_set1_ps(2.0f), f));
}

// Positions in 32.32 fixed point: the high 32 bits are the pixel, the
// fraction the weights'. Stepping along a chunk by whole multiples of the step
// drifts by less than 2^-26 pixel.
constexpr double kFixed = 4294967296.0; // 2^32

// The pixels and fractions of four positions held as 64-bit fixed-point numbers.
void split(__m128i first2, __m128i last2, __m128i& pixel, __m128& fraction)
{
    const __m128 a = _mm_castsi128_ps(first2);
    const __m128 b = _mm_castsi128_ps(last2);
    pixel = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    // The low halves are unsigned: one bit less makes them positive.
    const __m128i low = _mm_srli_epi32(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))), 1);
    fraction = _mm_mul_ps(_mm_cvtepi32_ps(low), _mm_set1_ps(1.0f / 2147483648.0f));
}

// Positions and weights of `count` pixels from (sx, sy), stepping by (dx, dy).
void weigh(Chunk& chunk, int count, double sx, double sy, double dx, double dy)
{
    const auto fixed = [](double v) { return qint64(std::llround(v * kFixed)); };
    const qint64 stepX = fixed(dx);
    const qint64 stepY = fixed(dy);
    __m128i x01 = _mm_set_epi64x(fixed(sx) + stepX, fixed(sx));
    __m128i x23 = _mm_add_epi64(x01, _mm_set1_epi64x(2 * stepX));
    __m128i y01 = _mm_set_epi64x(fixed(sy) + stepY, fixed(sy));
    __m128i y23 = _mm_add_epi64(y01, _mm_set1_epi64x(2 * stepY));
    const __m128i fourX = _mm_set1_epi64x(4 * stepX);
    const __m128i fourY = _mm_set1_epi64x(4 * stepY);
    const __m128 unit = _mm_set1_ps(float(kOne));
    const __m128 perUnit = _mm_set1_ps(1.0f / float(kOne));
    const __m128i low = _mm_set1_epi32(0xFFFF);
    for (int i = 0; i < count; i += 4) {
        __m128i pixel;
        __m128 fraction;
        __m128 w[4];
        split(x01, x23, pixel, fraction);
        _mm_store_si128(reinterpret_cast<__m128i*>(chunk.ix + i), pixel);
        cubicWeights(fraction, w);
        _MM_TRANSPOSE4_PS(w[0], w[1], w[2], w[3]);
        for (int k = 0; k < 4; ++k)
            _mm_store_ps(chunk.across[i + k], _mm_mul_ps(w[k], perUnit));

        split(y01, y23, pixel, fraction);
        _mm_store_si128(reinterpret_cast<__m128i*>(chunk.iy + i), pixel);
        cubicWeights(fraction, w);
        __m128i q[4];
        for (int k = 0; k < 4; ++k)
            q[k] = _mm_cvtps_epi32(_mm_mul_ps(w[k], unit));
        // The rounding error goes to the second weight, so that they add up to kOne.
        const __m128i sum = _mm_add_epi32(_mm_add_epi32(q[0], q[1]), _mm_add_epi32(q[2], q[3]));
        q[1] = _mm_add_epi32(q[1], _mm_sub_epi32(_mm_set1_epi32(kOne), sum));
        _mm_store_si128(reinterpret_cast<__m128i*>(chunk.down01 + i),
                        _mm_or_si128(_mm_slli_epi32(q[1], 16), _mm_and_si128(q[0], low)));
        _mm_store_si128(reinterpret_cast<__m128i*>(chunk.down23 + i),
                        _mm_or_si128(_mm_slli_epi32(q[3], 16), _mm_and_si128(q[2], low)));
        x01 = _mm_add_epi64(x01, fourX);
        x23 = _mm_add_epi64(x23, fourX);
        y01 = _mm_add_epi64(y01, fourY);
        y23 = _mm_add_epi64(y23, fourY);
    }
}

// Source pixels (ix - 1 .. ix + 2, iy - 1 .. iy + 2), 16 bytes readable from
// each row's first one, weighed by pixel i of the chunk.
void sampleInside(const std::uint8_t* block, qsizetype stride, const Chunk& chunk, int i, std::uint8_t* out)
{
    const __m128i w01 = _mm_set1_epi32(chunk.down01[i]);
    const __m128i w23 = _mm_set1_epi32(chunk.down23[i]);
    const __m128i zero = _mm_setzero_si128();
    const auto load = [&](int j) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + j * stride)); };
    // Bytes of rows j and j + 1 side by side, then as 16-bit pairs.
    const __m128i a01 = _mm_unpacklo_epi8(load(0), load(1));
    const __m128i b01 = _mm_unpackhi_epi8(load(0), load(1));
    const __m128i a23 = _mm_unpacklo_epi8(load(2), load(3));
    const __m128i b23 = _mm_unpackhi_epi8(load(2), load(3));
    const auto columns = [&](__m128i words01, __m128i words23) {
        return _mm_cvtepi32_ps(_mm_add_epi32(_mm_madd_epi16(words01, w01), _mm_madd_epi16(words23, w23)));
    };
    // Columns of the block: v0 = b0 g0 r0 b1, v1 = g1 r1 b2 g2, v2 = r2 b3 g3 r3.
    const __m128 v0 = columns(_mm_unpacklo_epi8(a01, zero), _mm_unpacklo_epi8(a23, zero));
    const __m128 v1 = columns(_mm_unpackhi_epi8(a01, zero), _mm_unpackhi_epi8(a23, zero));
    const __m128 v2 = columns(_mm_unpacklo_epi8(b01, zero), _mm_unpacklo_epi8(b23, zero));

    const __m128 wx = _mm_load_ps(chunk.across[i]);
    const __m128 q0 = _mm_mul_ps(v0, _mm_shuffle_ps(wx, wx, _MM_SHUFFLE(1, 0, 0, 0)));
    const __m128 q1 = _mm_mul_ps(v1, _mm_shuffle_ps(wx, wx, _MM_SHUFFLE(2, 2, 1, 1)));
    const __m128 q2 = _mm_mul_ps(v2, _mm_shuffle_ps(wx, wx, _MM_SHUFFLE(3, 3, 3, 2)));
    // Blue, green and red of pixel i lie at lanes 3i to 3i + 2 of q0 q1 q2:
    // bring pixels 1, 2 and 3 to the lanes of pixel 0 and add.
    const __m128 p1 = _mm_castsi128_ps(
        _mm_or_si128(_mm_srli_si128(_mm_castps_si128(q0), 12), _mm_slli_si128(_mm_castps_si128(q1), 4)));
    const __m128 p2 = _mm_shuffle_ps(q1, q2, _MM_SHUFFLE(1, 0, 3, 2));
    const __m128 p3 = _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(q2), 4));
    const __m128 sum = _mm_add_ps(_mm_add_ps(q0, p1), _mm_add_ps(p2, p3));

    const __m128 clamped = _mm_min_ps(_mm_max_ps(sum, _mm_setzero_ps()), _mm_set1_ps(255.0f));
    const __m128i words = _mm_cvttps_epi32(_mm_add_ps(clamped, _mm_set1_ps(0.5f)));
    const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(words, words), zero));
    out[0] = std::uint8_t(bytes);
    out[1] = std::uint8_t(bytes >> 8);
    out[2] = std::uint8_t(bytes >> 16);
}

void band(const Job& job, int top, int bottom)
{
    const TBitmap& bitmap = *job.bitmap;
    const rotation::Map& map = job.map;
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const qsizetype stride = bitmap.BytesPerLine();
    Chunk chunk;
    // Tiles of kChunk x kChunk result pixels: the source pixels a tile reads
    // stay in the cache from one of its rows to the next, whereas a whole
    // result row crosses thousands of source rows at a slant.
    for (int y0 = top; y0 < bottom; y0 += kChunk) {
        for (int x0 = 0; x0 < map.size.width(); x0 += kChunk) {
            const int count = std::min(kChunk, map.size.width() - x0);
            for (int y = y0; y < std::min(bottom, y0 + kChunk); ++y) {
                const double rowX = map.x0 + y * map.sin;
                const double rowY = map.y0 + y * map.cos;
                weigh(chunk, count, rowX + x0 * map.cos, rowY - x0 * map.sin, map.cos, -map.sin);
                std::uint8_t* out = job.bits + y * job.stride + 3 * qsizetype(x0);
                for (int i = 0; i < count; ++i, out += 3) {
                    const int ix = chunk.ix[i];
                    const int iy = chunk.iy[i];
                    // 16 bytes from pixel ix - 1 stay within the row up to ix = width - 5.
                    if (ix >= 1 && ix <= width - 5 && iy >= 1 && iy <= height - 3)
                        sampleInside(bitmap.ScanLine(iy - 1) + 3 * std::size_t(ix - 1), stride, chunk, i, out);
                    else if (ix + 2 < 0 || ix - 1 >= width || iy + 2 < 0 || iy - 1 >= height)
                        std::copy(job.fill, job.fill + 3, out);
                    else
                        rotation::Sample(bitmap, rowX + (x0 + i) * map.cos, rowY - (x0 + i) * map.sin, job.fill, out);
                }
            }
        }
    }
}

} // namespace

QImage Rotate(const TBitmap& bitmap, double degrees, TColor fill)
{
    const QSize size = RotatedSize(bitmap.Width(), bitmap.Height(), degrees);
    if (size.isEmpty())
        return QImage();
    if (rotation::QuarterTurns(degrees))
        return rotation::Turned(bitmap, degrees);
    QImage result = NewResultImage(size.width(), size.height());
    if (result.isNull())
        return result;
    const Job job{&bitmap,
                  rotation::MapFor(bitmap.Width(), bitmap.Height(), degrees, size),
                  {GetBValue(fill), GetGValue(fill), GetRValue(fill)},
                  result.bits(),
                  result.bytesPerLine()};
    const int bands = bands::Count(size.height(), double(size.width()) * size.height(), 4096);
    bands::Run(size.height(), bands, [&job](int, int top, int bottom) { band(job, top, bottom); });
    return result;
}

} // namespace effects
