#pragma once

#include "raster/TBitmap.h"
#include "raster/TColor.h"
#include "raster/TFont.h"
#include "raster/TileOverlay.h"

#include <QRect>
#include <QString>
#include <functional>

// The drawing surface of a bitmap. A document window's canvas draws into the
// window's overlay over its image instead, with a change notifier: what is
// drawn on it is shown, what is read from it is what is shown, and the image
// itself never changes through it.
class TCanvas {
public:
    explicit TCanvas(TBitmap& target) : target_(target) { }
    TCanvas(TBitmap& image, TTileOverlay& overlay) : target_(image), overlay_(&overlay) { }
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The colour at (x, y), or clNone outside.
    TColor Pixels(int x, int y) const
    {
        if (!Inside(x, y))
            return clNone;
        const std::uint8_t* p = overlay_ ? overlay_->Pixel(x, y) : target_.ScanLine(y) + 3 * qsizetype(x);
        return RGBColor(p[2], p[1], p[0]);
    }
    // Writes the colour exactly; a point outside is ignored.
    void SetPixels(int x, int y, TColor color)
    {
        if (!Inside(x, y))
            return;
        if (overlay_) {
            overlay_->Write(x, y, color);
            Changed(QRect(x, y, 1, 1));
            return;
        }
        std::uint8_t* p = target_.RowForWriting(y) + 3 * qsizetype(x);
        p[0] = GetBValue(color);
        p[1] = GetGValue(color);
        p[2] = GetRValue(color);
        Changed(QRect(x, y, 1, 1));
    }
    // Writes the colour exactly over `count` pixels of row y from column x,
    // clipped to the canvas.
    void FillSpan(int x, int y, int count, TColor color);
    bool Inside(int x, int y) const
    {
        return unsigned(x) < unsigned(target_.Width()) && unsigned(y) < unsigned(target_.Height());
    }

    // Paints a bitmap 1:1 with its top-left corner at (x, y), clipped.
    void Draw(int x, int y, const TBitmap& bitmap);

    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font) { font_ = font; }
    TColor BrushColor() const { return brush_; }

    // Text in the canvas font and colour with its top-left corner at (x, y),
    // its cells filled with the brush colour.
    void TextOut(int x, int y, const QString& text);

    // The bitmap drawn on, or the image under a window's overlay.
    TBitmap& Target() { return target_; }
    // A window's overlay; null for a bitmap's canvas.
    TTileOverlay* Overlay() const { return overlay_; }
    // Called with the rectangle of every change (window canvases only).
    void SetChangeNotifier(std::function<void(const QRect&)> changed) { changed_ = std::move(changed); }
    // Between BeginUpdate and the matching EndUpdate the changes are gathered
    // and reach the notifier once, at the outermost EndUpdate, as the smallest
    // rectangle holding them all. Pairs may nest.
    void BeginUpdate() { ++updates_; }
    void EndUpdate();

private:
    void Changed(const QRect& rect)
    {
        if (!changed_ || rect.isEmpty())
            return;
        if (updates_ > 0)
            pending_ |= rect;
        else
            changed_(rect);
    }

    TBitmap& target_;
    TTileOverlay* overlay_ = nullptr;
    TFont font_;
    TColor brush_ = clWhite;
    std::function<void(const QRect&)> changed_;
    int updates_ = 0;
    QRect pending_;
};
