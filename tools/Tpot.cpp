#include "tools/Tpot.h"

#include "platform/Screen.h"
#include "platform/TBitmap.h"
#include "platform/TCanvas.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace {

struct Point {
    int x;
    int y;
};

// A first-in-first-out queue of points in a ring that doubles when full. The
// pending points of a fill are a thin front around the seed, so the ring stays
// small even for a whole large image.
class PointQueue {
public:
    bool Empty() const { return count_ == 0; }
    // Makes room for n more points (n at most the initial size).
    void Reserve(size_t n)
    {
        if (ring_.size() - count_ < n)
            Grow();
    }
    // Appends p when `keep` holds. The free slot is written either way and only
    // counted when kept, so the walk does not branch on each neighbour.
    void PushIf(Point p, bool keep)
    {
        ring_[(head_ + count_) & (ring_.size() - 1)] = p;
        count_ += keep ? 1 : 0;
    }
    Point Pop()
    {
        const Point p = ring_[head_];
        head_ = (head_ + 1) & (ring_.size() - 1);
        --count_;
        return p;
    }

private:
    void Grow()
    {
        std::vector<Point> bigger(ring_.empty() ? 1024 : 2 * ring_.size());
        for (size_t i = 0; i < count_; ++i)
            bigger[i] = ring_[(head_ + i) & (ring_.size() - 1)];
        ring_.swap(bigger);
        head_ = 0;
    }

    std::vector<Point> ring_;
    size_t head_ = 0;
    size_t count_ = 0;
};

} // namespace

void TPot::Clic(int x, int y, TMouseButton bouton, TCanvas* canvas)
{
    if (!Inside(x, y) || !masque)
        return;
    // The target is the colour shown in the window, not the bitmap's.
    const TColor target = canvas ? canvas->Pixels(x, y) : bmp->Canvas()->Pixels(x, y);
    Screen->SetCursor(crHourGlass);
    const TColor c = ColourFor(bouton);
    // Filling with the target colour itself would change nothing: the image is
    // left as it is, seed included.
    if (c != target)
        Fill(x, y, c, target, canvas);
    Screen->SetCursor(crArrow);
}

void TPot::Trace(int*, int*, int, int, TMouseButton, TCanvas*) { }

// Breadth first from the seed; the neighbours of each point are examined up,
// left, right, down, and a neighbour joins the queue when it lies in the
// bitmap, has exactly the target colour there and is editable. Each point is
// processed once, in the order in which it first qualified, and painted on the
// window as it is processed, so the fill spreads on screen in rings from the
// seed.
//
// Nothing but this loop looks at the bitmap during the fill, so its pixels are
// tested before and painted after the walk, each in one pass over the rows;
// the walk itself only touches one bit per pixel, "may still join the queue",
// which a pixel loses when it joins. Since the colour differs from the target,
// a processed pixel never qualifies again, so this gives the same order as
// re-testing the bitmap would. The window, which is watched, is painted in
// processing order.
void TPot::Fill(int x, int y, TColor c, TColor target, TCanvas* canvas)
{
    const int width = bmp->Width();
    const int height = bmp->Height();
    const size_t words = (size_t(width) + 63) / 64;
    // One bit per pixel: set while the pixel may still join the queue.
    std::vector<std::uint64_t> open(words * size_t(height), 0);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* pixels = bmp->ScanLine(row);
        const std::uint8_t* mask = masque[row];
        std::uint64_t* bits = open.data() + size_t(row) * words;
        for (size_t w = 0; w < words; ++w) {
            const int first = int(w * 64);
            const int count = std::min(64, width - first);
            std::uint64_t word = 0;
            for (int k = 0; k < count; ++k) {
                const std::uint8_t* p = pixels + 3 * qsizetype(first + k);
                const bool qualifies = mask[first + k] != 0 && RGBColor(p[2], p[1], p[0]) == target;
                word |= std::uint64_t(qualifies) << k;
            }
            bits[w] = word;
        }
    }
    const std::vector<std::uint64_t> qualified = open;
    // Clears the pixel's bit and tells whether it was set.
    const auto take = [&](int col, int row) {
        std::uint64_t& word = open[size_t(row) * words + size_t(col >> 6)];
        const std::uint64_t bit = std::uint64_t(1) << (col & 63);
        const bool was = (word & bit) != 0;
        word &= ~bit;
        return was;
    };

    // The seed is processed whatever its own colour; it is painted only when
    // editable, and its neighbours are examined in every case.
    const bool seedEditable = masque[y][x] != 0;
    take(x, y);
    if (seedEditable && canvas)
        canvas->SetPixels(x, y, c);
    PointQueue queue;
    Point p{x, y};
    for (;;) {
        // The four bits are taken before anything is queued, so their reads
        // do not wait for one another.
        const bool up = p.y > 0 && take(p.x, p.y - 1);
        const bool left = p.x > 0 && take(p.x - 1, p.y);
        const bool right = p.x + 1 < width && take(p.x + 1, p.y);
        const bool down = p.y + 1 < height && take(p.x, p.y + 1);
        queue.Reserve(4);
        queue.PushIf({p.x, p.y - 1}, up);
        queue.PushIf({p.x - 1, p.y}, left);
        queue.PushIf({p.x + 1, p.y}, right);
        queue.PushIf({p.x, p.y + 1}, down);
        if (queue.Empty())
            break;
        p = queue.Pop();
        // Every queued point was editable when it joined.
        if (canvas)
            canvas->SetPixels(p.x, p.y, c);
    }

    // The pixels that qualified and lost their bit were processed; so was the
    // seed, which is painted when editable.
    const std::uint8_t blue = GetBValue(c), green = GetGValue(c), red = GetRValue(c);
    const auto paint = [&](std::uint8_t* px) {
        px[0] = blue;
        px[1] = green;
        px[2] = red;
    };
    for (int row = 0; row < height; ++row) {
        std::uint8_t* pixels = bmp->ScanLine(row);
        const size_t at = size_t(row) * words;
        for (size_t w = 0; w < words; ++w) {
            for (std::uint64_t done = qualified[at + w] & ~open[at + w]; done != 0; done &= done - 1)
                paint(pixels + 3 * (qsizetype(w * 64) + std::countr_zero(done)));
        }
    }
    if (seedEditable)
        paint(bmp->ScanLine(y) + 3 * qsizetype(x));
}
