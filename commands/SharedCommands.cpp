#include "commands/SharedCommands.h"

#include "kernels/Tselection.h"
#include "effects/Tone.h"
#include "platform/TBitmap.h"

#include <cstdint>

namespace commands {

std::unique_ptr<TFiltre> RunFilter(TBitmap& image, TSelection& mask, const FilterFactory& makeFilter)
{
    TBitmap copy;
    copy.Assign(image);
    copy.SetPixelFormat(pf24bit);
    std::unique_ptr<TFiltre> filter = makeFilter(copy);
    filter->Apply();
    mask.fusioncalque(&copy, &image);
    return filter;
}

void ApplyContrastDialog(TBitmap& image, int contraste, int luminosite)
{
    effects::AdjustContrast(image, std::uint8_t(contraste));
    effects::AdjustLuminosite(image, std::int32_t(luminosite) - 128);
}

} // namespace commands
