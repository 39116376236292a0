#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

// The small pictures of the glyph buttons, drawn at start-up at the size each
// form gives. `name` is the button's name ("btn_outil_pinceau", "btn_blur", …);
// an unknown name gives a neutral glyph.
QIcon Glyph(const QString& name, QSize size);
