#pragma once

#include "tools/Toutil.h"

#include <QString>

// The text tool: asks for a line of text in the text dialog and writes it into
// the bitmap with the bitmap canvas's font and brush, over protected pixels
// too. The button is ignored.
class TTexte : public TOutil {
public:
    using TOutil::TOutil;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;

    // The last text accepted, written by the dialog through its retourTexte.
    QString texte;
};
