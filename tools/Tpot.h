#pragma once

#include "tools/Toutil.h"

// The paint bucket: at the press, fills the 4-connected region of pixels that
// have exactly the colour shown under the pointer, with the button's colour,
// inside the mask. Dragging and releasing do nothing.
class TPot : public TOutil {
public:
    using TOutil::TOutil;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;

private:
    void Fill(int x, int y, TColor couleur, TColor target, TCanvas* canvas);
};
