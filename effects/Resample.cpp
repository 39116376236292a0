// Resizing: the filters, the weights of each result pixel, and the plain
// loops. The program's resize is the faster version in ResampleFast.cpp.
#include "effects/Resample.h"
#include "effects/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace effects {

namespace resample {

namespace {

// Lanczos with a = 3: sinc(x) sinc(x / 3) = 3 sin(pi x) sin(pi x / 3) / (pi x)^2.
double lanczos(double x)
{
    x = std::abs(x);
    if (x >= 3)
        return 0;
    if (x < 1e-9)
        return 1;
    const double px = std::numbers::pi * x;
    return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

// Keys' cubic with a = -0.5: 1.5 x^3 - 2.5 x^2 + 1 within one pixel,
// -0.5 x^3 + 2.5 x^2 - 4 x + 2 between one and two.
double bicubic(double x)
{
    x = std::abs(x);
    if (x < 1)
        return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2)
        return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
}

double triangle(double x) { return std::max(0.0, 1 - std::abs(x)); }

} // namespace

std::vector<Taps> TapsFor(int from, int to, ResampleFilter filter)
{
    std::vector<Taps> taps(std::size_t(std::max(to, 0)));
    if (from == to) {
        for (int x = 0; x < to; ++x)
            taps[std::size_t(x)] = {x, {1.0f}};
        return taps;
    }
    double (*kernel)(double) = filter == ResampleFilter::Lanczos   ? lanczos
                               : filter == ResampleFilter::Bicubic ? bicubic
                                                                   : triangle;
    const double reach = filter == ResampleFilter::Lanczos ? 3 : filter == ResampleFilter::Bicubic ? 2 : 1;
    const double scale = double(from) / to;
    // Shrinking widens the filter by the scale.
    const double stretch = std::max(scale, 1.0);
    const double support = reach * stretch;
    std::vector<double> weights;
    for (int x = 0; x < to; ++x) {
        const double centre = (x + 0.5) * scale - 0.5;
        // Source pixels outside the image are dropped.
        const int first = std::max(0, int(std::ceil(centre - support)));
        const int last = std::min(from - 1, int(std::floor(centre + support)));
        weights.clear();
        double sum = 0;
        for (int i = first; i <= last; ++i) {
            weights.push_back(kernel((i - centre) / stretch));
            sum += weights.back();
        }
        Taps& t = taps[std::size_t(x)];
        t.first = first;
        if (sum == 0) {
            // Not met with these filters (the nearest pixel always weighs), but
            // never a division by zero: the nearest pixel.
            t.first = std::clamp(int(std::floor(centre + 0.5)), 0, from - 1);
            t.weights = {1.0f};
            continue;
        }
        // The ends that weigh nothing (a tap exactly at the support) are no work.
        std::size_t begin = 0;
        std::size_t end = weights.size();
        while (end - begin > 1 && weights[begin] == 0)
            ++begin;
        while (end - begin > 1 && weights[end - 1] == 0)
            --end;
        t.first = first + int(begin);
        for (std::size_t k = begin; k < end; ++k)
            t.weights.push_back(float(weights[k] / sum));
    }
    return taps;
}

bool VerticalFirst(int fromWidth, int fromHeight, const std::vector<Taps>& across, const std::vector<Taps>& down)
{
    double tapsAcross = 0;
    for (const Taps& t : across)
        tapsAcross += double(t.weights.size());
    double tapsDown = 0;
    std::size_t mostDown = 0;
    for (const Taps& t : down) {
        tapsDown += double(t.weights.size());
        mostDown = std::max(mostDown, t.weights.size());
    }
    const double toWidth = double(across.size());
    const double toHeight = double(down.size());
    // Vertically first: every result row sums whole source rows, then is
    // resampled across. Horizontally first: every source row is resampled
    // across, then the result rows sum those.
    const double verticalFirst = fromWidth * tapsDown + toHeight * tapsAcross;
    const double horizontalFirst = fromHeight * tapsAcross + toWidth * tapsDown;
    // Horizontally first keeps the rows one result row needs: at most 256 MiB of them.
    const double keptBytes = double(mostDown) * toWidth * 3 * sizeof(float);
    return verticalFirst <= horizontalFirst || keptBytes > double(1 << 28);
}

std::vector<int> NearestFor(int from, int to)
{
    std::vector<int> source(std::size_t(std::max(to, 0)));
    // floor((x + 0.5) from / to) = floor((2x + 1) from / 2 to), in integers.
    for (int x = 0; x < to; ++x)
        source[std::size_t(x)] = int(std::min<qint64>((2 * qint64(x) + 1) * from / (2 * qint64(to)), from - 1));
    return source;
}

QImage Nearest(const TBitmap& bitmap, QImage result)
{
    const std::vector<int> columns = NearestFor(bitmap.Width(), result.width());
    const std::vector<int> rows = NearestFor(bitmap.Height(), result.height());
    for (int y = 0; y < result.height(); ++y) {
        const std::uint8_t* in = bitmap.ScanLine(rows[std::size_t(y)]);
        std::uint8_t* out = result.scanLine(y);
        for (int x = 0; x < result.width(); ++x)
            std::memcpy(out + 3 * x, in + 3 * columns[std::size_t(x)], 3);
    }
    return result;
}

} // namespace resample

namespace plain {

using resample::Taps;
using resample::ToByte;

QImage Resize(const TBitmap& bitmap, int width, int height, ResampleFilter filter)
{
    QImage result = NewResultImage(width, height);
    if (result.isNull() || bitmap.Width() <= 0 || bitmap.Height() <= 0)
        return QImage();
    if (filter == ResampleFilter::Nearest)
        return resample::Nearest(bitmap, std::move(result));
    const int fromWidth = bitmap.Width();
    const int fromHeight = bitmap.Height();
    const std::vector<Taps> across = resample::TapsFor(fromWidth, width, filter);
    const std::vector<Taps> down = resample::TapsFor(fromHeight, height, filter);
    // Each sum starts at zero and adds weight x value tap after tap, in float.
    if (resample::VerticalFirst(fromWidth, fromHeight, across, down)) {
        std::vector<float> column(3 * std::size_t(fromWidth));
        for (int y = 0; y < height; ++y) {
            const Taps& v = down[std::size_t(y)];
            for (std::size_t i = 0; i < column.size(); ++i) {
                float sum = 0;
                for (std::size_t k = 0; k < v.weights.size(); ++k)
                    sum += v.weights[k] * float(bitmap.ScanLine(v.first + int(k))[i]);
                column[i] = sum;
            }
            std::uint8_t* out = result.scanLine(y);
            for (int x = 0; x < width; ++x) {
                const Taps& h = across[std::size_t(x)];
                for (int c = 0; c < 3; ++c) {
                    float sum = 0;
                    for (std::size_t k = 0; k < h.weights.size(); ++k)
                        sum += h.weights[k] * column[3 * (std::size_t(h.first) + k) + std::size_t(c)];
                    out[3 * x + c] = ToByte(sum);
                }
            }
        }
        return result;
    }
    const std::size_t rowFloats = 3 * std::size_t(width);
    std::vector<float> across1(rowFloats * std::size_t(fromHeight));
    for (int y = 0; y < fromHeight; ++y) {
        const std::uint8_t* in = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const Taps& h = across[std::size_t(x)];
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (std::size_t k = 0; k < h.weights.size(); ++k)
                    sum += h.weights[k] * float(in[3 * (std::size_t(h.first) + k) + std::size_t(c)]);
                across1[rowFloats * std::size_t(y) + 3 * std::size_t(x) + std::size_t(c)] = sum;
            }
        }
    }
    for (int y = 0; y < height; ++y) {
        const Taps& v = down[std::size_t(y)];
        std::uint8_t* out = result.scanLine(y);
        for (std::size_t i = 0; i < rowFloats; ++i) {
            float sum = 0;
            for (std::size_t k = 0; k < v.weights.size(); ++k)
                sum += v.weights[k] * across1[rowFloats * (std::size_t(v.first) + k) + i];
            out[i] = ToByte(sum);
        }
    }
    return result;
}

} // namespace plain

} // namespace effects
