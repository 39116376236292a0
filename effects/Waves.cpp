#include "effects/Waves.h"

#include "raster/HugePages.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace effects {

namespace {

// The period factor, a little above 2 pi, as the double nearest this decimal.
constexpr double kPeriod = 6.2831885307;
// The row-phase divisor factor: the extended value nearest 2/3.
constexpr long double kRowPhase = static_cast<long double>(2) / 3;

// Target row of source row y in a column whose sine times the amplitude is
// `wave`. The sum is rounded to the extended type before it is truncated, so
// for a column whose wave lies a hair from a whole number the shift can differ
// between low and high rows (see VagueY).
int waveRow(long double wave, int y) { return static_cast<int>(wave + y); }

// The sine of column x times the amplitude, in extended precision. The product
// of a double and an amplitude below 2^11 is exact.
long double columnWave(int x, int width, int amplitude)
{
    const long double theta = static_cast<long double>(3 * x) * kPeriod / static_cast<long double>(3 * width);
    return static_cast<long double>(std::sin(static_cast<double>(theta))) * amplitude;
}

// A run of neighbouring columns that all move by the same number of rows.
struct ColumnRun {
    std::size_t offset; // byte offset of the first column in a row
    std::size_t bytes; // 3 x the number of columns
    int shift; // rows down (negative: up)
};

// Copies the pixels of a run between two different rows. Runs are a few
// pixels wide, too short for a call to memcpy to pay, so they go in copies of
// a fixed size, which compile to single loads and stores; every access stays
// within the run, overlapping where the length is not a whole number of them.
inline void copyRun(std::uint8_t* target, const std::uint8_t* source, std::size_t bytes)
{
    if (bytes >= 16) {
        for (std::size_t i = 0; i + 16 < bytes; i += 16)
            std::memcpy(target + i, source + i, 16);
        std::memcpy(target + bytes - 16, source + bytes - 16, 16);
    } else if (bytes >= 8) {
        std::memcpy(target, source, 8);
        std::memcpy(target + bytes - 8, source + bytes - 8, 8);
    } else {
        // 3 or 6 bytes.
        std::memcpy(target, source, 3);
        std::memcpy(target + bytes - 3, source + bytes - 3, 3);
    }
}

} // namespace

// The plain loop it computes, with A = Height / 16: for each column x,
//     wave = (long double)sin(3x x 6.2831885307 / 3W) x A,
// and for each source row y from A to Height - A - 1, pixel (x, (int)(wave + y))
// of the result takes pixel (x, y) of the image as it was; positions that no
// source reaches keep their pixel.
void VagueY(TBitmap& bitmap)
{
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const int amplitude = height >> 4;
    // Below 16 rows the wave has no amplitude and every pixel stays in place.
    if (width == 0 || amplitude == 0)
        return;
    const int firstSource = amplitude; // source rows used: firstSource ...
    const int endSource = height - amplitude; // ... endSource - 1

    // The shift of a column comes from the sum wave + y rounded to the extended
    // type. Rounding can lift that sum onto the next whole number only when the
    // wave lies within half a unit in the last place of it (2^-50 at most, the
    // sum being below 2^15), and that unit grows with y, so within a column the
    // shift is one value up to some row and one more from there on. Comparing
    // the first and the last source row therefore tells whether a column moves
    // as a whole. A column that does not is unlikely beyond any image anyone
    // will open, but not impossible, and the effect gives the plain loop's
    // bytes in every column: such a column is laid row by row, at the end.
    std::vector<ColumnRun> upRuns;
    std::vector<ColumnRun> downRuns;
    std::vector<int> unevenColumns;
    for (int x = 0; x < width; ++x) {
        const long double wave = columnWave(x, width, amplitude);
        const int shift = waveRow(wave, firstSource) - firstSource;
        if (waveRow(wave, endSource - 1) - (endSource - 1) != shift) {
            unevenColumns.push_back(x);
            continue;
        }
        if (shift == 0)
            continue;
        std::vector<ColumnRun>& runs = shift < 0 ? upRuns : downRuns;
        if (!runs.empty() && runs.back().shift == shift && runs.back().offset + runs.back().bytes == 3 * std::size_t(x))
            runs.back().bytes += 3;
        else
            runs.push_back({3 * std::size_t(x), 3, shift});
    }

    std::vector<std::uint8_t*> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[std::size_t(y)] = bitmap.ScanLine(y);
    std::vector<std::uint8_t> unevenSource(unevenColumns.size() * 3 * std::size_t(height));
    for (std::size_t i = 0; i < unevenColumns.size(); ++i)
        for (int y = 0; y < height; ++y)
            std::memcpy(&unevenSource[(i * height + y) * 3], rows[std::size_t(y)] + 3 * unevenColumns[i], 3);

    // The columns are moved in place. Columns moving up take their pixels
    // from lower rows, so their target rows are written top to bottom, each
    // before it is needed as a source; columns moving down are written bottom
    // to top. The sources of one target row lie in up to 2A + 1 different
    // rows, a pattern the processor does not foresee, so the source of each
    // run a few rows ahead is fetched early.
    constexpr int kFetchAhead = 8;
    auto moveRuns = [&](const std::vector<ColumnRun>& runs, bool up) {
        for (int i = 0; i < height; ++i) {
            const int ty = up ? i : height - 1 - i;
            std::uint8_t* target = rows[std::size_t(ty)];
            for (const ColumnRun& run : runs) {
                const int sy = ty - run.shift;
                // Positions whose source row lies in the unused margins keep their pixel.
                if (sy >= firstSource && sy < endSource)
                    copyRun(target + run.offset, rows[std::size_t(sy)] + run.offset, run.bytes);
                const int ahead = up ? sy + kFetchAhead : sy - kFetchAhead;
                if (ahead >= firstSource && ahead < endSource)
                    __builtin_prefetch(rows[std::size_t(ahead)] + run.offset);
            }
        }
    };
    moveRuns(upRuns, true);
    moveRuns(downRuns, false);

    for (std::size_t i = 0; i < unevenColumns.size(); ++i) {
        const int x = unevenColumns[i];
        const long double wave = columnWave(x, width, amplitude);
        for (int y = firstSource; y < endSource; ++y)
            std::memcpy(rows[std::size_t(waveRow(wave, y))] + 3 * x, &unevenSource[(i * height + y) * 3], 3);
    }
}

void VagueX(TBitmap& bitmap)
{
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const int amplitude = width >> 4;
    const int rowBytes = 3 * width;
    // Source bytes 3A ... 3W - 3A - 1 are used; the A pixels at each end are not.
    const int sourceStart = 3 * amplitude;
    const int sourceBytes = rowBytes - 2 * sourceStart;
    for (int y = 0; y < height; ++y) {
        const long double phi = static_cast<long double>(y) * kPeriod / (static_cast<long double>(height) * kRowPhase);
        // A shift in bytes; the single-precision 3 does not change the value.
        const auto shift =
            static_cast<int>(static_cast<long double>(std::sin(static_cast<double>(phi))) * 3.0f * amplitude);
        // Whole pixels, truncated toward zero, and then one more to the right:
        // pixel 0 is never reached, and a row whose sine is 0 moves by one.
        const int offset = shift - shift % 3 + 3;
        const int targetStart = sourceStart + offset; // at least 3: |shift| <= 3A
        // A pixel that would land past the end of the row is dropped.
        const int bytes = std::min(sourceBytes, rowBytes - targetStart);
        if (bytes <= 0)
            continue;
        std::uint8_t* row = bitmap.ScanLine(y);
        // The row moves as a whole; the positions it leaves keep their pixels.
        std::memmove(row + targetStart, row + sourceStart, std::size_t(bytes));
    }
}

void DoubleVague(TBitmap& bitmap)
{
    VagueX(bitmap);
    VagueY(bitmap);
}

namespace plain {

void VagueY(TBitmap& bitmap)
{
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const int amplitude = height >> 4;
    const std::size_t rowBytes = 3 * std::size_t(width);
    std::vector<std::uint8_t*> rows(static_cast<std::size_t>(height));
    const LargeBuffer<std::uint8_t> source = AllocateLargeArray<std::uint8_t>(rowBytes * std::size_t(height));
    if (!source)
        throw std::bad_alloc();
    for (int y = 0; y < height; ++y) {
        rows[std::size_t(y)] = bitmap.ScanLine(y);
        std::memcpy(source.get() + std::size_t(y) * rowBytes, rows[std::size_t(y)], rowBytes);
    }
    std::vector<long double> waves(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        waves[std::size_t(x)] = columnWave(x, width, amplitude);
    for (int y = amplitude; y < height - amplitude; ++y) {
        const std::uint8_t* from = source.get() + std::size_t(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const int target = static_cast<int>(waves[std::size_t(x)] + y);
            std::memcpy(rows[std::size_t(target)] + 3 * std::size_t(x), from + 3 * std::size_t(x), 3);
        }
    }
}

} // namespace plain

} // namespace effects
