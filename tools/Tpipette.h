#pragma once

#include "tools/Toutil.h"

// The eyedropper: copies the colour of a bitmap pixel into the main palette's
// well of the button (left: first well, right: second well, middle: none). It
// changes no tool colour; the wells reach the tools at the next activation of
// a document.
class TPipette : public TOutil {
public:
    using TOutil::TOutil;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;
};
