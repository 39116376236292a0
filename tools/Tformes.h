#pragma once

#include "tools/Toutil.h"

// The shape tools. A drag previews the figure on the window canvas; the release
// (no canvas) draws it into the bitmap through the mask. The anchor is the
// press point for the whole drag: no shape moves it.

// A straight line from the press point, with the brush's rasteriser.
class TLine : public TForme {
public:
    using TForme::TForme;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;
};

// A rectangle outline; its preview ignores the mask.
class TRectangle : public TForme {
public:
    using TForme::TForme;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;
};

// An ellipse outline inscribed in the drag box, sampled at a fixed angular step.
class TCercle : public TForme {
public:
    using TForme::TForme;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;
};
