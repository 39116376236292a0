#pragma once

#include "filters/Tfiltre.h"

#include <functional>
#include <memory>

class TBitmap;
class TSelection;

// The image commands that the editor's palette and velmora-cli both run, in
// one place, so that the two programs give the same bytes for the same
// command.
namespace commands {

// Makes the filter of a run on the run's private copy of the image.
using FilterFactory = std::function<std::unique_ptr<TFiltre>(TBitmap& copy)>;

template <class Filter> std::unique_ptr<TFiltre> MakeFilter(TBitmap& copy) { return std::make_unique<Filter>(copy); }

// A filter run: an exact 24-bit copy of the image, one filter made on the copy
// and applied once, the copy merged back into the image wherever the mask
// allows a change. Returns the filter; the copy it refers to is gone, so it
// may only be destroyed.
std::unique_ptr<TFiltre> RunFilter(TBitmap& image, TSelection& mask, const FilterFactory& makeFilter);

// The contrast dialog's two track bars, 0 to 255: the contrast as it is, then
// the luminosity as an offset from the middle position 128.
void ApplyContrastDialog(TBitmap& image, int contraste, int luminosite);

} // namespace commands
