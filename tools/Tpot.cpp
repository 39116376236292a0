#include "tools/Tpot.h"

#include "raster/Screen.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

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

// The pixels painted are those the plain walk would paint: breadth first from
// the seed, the four neighbours of each processed point (up, left, right,
// down) join a first-in-first-out queue when they lie in the bitmap, have
// exactly the target colour there and are editable, and each processed point
// is painted on the window and in the bitmap. The seed is processed whatever
// its colour and painted when editable. The processed points are the seed and
// the 4-connected regions of qualifying pixels around its neighbours, whatever
// the order of the walk, so the walk here goes span by span over one bit per
// pixel. Nothing looks at the bitmap until the walk ends, so the bitmap and the
// window are painted after it, row by row, and the window's notifier hears of
// the whole fill once.
void TPot::Fill(int x, int y, TColor c, TColor target, TCanvas* canvas)
{
    const int width = bmp->Width();
    const int height = bmp->Height();
    const size_t words = (size_t(width) + 63) / 64;
    // Per pixel, one bit set while it may still join the fill (it qualifies and
    // is not taken yet) and one set once it is taken. A row's bits are worked
    // out the first time the walk reaches it.
    std::vector<std::uint64_t> open(words * size_t(height), 0);
    std::vector<std::uint64_t> taken(words * size_t(height), 0);
    std::vector<bool> ready(size_t(height), false);
    const std::uint32_t key =
        std::uint32_t(GetRValue(target)) << 16 | std::uint32_t(GetGValue(target)) << 8 | GetBValue(target);
    // A target outside the window reads as no colour, which no pixel has.
    const bool anyQualifies = target <= 0xFFFFFF;
    const auto prepare = [&](int row) {
        if (ready[size_t(row)])
            return;
        ready[size_t(row)] = true;
        if (!anyQualifies)
            return;
        const std::uint8_t* pixels = bmp->ScanLine(row);
        const std::uint8_t* mask = masque[row];
        std::uint64_t* bits = open.data() + size_t(row) * words;
        // A pixel read as a little-endian word, its fourth byte dropped, is
        // 0x00RRGGBB; the last pixel of a row is read byte by byte, so that
        // nothing past the row is read.
        const auto pixelAt = [pixels, width](int col) {
            const std::uint8_t* p = pixels + 3 * qsizetype(col);
            if (col + 1 == width)
                return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
            std::uint32_t word;
            std::memcpy(&word, p, 4);
            return word & 0xFFFFFF;
        };
        for (int first = 0; first < width; first += 64) {
            const int count = std::min(64, width - first);
            std::uint64_t word = 0;
            for (int k = 0; k < count; ++k)
                word |= std::uint64_t(mask[first + k] != 0 && pixelAt(first + k) == key) << k;
            bits[first >> 6] = word;
        }
    };

    // Pending work: look for open pixels in columns [left, right] of a row.
    struct Stretch {
        int row, left, right;
    };
    std::vector<Stretch> pending;
    // Takes the open run through (col, row) and queues the rows next to it.
    const auto takeRun = [&](int col, int row) {
        std::uint64_t* bits = open.data() + size_t(row) * words;
        int left = col, right = col;
        while (left > 0 && (bits[size_t(left - 1) >> 6] >> ((left - 1) & 63) & 1) != 0) {
            const int w = (left - 1) >> 6;
            const int run = std::countl_one(bits[w] << (63 - ((left - 1) & 63)));
            left -= std::min(run, left - (w << 6));
        }
        while (right + 1 < width && (bits[size_t(right + 1) >> 6] >> ((right + 1) & 63) & 1) != 0) {
            const int w = (right + 1) >> 6;
            const int run = std::countr_one(bits[w] >> ((right + 1) & 63));
            right += run;
        }
        std::uint64_t* done = taken.data() + size_t(row) * words;
        for (int w = left >> 6; w <= right >> 6; ++w) {
            const int from = std::max(left, w << 6) & 63;
            const int to = std::min(right, (w << 6) + 63) & 63;
            const std::uint64_t span = (~std::uint64_t(0) >> (63 - to)) & (~std::uint64_t(0) << from);
            bits[w] &= ~span;
            done[w] |= span;
        }
        if (row > 0)
            pending.push_back({row - 1, left, right});
        if (row + 1 < height)
            pending.push_back({row + 1, left, right});
        return right;
    };

    // The seed is taken whatever its colour; the walk starts from its four
    // neighbours.
    prepare(y);
    open[size_t(y) * words + size_t(x >> 6)] &= ~(std::uint64_t(1) << (x & 63));
    if (y > 0)
        pending.push_back({y - 1, x, x});
    if (x > 0)
        pending.push_back({y, x - 1, x - 1});
    if (x + 1 < width)
        pending.push_back({y, x + 1, x + 1});
    if (y + 1 < height)
        pending.push_back({y + 1, x, x});
    while (!pending.empty()) {
        const Stretch s = pending.back();
        pending.pop_back();
        prepare(s.row);
        const std::uint64_t* bits = open.data() + size_t(s.row) * words;
        for (int col = s.left; col <= s.right;) {
            // The next open pixel at or after col, if it is not past the right end.
            const int w = col >> 6;
            const std::uint64_t rest = bits[w] >> (col & 63);
            if (rest == 0) {
                col = (w + 1) << 6;
                continue;
            }
            col += std::countr_zero(rest);
            if (col > s.right)
                break;
            col = takeRun(col, s.row) + 2;
        }
    }
    if (masque[y][x] != 0)
        taken[size_t(y) * words + size_t(x >> 6)] |= std::uint64_t(1) << (x & 63);

    // Paint the taken runs, row by row.
    TCanvas* image = bmp->Canvas();
    if (canvas)
        canvas->BeginUpdate();
    for (int row = 0; row < height; ++row) {
        if (!ready[size_t(row)])
            continue;
        const std::uint64_t* done = taken.data() + size_t(row) * words;
        for (int col = 0; col < width;) {
            const int w = col >> 6;
            const std::uint64_t rest = done[w] >> (col & 63);
            if (rest == 0) {
                col = (w + 1) << 6;
                continue;
            }
            col += std::countr_zero(rest);
            int end = col;
            while (end < width) {
                const int run = std::countr_one(done[size_t(end >> 6)] >> (end & 63));
                end += run;
                if (run == 0 || (end & 63) != 0)
                    break;
            }
            // The bitmap first: a window that shows it then keeps nothing of
            // its own for these pixels.
            image->FillSpan(col, row, end - col, c);
            if (canvas)
                canvas->FillSpan(col, row, end - col, c);
            col = end;
        }
    }
    if (canvas)
        canvas->EndUpdate();
}
