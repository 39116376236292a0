#pragma once

#include "tools/Toutil.h"

// The rectangular selection: writes the document's mask, never its pixels. A
// press makes the whole image editable; the release after a drag makes the
// half-open rectangle between the press and the release point the only
// editable area.
class TSelectRect : public TOutil {
public:
    using TOutil::TOutil;
    // Keeps the selection too: the mask is written through it.
    void SetMasque(TSelection* selection) override;
    void Clic(int x, int y, TMouseButton bouton, TCanvas* canvas) override;
    void Trace(int* anchorX, int* anchorY, int x, int y, TMouseButton bouton, TCanvas* canvas) override;

private:
    void SetWholeMask(std::uint8_t value);

    TSelection* selection_ = nullptr; // null when given the row table alone
};
