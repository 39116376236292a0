#pragma once

#include "raster/TileOverlay.h"

#include <QImage>
#include <QRect>
#include <cstdint>
#include <limits>
#include <vector>

// The reduced copies of a document's window canvas that the view shows below
// 100 %: each level halves the one above it, every pixel the average of the
// 2 x 2 block it covers (the last row and column of an odd size average the
// pixels that exist). Four levels, 1/2 to 1/16, take a little less than a third
// of the image's memory. The copies follow the rectangles the window says have
// changed; they are brought up to date only when a reduced view is painted.
class TVueReduite {
public:
    static constexpr int kLevels = 4;

    // Sizes the copies for an image; false (and no copy) when the memory is
    // not there.
    bool Allocate(int width, int height);
    void Release();
    bool IsAllocated() const { return !levels_.empty(); }
    // Bytes held by the copies (the list of changed rows aside).
    std::size_t Bytes() const;

    // A rectangle of the full-size image changed; nothing is computed yet.
    void Changed(const QRect& rect);
    // The full-size image the copies reduce: a plain image, or a window's
    // image as shown with its overlay.
    class Source {
    public:
        Source(const QImage& image) : image_(&image), width_(image.width()), height_(image.height()) { }
        Source(const TTileOverlay& shown, int width, int height) : shown_(&shown), width_(width), height_(height) { }
        const std::uint8_t* Row(int y) const { return shown_ ? shown_->Row(y) : image_->constScanLine(y); }
        int width() const { return width_; }
        int height() const { return height_; }
        bool isNull() const { return width_ == 0 || height_ == 0; }

    private:
        const QImage* image_ = nullptr;
        const TTileOverlay* shown_ = nullptr;
        int width_, height_;
    };

    // Recomputes what changed since the last call from the full-size image.
    void Update(const Source& image);
    // Level 1 (half size) to kLevels.
    const QImage& Level(int level) const { return levels_[level - 1]; }

    // Writes the screen pixels [x0, x0 + width) x [y0, y0 + height) of the
    // image reduced by `num` / `den` (num < den, one of the view's levels) as
    // 0xFFRRGGBB into `out`, `stride` pixels per row: each the average of the
    // image pixels the screen pixel covers. Pixels past the image's reduced
    // size are left as they are.
    void Render(const Source& image, int num, int den, int x0, int y0, int width, int height, std::uint32_t* out,
                int stride) const;

private:
    static void Reduce(const Source& source, QImage& target, const QRect& rect);

    // The changed columns of one row; none while first > last.
    struct Span {
        int first = std::numeric_limits<int>::max();
        int last = -1;
    };

    std::vector<QImage> levels_;
    int fullWidth_ = 0;
    std::vector<Span> spans_; // one per row of the full-size image
    int top_ = std::numeric_limits<int>::max();
    int bottom_ = -1;
};
