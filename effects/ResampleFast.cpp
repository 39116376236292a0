// The program's resize: the sums of the plain loops in Resample.cpp, each
// started at zero and added to tap after tap in the same order, so the same
// bytes; but four channels at a time in vector registers, and the result's
// rows shared among threads.
//
// Vertically first, each result row y is
//   column[i] = sum over k of down[y].weights[k] x source row (down[y].first + k) byte i
//   channel c of pixel x = sum over k of across[x].weights[k] x column[3 (across[x].first + k) + c]
// and horizontally first, each source row j is resampled across into a float
// row as above, and result row y is
//   byte i = sum over k of down[y].weights[k] x float row (down[y].first + k) value i.
// The float rows a band of result rows needs are kept in a ring, each made once.
#include "effects/Bands.h"
#include "effects/Geometry.h"
#include "effects/Resample.h"
#include "raster/HugePages.h"

#include <algorithm>
#include <emmintrin.h>
#include <vector>

namespace effects {

namespace {

using resample::Taps;
using resample::ToByte;

// The taps of a whole line side by side, for the inner loops.
struct Line {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> start; // into weights
    std::vector<float> weights;
    std::size_t most = 0; // the largest count
};

Line lineOf(const std::vector<Taps>& taps)
{
    Line line;
    for (const Taps& t : taps) {
        line.first.push_back(t.first);
        line.count.push_back(int(t.weights.size()));
        line.start.push_back(line.weights.size());
        line.weights.insert(line.weights.end(), t.weights.begin(), t.weights.end());
        line.most = std::max(line.most, t.weights.size());
    }
    return line;
}

// out[i] = sum over k of weights[k] x rows[k][i], for i < n: 16 bytes at a time.
void sumByteRows(const std::uint8_t* const* rows, const float* weights, int taps, std::size_t n, float* out)
{
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128 a0 = _mm_setzero_ps();
        __m128 a1 = _mm_setzero_ps();
        __m128 a2 = _mm_setzero_ps();
        __m128 a3 = _mm_setzero_ps();
        for (int k = 0; k < taps; ++k) {
            const __m128 w = _mm_set1_ps(weights[k]);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i));
            const __m128i lo = _mm_unpacklo_epi8(v, zero);
            const __m128i hi = _mm_unpackhi_epi8(v, zero);
            a0 = _mm_add_ps(a0, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero))));
            a1 = _mm_add_ps(a1, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero))));
            a2 = _mm_add_ps(a2, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero))));
            a3 = _mm_add_ps(a3, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero))));
        }
        _mm_storeu_ps(out + i, a0);
        _mm_storeu_ps(out + i + 4, a1);
        _mm_storeu_ps(out + i + 8, a2);
        _mm_storeu_ps(out + i + 12, a3);
    }
    for (; i < n; ++i) {
        float sum = 0;
        for (int k = 0; k < taps; ++k)
            sum += weights[k] * float(rows[k][i]);
        out[i] = sum;
    }
}

// The same over float rows.
void sumFloatRows(const float* const* rows, const float* weights, int taps, std::size_t n, float* out)
{
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128 a0 = _mm_setzero_ps();
        __m128 a1 = _mm_setzero_ps();
        for (int k = 0; k < taps; ++k) {
            const __m128 w = _mm_set1_ps(weights[k]);
            a0 = _mm_add_ps(a0, _mm_mul_ps(w, _mm_loadu_ps(rows[k] + i)));
            a1 = _mm_add_ps(a1, _mm_mul_ps(w, _mm_loadu_ps(rows[k] + i + 4)));
        }
        _mm_storeu_ps(out + i, a0);
        _mm_storeu_ps(out + i + 4, a1);
    }
    for (; i < n; ++i) {
        float sum = 0;
        for (int k = 0; k < taps; ++k)
            sum += weights[k] * rows[k][i];
        out[i] = sum;
    }
}

// Pixel x of `out` = sum over its taps of weight x pixel of `in`, the three
// channels in one register. Both rows hold one float past their last pixel,
// which the four-float loads and stores reach.
void sumAcross(const float* in, const Line& across, float* out)
{
    const std::size_t width = across.first.size();
    for (std::size_t x = 0; x < width; ++x) {
        const float* p = in + 3 * std::size_t(across.first[x]);
        const float* w = across.weights.data() + across.start[x];
        __m128 sum = _mm_setzero_ps();
        for (int k = 0; k < across.count[x]; ++k, p += 3)
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(w[k]), _mm_loadu_ps(p)));
        _mm_storeu_ps(out + 3 * x, sum);
    }
}

void toFloats(const std::uint8_t* in, std::size_t n, float* out)
{
    for (std::size_t i = 0; i < n; ++i)
        out[i] = float(in[i]);
}

// ToByte of each value, 16 at a time: clamped to 0 to 255, plus one half,
// truncated.
void toBytes(const float* in, std::size_t n, std::uint8_t* out)
{
    const __m128 low = _mm_setzero_ps();
    const __m128 high = _mm_set1_ps(255.0f);
    const __m128 half = _mm_set1_ps(0.5f);
    const auto word = [&](const float* p) {
        return _mm_cvttps_epi32(_mm_add_ps(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(p), low), high), half));
    };
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i lo = _mm_packs_epi32(word(in + i), word(in + i + 4));
        const __m128i hi = _mm_packs_epi32(word(in + i + 8), word(in + i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    for (; i < n; ++i)
        out[i] = ToByte(in[i]);
}

struct Job {
    const TBitmap* bitmap;
    QImage* result;
    // The result's rows, reached without QImage::scanLine, which is no call for threads.
    std::uint8_t* bits;
    qsizetype stride;
    Line across;
    Line down;
    bool verticalFirst;
};

// Float rows for one band; null when there is no memory.
struct Work {
    LargeBuffer<float> first; // the float row between both passes, or the ring
    LargeBuffer<float> second; // the result row in floats
    std::vector<const std::uint8_t*> byteRows; // the rows of one result row's sum
    std::vector<const float*> floatRows;
};

std::size_t firstFloats(const Job& job)
{
    const std::size_t source = 3 * std::size_t(job.bitmap->Width()) + 1;
    const std::size_t across = 3 * job.across.first.size() + 1;
    // Horizontally first: the ring, then the source row in floats.
    return job.verticalFirst ? source : job.down.most * across + source;
}

bool prepare(const Job& job, Work& work)
{
    work.first = AllocateLargeArray<float>(firstFloats(job));
    work.second = AllocateLargeArray<float>(3 * std::size_t(job.result->width()) + 1);
    if (job.verticalFirst)
        work.byteRows.resize(job.down.most);
    else
        work.floatRows.resize(job.down.most);
    return work.first && work.second;
}

void verticalFirstBand(const Job& job, Work& work, int top, int bottom)
{
    const std::size_t sourceValues = 3 * std::size_t(job.bitmap->Width());
    const std::size_t resultValues = 3 * std::size_t(job.result->width());
    float* column = work.first.get();
    float* row = work.second.get();
    column[sourceValues] = 0;
    const std::uint8_t** rows = work.byteRows.data();
    for (int y = top; y < bottom; ++y) {
        const int taps = job.down.count[std::size_t(y)];
        for (int k = 0; k < taps; ++k)
            rows[k] = job.bitmap->ScanLine(job.down.first[std::size_t(y)] + k);
        sumByteRows(rows, job.down.weights.data() + job.down.start[std::size_t(y)], taps, sourceValues, column);
        sumAcross(column, job.across, row);
        toBytes(row, resultValues, job.bits + y * job.stride);
    }
}

void horizontalFirstBand(const Job& job, Work& work, int top, int bottom)
{
    const std::size_t sourceValues = 3 * std::size_t(job.bitmap->Width());
    const std::size_t resultValues = 3 * std::size_t(job.result->width());
    const std::size_t kept = job.down.most;
    // The ring: source row j resampled across lies in slot j % kept.
    float* ring = work.first.get();
    float* source = ring + kept * (resultValues + 1);
    source[sourceValues] = 0;
    float* row = work.second.get();
    const float** rows = work.floatRows.data();
    int made = -1; // the last source row in the ring
    for (int y = top; y < bottom; ++y) {
        const int first = job.down.first[std::size_t(y)];
        const int taps = job.down.count[std::size_t(y)];
        for (int j = std::max(made + 1, first); j < first + taps; ++j) {
            toFloats(job.bitmap->ScanLine(j), sourceValues, source);
            sumAcross(source, job.across, ring + std::size_t(j) % kept * (resultValues + 1));
        }
        made = std::max(made, first + taps - 1);
        for (int k = 0; k < taps; ++k)
            rows[k] = ring + std::size_t(first + k) % kept * (resultValues + 1);
        sumFloatRows(rows, job.down.weights.data() + job.down.start[std::size_t(y)], taps, resultValues, row);
        toBytes(row, resultValues, job.bits + y * job.stride);
    }
}

void band(const Job& job, Work& work, int top, int bottom)
{
    if (job.verticalFirst)
        verticalFirstBand(job, work, top, bottom);
    else
        horizontalFirstBand(job, work, top, bottom);
}

} // namespace

QImage Resize(const TBitmap& bitmap, int width, int height, ResampleFilter filter)
{
    QImage result = NewResultImage(width, height);
    if (result.isNull() || bitmap.Width() <= 0 || bitmap.Height() <= 0)
        return QImage();
    if (filter == ResampleFilter::Nearest)
        return resample::Nearest(bitmap, std::move(result));
    const std::vector<Taps> across = resample::TapsFor(bitmap.Width(), width, filter);
    const std::vector<Taps> down = resample::TapsFor(bitmap.Height(), height, filter);
    const Job job{&bitmap,
                  &result,
                  result.bits(),
                  result.bytesPerLine(),
                  lineOf(across),
                  lineOf(down),
                  resample::VerticalFirst(bitmap.Width(), bitmap.Height(), across, down)};
    // A band for every 200,000 taps at least.
    double taps = 0;
    for (const int count : job.down.count)
        taps += count;
    const int bands =
        bands::Count(height, taps * bitmap.Width() + double(height) * double(job.across.weights.size()), 2e5);
    std::vector<Work> work(static_cast<std::size_t>(bands));
    for (Work& w : work)
        if (!prepare(job, w))
            return QImage();
    bands::Run(height, bands, [&](int b, int top, int bottom) { band(job, work[std::size_t(b)], top, bottom); });
    return result;
}

} // namespace effects
