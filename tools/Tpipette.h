#pragma once

#include "tools/Toutil.h"

class TToolHost;

// The eyedropper: copies the colour of a bitmap pixel into the palette's well
// of the button, through its host (left: first well, right: second well, middle: none). It
// changes no tool colour; the wells reach the tools at the next activation of
// a document.
class TPipette : public TOutil {
public:
    TPipette(TBitmap* bmp, std::uint8_t** masque, TToolHost* host) : TOutil(bmp, masque), host_(host) { }
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;

private:
    TToolHost* host_;
};
