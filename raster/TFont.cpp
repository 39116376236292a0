#include "raster/TFont.h"

#include <cmath>
#include <cstdlib>

namespace {
constexpr int kPixelsPerInch = 96;
}

int TFont::Size() const { return int(std::lround(std::abs(Height) * 72.0 / kPixelsPerInch)); }

QFont TFont::ToQFont() const
{
    QFont font(Name);
    // The face may be missing on this machine: let the font system pick the
    // nearest sans-serif face instead.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, std::abs(Height)));
    font.setBold(Style & fsBold);
    font.setItalic(Style & fsItalic);
    font.setUnderline(Style & fsUnderline);
    font.setStrikeOut(Style & fsStrikeOut);
    return font;
}

TFont TFont::FromQFont(const QFont& font, TColor color)
{
    TFont result;
    result.Name = font.family();
    if (font.pixelSize() > 0)
        result.Height = -font.pixelSize();
    else
        result.Height = -int(std::lround(font.pointSizeF() * kPixelsPerInch / 72.0));
    result.Style = (font.bold() ? fsBold : 0u) | (font.italic() ? fsItalic : 0u) |
                   (font.underline() ? fsUnderline : 0u) | (font.strikeOut() ? fsStrikeOut : 0u);
    result.Color = color;
    return result;
}
