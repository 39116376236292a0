#include "commands/CommandTable.h"

#include "effects/Circles.h"
#include "effects/Mirror.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "filters/Tfiltre.h"
#include "kernels/Tselection.h"
#include "platform/TBitmap.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace commands {
namespace {

using Made = std::unique_ptr<TFiltre>;

// Effects work on the whole image, whatever the selection.
template <void (*Effect)(TBitmap&)> Made effect(TBitmap& image, TSelection*, const Values&)
{
    Effect(image);
    return nullptr;
}

// The RGB dialog's three track bars, 0 to 255, passed on as they are.
Made adjustColor(TBitmap& image, TSelection*, const Values& v)
{
    effects::AdjustColor(image, std::uint8_t(v[0]), std::uint8_t(v[1]), std::uint8_t(v[2]));
    return nullptr;
}

// The contrast dialog's two track bars, 0 to 255: the contrast as it is, then
// the luminosity as an offset from the middle position 128.
Made adjustContrast(TBitmap& image, TSelection*, const Values& v)
{
    effects::AdjustContrast(image, std::uint8_t(v[0]));
    effects::AdjustLuminosite(image, std::int32_t(v[1]) - 128);
    return nullptr;
}

// A filter run: an exact 24-bit copy of the image, one filter made on the copy
// and applied once, the copy merged back into the image wherever the mask
// allows a change.
template <class Filter> Made filter(TBitmap& image, TSelection* mask, const Values&)
{
    TBitmap copy;
    copy.Assign(image);
    copy.SetPixelFormat(pf24bit);
    Made made = std::make_unique<Filter>(copy);
    made->Apply();
    mask->fusioncalque(&copy, &image);
    return made;
}

// What the selection tool leaves after a press at (x0, y0) and a release at
// (x1, y1): the half-open rectangle between them, or everything editable when
// released on the press's row or column.
Made selectRectangle(TBitmap&, TSelection* mask, const Values& v)
{
    mask->SelectRectangle(v[0], v[1], v[2], v[3]);
    return nullptr;
}

// A click of the selection tool without a drag: everything editable.
Made selectAll(TBitmap&, TSelection* mask, const Values&)
{
    mask->SelectAll();
    return nullptr;
}

using enum CommandId;
using enum SelectionRule;

constexpr Command kCommands[] = {
    {.id = Mirroir,
     .menuItem = "Mirroir1",
     .menuCaption = "&Mirroir",
     .button = "btn_rot",
     .hint = "Mirroir",
     .cliName = "mirroir",
     .help = "échange la gauche et la droite",
     .run = effect<effects::Mirror>},
    {.id = Flip,
     .menuItem = "Flip1",
     .menuCaption = "&Flip",
     .button = "btn_resize",
     .hint = "Flip",
     .cliName = "flip",
     .help = "échange le haut et le bas",
     .run = effect<effects::Flip>},
    {.id = VagueX,
     .menuItem = "Vagueenabscisse1",
     .menuCaption = "VagueX",
     .button = "BitBtn2",
     .hint = "Vagues Verticales",
     .cliName = "vaguex",
     .help = "chaque ligne ondule vers la gauche ou la droite",
     .run = effect<effects::VagueX>},
    {.id = VagueY,
     .menuItem = "VagueY1",
     .menuCaption = "VagueY",
     .button = "BitBtn1",
     .hint = "Vagues Horizontales",
     .cliName = "vaguey",
     .help = "chaque colonne ondule vers le haut ou le bas",
     .run = effect<effects::VagueY>},
    {.id = Tunnel,
     .menuItem = "Tunnel1",
     .menuCaption = "Tunnel",
     .button = "BitBtn3",
     .hint = "Tunnel",
     .cliName = "tunnel",
     .help = "enroule l'image en cercles (« Tunnel »)",
     .run = effect<effects::Cercle1>},
    {.id = PouetPouet,
     .menuItem = "Pouetpouet1",
     .menuCaption = "Pouet pouet",
     .button = "BitBtn4",
     .hint = "Ripple",
     .cliName = "pouetpouet",
     .help = "enroule l'image en ondulations (« Pouet pouet »)",
     .run = effect<effects::Cercle2>},
    {.id = Negatif,
     .menuItem = "Negatif1",
     .menuCaption = "&Négatif",
     .button = "btn_negatif",
     .hint = "Négatif",
     .repaintBeforeArrow = true,
     .cliName = "negatif",
     .help = "négatif",
     .run = effect<effects::InverseColor>},
    {.id = NoirBlanc,
     .menuItem = "NoirBlanc1",
     .menuCaption = "Noir et Blanc",
     .button = "btn_gamma",
     .hint = "Noir et Blanc",
     .cliName = "noiretblanc",
     .help = "noir et blanc",
     .run = effect<effects::NB>},
    // The menu's "C&ouleurs" and "&Contraste" items do nothing: only the
    // palette's buttons open these two dialogs.
    {.id = Couleurs,
     .button = "btn_couleurs",
     .hint = "Couleurs RVB",
     .dialog = ValueDialog::Rgb,
     .cliName = "couleurs",
     .valueNames = "R V B",
     .valueKind = ValueKind::Byte,
     .help = "gains de rouge, vert et bleu (« Couleurs RVB »)",
     .run = adjustColor},
    {.id = Contraste,
     .button = "btn_contraste",
     .hint = "Contraste",
     .dialog = ValueDialog::Contrast,
     .cliName = "contraste",
     .valueNames = "C L",
     .valueKind = ValueKind::Byte,
     .help = "contraste puis luminosité (« Contraste »)",
     .run = adjustContrast},
    {.id = Flou,
     .menuItem = "Flou1",
     .menuCaption = "&Flou",
     .button = "btn_soften",
     .hint = "Effet de flou en vision doublée",
     .filtresCaption = "Soften",
     .filtresHint = "Flou",
     .repaintBeforeArrow = true,
     .cliName = "flou",
     .help = "flou en vision doublée",
     .selection = ThroughMask,
     .run = filter<TFlou>},
    {.id = Blur,
     .menuItem = "Blur1",
     .menuCaption = "&Blur",
     .button = "btn_blur",
     .hint = "Effet de flou",
     .filtresCaption = "Blur",
     .filtresHint = "Vent",
     .repaintBeforeArrow = true,
     .cliName = "blur",
     .help = "effet de flou",
     .selection = ThroughMask,
     .run = filter<TBlur>},
    {.id = Nettete,
     .menuItem = "Nettet1",
     .menuCaption = "&Netteté",
     .button = "btn_sharpen",
     .hint = "Accentuation des détails",
     .filtresCaption = "Sharpen",
     .filtresHint = "Accentuation des détails",
     .repaintBeforeArrow = true,
     .cliName = "nettete",
     .help = "accentuation des détails",
     .selection = ThroughMask,
     .run = filter<TSharpen>},
    {.id = Estampage,
     .menuItem = "Estompage1",
     .menuCaption = "&Estampage",
     .button = "btn_emboss",
     .hint = "Relief monochromatique",
     .filtresCaption = "Emboss",
     .filtresHint = "Relief monochromatique",
     .repaintBeforeArrow = true,
     .cliName = "estampage",
     .help = "relief monochromatique",
     .selection = ThroughMask,
     .run = filter<TEmboss>},
    {.id = Aquarelle,
     .menuItem = "Aquarelle1",
     .menuCaption = "&Aquarelle",
     .button = "btn_bump",
     .hint = "Effet de peinture à la main",
     .filtresCaption = "Bump",
     .filtresHint = "Relief",
     .repaintBeforeArrow = true,
     .cliName = "aquarelle",
     .help = "effet de peinture à la main",
     .selection = ThroughMask,
     .run = filter<TAquarelle>},
    // In the editor the selection tool does this with the mouse.
    {.id = Selection,
     .cliName = "selection",
     .valueNames = "X0 Y0 X1 Y1",
     .valueKind = ValueKind::Coordinate,
     .help = "l'outil de sélection tiré de (X0, Y0) à (X1, Y1)",
     .selection = SetsMask,
     .run = selectRectangle},
    {.id = Tout,
     .cliName = "tout",
     .help = "toute l'image redevient modifiable",
     .selection = SetsMask,
     .run = selectAll},
};

// Find reads a row by its place.
constexpr bool rowsFollowTheIds()
{
    for (std::size_t i = 0; i < std::size(kCommands); ++i)
        if (std::size_t(kCommands[i].id) != i)
            return false;
    return true;
}
static_assert(rowsFollowTheIds(), "the rows are in the order of CommandId");

} // namespace

int Command::ValueCount() const
{
    const std::string_view names(valueNames);
    if (names.empty())
        return 0;
    int count = 1;
    for (const char c : names)
        count += c == ' ';
    return count;
}

std::span<const Command> AllCommands() { return kCommands; }

const Command& Find(CommandId id) { return kCommands[std::size_t(id)]; }

const Command* FindBy(const char* Command::*field, std::string_view name)
{
    for (const Command& command : kCommands)
        if (command.*field && name == command.*field)
            return &command;
    return nullptr;
}

} // namespace commands
