#pragma once

#include "tools/Toutil.h"

// The brush: a one-pixel freehand stroke in the colour of the button. Each
// Trace draws a straight segment from the anchor and moves the anchor to its
// end, so the stroke is a chain of segments that share their joints.
class TPinceau : public TOutil {
public:
    using TOutil::TOutil;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;
};

// The eraser: a 16 x 16 square in the second colour, whatever the button, with
// its top-left corner at the pointer. Squares are not joined.
class TGomme : public TOutil {
public:
    using TOutil::TOutil;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;
};
