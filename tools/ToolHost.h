#pragma once

#include "raster/Mouse.h"
#include "raster/TColor.h"

#include <QString>

// What the tools may ask of the palette that created them. The palette
// implements it; a tool holds it borrowed and never sees the palette itself.
class TToolHost {
public:
    // Puts the colour in the well of the button: the first well for the left
    // button, the second for the right one; the middle button has none.
    virtual void SetWellColour(TMouseButton bouton, TColor couleur) = 0;
    // Asks the user for one line of text. Cancel, the close box and an empty
    // edit all give an empty text.
    virtual QString AskText() = 0;
    // The tool changed the image outside a drag: the active document shows it
    // again at once.
    virtual void ImageChanged() = 0;

protected:
    ~TToolHost() = default;
};
