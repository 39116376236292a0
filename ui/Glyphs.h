#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

// The small pictures of the glyph buttons, drawn at start-up at the size each
// form gives. `name` is the button's name ("btn_outil_pinceau", "btn_blur", …);
// an unknown name gives a neutral glyph.
// The glyph shows every pixel except those of the transparent colour, the
// colour of its bottom-left pixel.
QIcon Glyph(const QString& name, QSize size);
// The 24-bit picture itself, on the transparent colour, with `ratio` image
// pixels per unit of `size`.
QImage GlyphImage(const QString& name, QSize size, qreal ratio = 1.0);
// The transparent colour of every glyph: a grey no glyph draws with.
inline const QColor kGlyphTransparent(212, 208, 200);
