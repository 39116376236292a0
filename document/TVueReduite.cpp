#include "document/TVueReduite.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

// The image pixels one screen pixel covers along one axis: up to three, with
// their weights in thirds of a pixel for 2/3, whole pixels otherwise.
struct Taps {
    int first = 0;
    int count = 0;
    int weight[3] = {0, 0, 0};
};

// For 1/d the screen pixel z covers the source pixels [z * b, z * b + b) of a
// level where b = d / 2^k; for 2/3 it covers [1.5 z, 1.5 z + 1.5) of the full
// image: a whole pixel and half of the next, or the other way round.
Taps tapsFor(int z, int num, int block, int size)
{
    Taps taps;
    if (num == 2) {
        taps.first = z * 3 / 2;
        taps.count = 2;
        taps.weight[0] = z % 2 == 0 ? 2 : 1;
        taps.weight[1] = z % 2 == 0 ? 1 : 2;
    } else {
        taps.first = z * block;
        taps.count = block;
        for (int i = 0; i < block; ++i)
            taps.weight[i] = 1;
    }
    // The last screen pixel may cover only part of a block: the pixels past the
    // edge weigh nothing.
    for (int i = 0; i < taps.count; ++i)
        if (taps.first + i >= size)
            taps.weight[i] = 0;
    taps.count = std::max(0, std::min(taps.count, size - taps.first));
    return taps;
}

} // namespace

bool TVueReduite::Allocate(int width, int height)
{
    Release();
    const QRect full(0, 0, width, height);
    try {
        for (int level = 1; level <= kLevels; ++level) {
            width = (width + 1) / 2;
            height = (height + 1) / 2;
            QImage copy(width, height, QImage::Format_BGR888);
            if (copy.isNull())
                throw std::bad_alloc();
            levels_.push_back(std::move(copy));
        }
        spans_.assign(std::size_t(full.height()), Span());
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    fullWidth_ = full.width();
    Changed(full);
    return true;
}

void TVueReduite::Release()
{
    levels_.clear();
    spans_.clear();
    fullWidth_ = 0;
    top_ = std::numeric_limits<int>::max();
    bottom_ = -1;
}

std::size_t TVueReduite::Bytes() const
{
    std::size_t bytes = 0;
    for (const QImage& level : levels_)
        bytes += std::size_t(level.sizeInBytes());
    return bytes;
}

void TVueReduite::Changed(const QRect& rect)
{
    const QRect area = rect & QRect(0, 0, fullWidth_, int(spans_.size()));
    if (area.isEmpty())
        return;
    // Each row keeps the one span that holds its changes: a diagonal line costs
    // its pixels, not its bounding rectangle.
    for (int y = area.top(); y <= area.bottom(); ++y) {
        Span& span = spans_[std::size_t(y)];
        span.first = std::min(span.first, area.left());
        span.last = std::max(span.last, area.right());
    }
    top_ = std::min(top_, area.top());
    bottom_ = std::max(bottom_, area.bottom());
}

void TVueReduite::Update(const Source& image)
{
    if (levels_.empty() || top_ > bottom_)
        return;
    // The spans of one level's changed rows give the next level's: row y of
    // level k + 1 covers rows 2y and 2y + 1 of level k.
    std::vector<Span> changed(spans_.begin() + top_, spans_.begin() + bottom_ + 1);
    int top = top_;
    for (int level = 1; level <= kLevels; ++level) {
        QImage& target = levels_[std::size_t(level - 1)];
        const Source source = level == 1 ? image : Source(levels_[std::size_t(level - 2)]);
        const int firstRow = top / 2;
        const int lastRow = std::min((top + int(changed.size()) - 1) / 2, target.height() - 1);
        std::vector<Span> next;
        const int rows = lastRow - firstRow + 1;
        next.reserve(std::size_t(std::max(rows, 0)));
        for (int y = firstRow; y <= lastRow; ++y) {
            Span span;
            for (const int row : {2 * y, 2 * y + 1})
                if (row >= top && row - top < int(changed.size())) {
                    span.first = std::min(span.first, changed[std::size_t(row - top)].first);
                    span.last = std::max(span.last, changed[std::size_t(row - top)].last);
                }
            if (span.first <= span.last) {
                span.first /= 2;
                span.last = std::min(span.last / 2, target.width() - 1);
                Reduce(source, target, QRect(span.first, y, span.last - span.first + 1, 1));
            }
            next.push_back(span);
        }
        changed = std::move(next);
        top = firstRow;
    }
    std::fill(spans_.begin() + top_, spans_.begin() + bottom_ + 1, Span());
    top_ = std::numeric_limits<int>::max();
    bottom_ = -1;
}

void TVueReduite::Reduce(const Source& source, QImage& target, const QRect& rect)
{
    // Each pixel of the target is the rounded average of the 2 x 2 block below
    // it that exists: four pixels inside, two on the last odd row or column,
    // one in the last corner. Whole blocks take the plain loop below.
    const int sw = source.width(), sh = source.height();
    const int whole = std::min(rect.right(), sw / 2 - 1); // last x whose block has two columns
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const int y0 = 2 * y, y1 = std::min(2 * y + 1, sh - 1);
        const std::uint8_t* a = source.Row(y0);
        const std::uint8_t* b = source.Row(y1);
        std::uint8_t* out = target.scanLine(y);
        int x = rect.left();
        if (y1 != y0) {
            for (; x <= whole; ++x) {
                const std::uint8_t* p = a + 6 * x;
                const std::uint8_t* q = b + 6 * x;
                std::uint8_t* o = out + 3 * x;
                o[0] = std::uint8_t((p[0] + p[3] + q[0] + q[3] + 2) >> 2);
                o[1] = std::uint8_t((p[1] + p[4] + q[1] + q[4] + 2) >> 2);
                o[2] = std::uint8_t((p[2] + p[5] + q[2] + q[5] + 2) >> 2);
            }
        }
        const int rows = y1 - y0 + 1;
        for (; x <= rect.right(); ++x) {
            const int x0 = 2 * x, x1 = std::min(2 * x + 1, sw - 1);
            const int count = rows * (x1 - x0 + 1);
            for (int c = 0; c < 3; ++c) {
                int sum = a[3 * x0 + c] + (x1 != x0 ? a[3 * x1 + c] : 0);
                if (rows == 2)
                    sum += b[3 * x0 + c] + (x1 != x0 ? b[3 * x1 + c] : 0);
                out[3 * x + c] = std::uint8_t((sum + count / 2) / count);
            }
        }
    }
}

void TVueReduite::Render(const Source& image, int num, int den, int x0, int y0, int width, int height,
                         std::uint32_t* out, int stride) const
{
    // The deepest copy whose pixels are whole blocks of the screen pixel:
    // 1/2, 1/4, 1/8 and 1/16 read their copy one to one, 1/3, 1/6 and 1/12
    // average 3 x 3 pixels of the full image, 1/2 or 1/4; 2/3 weighs the full
    // image's pixels by the part of them each screen pixel covers.
    int level = 0, block = den;
    while (num == 1 && block % 2 == 0 && level < kLevels && !levels_.empty()) {
        block /= 2;
        ++level;
    }
    const Source source = level == 0 ? image : Source(levels_[level - 1]);
    const int sw = source.width(), sh = source.height();
    if (width <= 0)
        return;
    std::vector<Taps> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[std::size_t(x)] = tapsFor(x0 + x, num, block, sw);
    // The screen columns that show image pixels, and the image columns they read.
    int last = -1;
    while (last + 1 < width && columns[std::size_t(last) + 1].count > 0)
        ++last;
    if (last < 0)
        return;
    const int from = columns[0].first;
    const int to = columns[std::size_t(last)].first + columns[std::size_t(last)].count;
    std::vector<std::uint16_t> columnSums;
    for (int y = 0; y < height; ++y) {
        const Taps rows = tapsFor(y0 + y, num, block, sh);
        if (rows.count == 0)
            break;
        std::uint32_t* line = out + std::size_t(y) * std::size_t(stride);
        if (block == 1 && num == 1) {
            const std::uint8_t* src = source.Row(rows.first);
            for (int x = 0; x <= last; ++x) {
                const std::uint8_t* p = src + 3 * columns[std::size_t(x)].first;
                line[x] = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            }
            continue;
        }
        // Separable: the taps' rows are weighed and summed column by column
        // once, then each screen pixel weighs its taps' columns of those sums.
        const std::size_t bytes = 3 * std::size_t(to - from);
        columnSums.resize(bytes);
        std::uint16_t* sums = columnSums.data();
        const auto row = [&](int j) { return source.Row(rows.first + j) + 3 * from; };
        int rowWeight = 0;
        if (rows.count == 3 && rows.weight[2] == 1) {
            const std::uint8_t *r0 = row(0), *r1 = row(1), *r2 = row(2);
            for (std::size_t i = 0; i < bytes; ++i)
                sums[i] = std::uint16_t(r0[i] + r1[i] + r2[i]);
            rowWeight = 3;
        } else if (rows.count == 2) {
            const std::uint8_t *r0 = row(0), *r1 = row(1);
            const int w0 = rows.weight[0], w1 = rows.weight[1];
            for (std::size_t i = 0; i < bytes; ++i)
                sums[i] = std::uint16_t(w0 * r0[i] + w1 * r1[i]);
            rowWeight = w0 + w1;
        } else {
            std::fill_n(sums, bytes, 0);
            for (int j = 0; j < rows.count; ++j) {
                const std::uint8_t* src = row(j);
                const std::uint16_t w = std::uint16_t(rows.weight[j]);
                for (std::size_t i = 0; i < bytes; ++i)
                    sums[i] = std::uint16_t(sums[i] + w * src[i]);
                rowWeight += w;
            }
        }
        for (int x = 0; x <= last; ++x) {
            const Taps& cols = columns[std::size_t(x)];
            const std::uint16_t* c = columnSums.data() + 3 * (cols.first - from);
            int sum[3], total;
            if (cols.count == 3 && cols.weight[2] == 1) {
                // A whole 3 x 3 block, the common case at 1/3, 1/6 and 1/12.
                for (int k = 0; k < 3; ++k)
                    sum[k] = c[k] + c[k + 3] + c[k + 6];
                total = 3;
            } else if (cols.count == 2) {
                const int w0 = cols.weight[0], w1 = cols.weight[1];
                for (int k = 0; k < 3; ++k)
                    sum[k] = w0 * c[k] + w1 * c[k + 3];
                total = w0 + w1;
            } else {
                sum[0] = sum[1] = sum[2] = total = 0;
                for (int i = 0; i < cols.count; ++i) {
                    const int w = cols.weight[i];
                    sum[0] += w * c[3 * i];
                    sum[1] += w * c[3 * i + 1];
                    sum[2] += w * c[3 * i + 2];
                    total += w;
                }
            }
            // Every column shown has a tap; no weight would mean nothing to show.
            total = std::max(total * rowWeight, 1);
            // Whole blocks weigh 9 at 1/3 and at 2/3: a constant divides fast.
            const auto average = [&](int k) {
                return std::uint32_t(total == 9 ? (sum[k] + 4) / 9 : (sum[k] + total / 2) / total);
            };
            line[x] = 0xFF000000u | average(2) << 16 | average(1) << 8 | average(0);
        }
    }
}
