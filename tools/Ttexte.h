#pragma once

#include "tools/Toutil.h"

#include <QString>

class TToolHost;

// The text tool: asks its host for a line of text and writes it into
// the bitmap with the bitmap canvas's font and brush, over protected pixels
// too. The button is ignored.
class TTexte : public TOutil {
public:
    TTexte(TBitmap* bmp, std::uint8_t** masque, TToolHost* host) : TOutil(bmp, masque), host_(host) { }
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;

    // The last text accepted.
    QString texte;

private:
    TToolHost* host_;
};
