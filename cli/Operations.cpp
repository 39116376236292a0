#include "Operations.h"

#include "commands/SharedCommands.h"
#include "kernels/Tselection.h"
#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "filters/Tfiltre.h"
#include "platform/TBitmap.h"
#include "tools/Tselectrect.h"

#include <cstdint>

namespace cli {

TSelection& Document::Mask()
{
    if (!mask)
        mask = std::make_unique<TSelection>(image.Width(), image.Height());
    return *mask;
}

namespace {

// Effects work on the whole image, whatever the selection.
template <void (*Effect)(TBitmap&)> void runEffect(Document& document, const Values&) { Effect(document.image); }

// The RGB dialog's three track bars, 0 to 255, passed on as they are.
void adjustColor(Document& document, const Values& v)
{
    effects::AdjustColor(document.image, std::uint8_t(v[0]), std::uint8_t(v[1]), std::uint8_t(v[2]));
}

// The contrast dialog's two track bars, as the editor applies them.
void adjustContrast(Document& document, const Values& v) { commands::ApplyContrastDialog(document.image, v[0], v[1]); }

// The editor's filter run, through the selection mask.
template <class Filter> void runFilter(Document& document, const Values&)
{
    commands::RunFilter(document.image, document.Mask(), commands::MakeFilter<Filter>);
}

// The selection tool itself, pressed at (x0, y0) and released at (x1, y1).
// The document window forwards a release that differs from the press in x or
// in y; released on the press's row or column, everything stays editable.
void selectRectangle(Document& document, const Values& v)
{
    int anchorX = v[0], anchorY = v[1];
    const int x = v[2], y = v[3];
    TSelectRect tool(&document.image, nullptr);
    tool.SetMasque(&document.Mask());
    tool.Clic(anchorX, anchorY, mbLeft, nullptr);
    if (x != anchorX || y != anchorY)
        tool.Trace(&anchorX, &anchorY, x, y, mbLeft, nullptr);
}

// A click of the selection tool without a drag: everything editable.
void selectAll(Document& document, const Values&)
{
    TSelectRect tool(&document.image, nullptr);
    tool.SetMasque(&document.Mask());
    tool.Clic(0, 0, mbLeft, nullptr);
}

const char* const kEffects = "Effets, sur toute l'image (la sélection n'y change rien)";
const char* const kFilters = "Filtres, seulement dans la sélection";
const char* const kSelection = "Sélection (au départ, toute l'image)";

} // namespace

const std::vector<OperationInfo>& AllOperations()
{
    static const std::vector<OperationInfo> all = {
        {"mirroir", "", 0, ValueKind::None, kEffects, "échange la gauche et la droite", runEffect<effects::Mirror>},
        {"flip", "", 0, ValueKind::None, kEffects, "échange le haut et le bas", runEffect<effects::Flip>},
        {"vaguex", "", 0, ValueKind::None, kEffects, "chaque ligne ondule vers la gauche ou la droite",
         runEffect<effects::VagueX>},
        {"vaguey", "", 0, ValueKind::None, kEffects, "chaque colonne ondule vers le haut ou le bas",
         runEffect<effects::VagueY>},
        {"tunnel", "", 0, ValueKind::None, kEffects, "enroule l'image en cercles (« Tunnel »)",
         runEffect<effects::Cercle1>},
        {"pouetpouet", "", 0, ValueKind::None, kEffects, "enroule l'image en ondulations (« Pouet pouet »)",
         runEffect<effects::Cercle2>},
        {"negatif", "", 0, ValueKind::None, kEffects, "négatif", runEffect<effects::InverseColor>},
        {"noiretblanc", "", 0, ValueKind::None, kEffects, "noir et blanc", runEffect<effects::NB>},
        {"couleurs", "R V B", 3, ValueKind::Byte, kEffects, "gains de rouge, vert et bleu (« Couleurs RVB »)",
         adjustColor},
        {"contraste", "C L", 2, ValueKind::Byte, kEffects, "contraste puis luminosité (« Contraste »)", adjustContrast},
        {"flou", "", 0, ValueKind::None, kFilters, "flou en vision doublée", runFilter<TFlou>},
        {"blur", "", 0, ValueKind::None, kFilters, "effet de flou", runFilter<TBlur>},
        {"nettete", "", 0, ValueKind::None, kFilters, "accentuation des détails", runFilter<TSharpen>},
        {"estampage", "", 0, ValueKind::None, kFilters, "relief monochromatique", runFilter<TEmboss>},
        {"aquarelle", "", 0, ValueKind::None, kFilters, "effet de peinture à la main", runFilter<TAquarelle>},
        {"selection", "X0 Y0 X1 Y1", 4, ValueKind::Coordinate, kSelection,
         "l'outil de sélection tiré de (X0, Y0) à (X1, Y1)", selectRectangle},
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
