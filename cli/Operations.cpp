#include "cli/Operations.h"

#include "document/Tselection.h"
#include "filters/Tfiltre.h"
#include "platform/TBitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace cli {
namespace {

// The editor's filter run: a 24-bit copy of the image, the filter applied once
// to the copy, the copy merged back where the mask allows.
template <class Filter>
void runFilter(Document& document, const Values&)
{
    TBitmap copy;
    copy.Assign(document.image);
    copy.SetPixelFormat(pf24bit);
    Filter filter(copy);
    filter.Apply();
    document.mask.fusioncalque(&copy, &document.image);
}

void fillMask(TSelection& mask, std::uint8_t value)
{
    std::uint8_t** rows = mask.GetRows();
    for (int y = 0; y < mask.Height(); ++y)
        std::memset(rows[y], value, size_t(mask.Width()));
}

// A press of the selection tool at (x0, y0) and a release at (x1, y1). The
// press makes everything editable. The document forwards the release only when
// it differs from the press in both x and y, and the tool ignores a release
// outside the image; otherwise the half-open rectangle between the two points,
// clipped to the image, becomes the only editable area.
void selectRectangle(Document& document, const Values& v)
{
    TSelection& mask = document.mask;
    const int x0 = v[0], y0 = v[1], x1 = v[2], y1 = v[3];
    fillMask(mask, 1);
    if (x1 == x0 || y1 == y0)
        return;
    if (x1 < 0 || y1 < 0 || x1 >= mask.Width() || y1 >= mask.Height())
        return;
    fillMask(mask, 0);
    // The press point may lie anywhere, even far outside the image, while the
    // release lies inside: clipping the low corner to 0 is enough.
    const int left = std::max(std::min(x0, x1), 0);
    const int right = std::min(std::max(x0, x1), mask.Width());
    const int top = std::max(std::min(y0, y1), 0);
    const int bottom = std::min(std::max(y0, y1), mask.Height());
    std::uint8_t** rows = mask.GetRows();
    for (int y = top; y < bottom; ++y)
        if (right > left)
            std::memset(rows[y] + left, 1, size_t(right - left));
}

void selectAll(Document& document, const Values&)
{
    fillMask(document.mask, 1);
}

const char* const kEffects = "Effets, sur toute l'image (la sélection n'y change rien)";
const char* const kFilters = "Filtres, seulement dans la sélection";
const char* const kSelection = "Sélection (au départ, toute l'image)";

} // namespace

const std::vector<OperationInfo>& AllOperations()
{
    static const std::vector<OperationInfo> all = {
        {"flou", "", 0, ValueKind::None, kFilters, "flou en vision doublée", runFilter<TFlou>},
        {"blur", "", 0, ValueKind::None, kFilters, "effet de flou", runFilter<TBlur>},
        {"nettete", "", 0, ValueKind::None, kFilters, "accentuation des détails", runFilter<TSharpen>},
        {"estampage", "", 0, ValueKind::None, kFilters, "relief monochromatique", runFilter<TEmboss>},
        {"aquarelle", "", 0, ValueKind::None, kFilters, "effet de peinture à la main", runFilter<TAquarelle>},
        {"selection", "X0 Y0 X1 Y1", 4, ValueKind::Coordinate, kSelection,
         "l'outil de sélection pressé en (X0, Y0), relâché en (X1, Y1)",
         selectRectangle},
        {"tout", "", 0, ValueKind::None, kSelection, "toute l'image redevient modifiable", selectAll},
    };
    return all;
}

const OperationInfo* FindOperation(const QString& name)
{
    for (const OperationInfo& info : AllOperations())
        if (name == QLatin1String(info.name))
            return &info;
    return nullptr;
}

} // namespace cli
