#pragma once

#include "raster/TColor.h"

#include <QFont>
#include <QString>

enum TFontStyle : unsigned { fsBold = 1u << 0, fsItalic = 1u << 1, fsUnderline = 1u << 2, fsStrikeOut = 1u << 3 };

// A font described as the forms describe it. Height keeps the classic meaning:
// negative, the character height in pixels; positive, the cell height.
struct TFont {
    QString Name = QStringLiteral("MS Sans Serif");
    int Height = -11;
    unsigned Style = 0;
    TColor Color = clBlack;

    // Size in points at 96 pixels per inch.
    int Size() const;
    QFont ToQFont() const;
    static TFont FromQFont(const QFont& font, TColor color);

    bool operator==(const TFont&) const = default;
};
