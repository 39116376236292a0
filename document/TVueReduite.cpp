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

void TVueReduite::Update(const QImage& image)
{
    if (levels_.empty() || top_ > bottom_)
        return;
    // The spans of one level's changed rows give the next level's: row y of
    // level k + 1 covers rows 2y and 2y + 1 of level k.
    std::vector<Span> changed(spans_.begin() + top_, spans_.begin() + bottom_ + 1);
    int top = top_;
    for (int level = 1; level <= kLevels; ++level) {
        QImage& target = levels_[std::size_t(level - 1)];
        const QImage& source = level == 1 ? image : levels_[std::size_t(level - 2)];
        const int firstRow = top / 2;
        const int lastRow = std::min((top + int(changed.size()) - 1) / 2, target.height() - 1);
        std::vector<Span> next;
        next.reserve(std::size_t(lastRow - firstRow + 1));
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

void TVueReduite::Reduce(const QImage& source, QImage& target, const QRect& rect)
{
    // Each pixel of `level` is the rounded average of the 2 x 2 block below it
    // that exists: four pixels inside, two on the last odd row or column, one
    // in the last corner.
    const int sw = source.width(), sh = source.height();
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const int y0 = 2 * y, y1 = std::min(2 * y + 1, sh - 1);
        const std::uint8_t* a = source.constScanLine(y0);
        const std::uint8_t* b = source.constScanLine(y1);
        std::uint8_t* out = target.scanLine(y) + 3 * rect.left();
        const int rows = y1 - y0 + 1;
        for (int x = rect.left(); x <= rect.right(); ++x, out += 3) {
            const int x0 = 2 * x, x1 = std::min(2 * x + 1, sw - 1);
            const int count = rows * (x1 - x0 + 1);
            for (int c = 0; c < 3; ++c) {
                int sum = a[3 * x0 + c] + (x1 != x0 ? a[3 * x1 + c] : 0);
                if (rows == 2)
                    sum += b[3 * x0 + c] + (x1 != x0 ? b[3 * x1 + c] : 0);
                out[c] = std::uint8_t((sum + count / 2) / count);
            }
        }
    }
}

void TVueReduite::Render(const QImage& image, int num, int den, int x0, int y0, int width, int height,
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
    const QImage& source = level == 0 ? image : levels_[level - 1];
    const int sw = source.width(), sh = source.height();
    std::vector<Taps> columns(std::size_t(std::max(0, width)));
    for (int x = 0; x < width; ++x)
        columns[std::size_t(x)] = tapsFor(x0 + x, num, block, sw);
    for (int y = 0; y < height; ++y) {
        const Taps rows = tapsFor(y0 + y, num, block, sh);
        if (rows.count == 0)
            break;
        std::uint32_t* line = out + std::size_t(y) * std::size_t(stride);
        if (block == 1 && num == 1) {
            const std::uint8_t* src = source.constScanLine(rows.first);
            for (int x = 0; x < width && columns[std::size_t(x)].count > 0; ++x) {
                const std::uint8_t* p = src + 3 * columns[std::size_t(x)].first;
                line[x] = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            }
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const Taps& cols = columns[std::size_t(x)];
            if (cols.count == 0)
                break;
            int sum[3] = {0, 0, 0}, total = 0;
            for (int j = 0; j < rows.count; ++j) {
                const std::uint8_t* src = source.constScanLine(rows.first + j) + 3 * cols.first;
                for (int i = 0; i < cols.count; ++i) {
                    const int w = rows.weight[j] * cols.weight[i];
                    sum[0] += w * src[3 * i];
                    sum[1] += w * src[3 * i + 1];
                    sum[2] += w * src[3 * i + 2];
                    total += w;
                }
            }
            const auto average = [&](int c) { return std::uint32_t((sum[c] + total / 2) / total); };
            line[x] = 0xFF000000u | average(2) << 16 | average(1) << 8 | average(0);
        }
    }
}
