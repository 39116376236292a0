#pragma once

// Temporary base of the tools, until the drawing tools land.
#include "platform/Mouse.h"
#include "platform/TColor.h"

#include <cstdint>

class TBitmap;
class TCanvas;
class TSelection;

class TOutil {
public:
    TOutil(TBitmap* bmp_, std::uint8_t** masque_) : bmp(bmp_), masque(masque_) {}
    virtual ~TOutil() = default;
    void SetCouleur1(TColor c) { couleur1 = c; }
    void SetCouleur2(TColor c) { couleur2 = c; }
    void SetBmp(TBitmap* b) { bmp = b; }
    TBitmap* GetBmp() const { return bmp; }
    virtual void SetMasque(TSelection*) {}
    virtual void Clic(int, int, TMouseButton, TCanvas*) = 0;
    virtual void Trace(int*, int*, int, int, TMouseButton, TCanvas*) = 0;

protected:
    TColor couleur2 = 0xFFFFFF;
    TColor couleur1 = 0;
    TBitmap* bmp = nullptr;
    std::uint8_t** masque = nullptr;
};
