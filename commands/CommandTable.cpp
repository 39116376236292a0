#include "commands/CommandTable.h"

#include "commands/Reshapes.h"

#include "effects/Circles.h"
#include "effects/Geometry.h"
#include "effects/Mirror.h"
#include "effects/Resample.h"
#include "effects/Tone.h"
#include "effects/Waves.h"
#include "filters/Tfiltre.h"
#include "kernels/Tselection.h"
#include "raster/TBitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

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

// `count` pixels from `to` take `pixel`: the first written, then copied in
// doubling blocks.
void fillPixels(std::uint8_t* to, std::size_t count, const std::uint8_t (&pixel)[3])
{
    if (count == 0)
        return;
    std::memcpy(to, pixel, 3);
    std::size_t done = 1;
    while (done < count) {
        const std::size_t now = std::min(done, count - done);
        std::memcpy(to + 3 * done, to, 3 * now);
        done += now;
    }
}

// The pixels the mask leaves editable take the colour RRGGBB, within the
// mask's bounds only, one run of editable pixels at a time.
Made fill(TBitmap& image, TSelection* mask, const Values& v)
{
    const QRect bounds = mask->Bounds();
    const std::uint8_t pixel[3] = {std::uint8_t(v[0]), std::uint8_t(v[0] >> 8), std::uint8_t(v[0] >> 16)};
    std::uint8_t* const* allowed = mask->ReadRows();
    const std::size_t width = std::size_t(bounds.width());
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        std::uint8_t* row = image.ScanLine(y) + 3 * qsizetype(bounds.left());
        const std::uint8_t* editable = allowed[y] + bounds.left();
        ForEachEditableRun(editable, width, [&](std::size_t first, std::size_t past) {
            fillPixels(row + 3 * first, past - first, pixel);
        });
    }
    return nullptr;
}

using namespace reshapes;
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
     .valueKinds = {ValueKind::Byte, ValueKind::Byte, ValueKind::Byte},
     .help = "gains de rouge, vert et bleu (« Couleurs RVB »)",
     .run = adjustColor},
    {.id = Contraste,
     .button = "btn_contraste",
     .hint = "Contraste",
     .dialog = ValueDialog::Contrast,
     .cliName = "contraste",
     .valueNames = "C L",
     .valueKinds = {ValueKind::Byte, ValueKind::Byte},
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
     .valueKinds = {ValueKind::Coordinate, ValueKind::Coordinate, ValueKind::Coordinate, ValueKind::Coordinate},
     .help = "l'outil de sélection tiré de (X0, Y0) à (X1, Y1)",
     .selection = SetsMask,
     .run = selectRectangle},
    {.id = Tout,
     .cliName = "tout",
     .help = "toute l'image redevient modifiable",
     .selection = SetsMask,
     .run = selectAll},
    // In the editor, Ctrl+Shift+X crops to the selection.
    {.id = Rogner,
     .cliName = "rogner",
     .valueNames = "X0 Y0 X1 Y1",
     .valueKinds = {ValueKind::Coordinate, ValueKind::Coordinate, ValueKind::Coordinate, ValueKind::Coordinate},
     .help = "garde le rectangle de (X0, Y0) à (X1, Y1)",
     .selection = Reshapes,
     .reshape = crop},
    {.id = Autorogner,
     .cliName = "autorogner",
     .help = "retire les bords de la couleur du coin haut gauche",
     .selection = Reshapes,
     .reshape = autocrop},
    {.id = Redimensionner,
     .dialog = ValueDialog::Resize,
     .cliName = "redimensionner",
     .valueNames = "L H FILTRE",
     .valueKinds = {ValueKind::Size, ValueKind::Size, ValueKind::Filter},
     .help = "nouvelle largeur et hauteur, calculées par FILTRE",
     .selection = Reshapes,
     .reshape = resize},
    {.id = Toile,
     .dialog = ValueDialog::Canvas,
     .cliName = "toile",
     .valueNames = "L H ANCRE COULEUR",
     .valueKinds = {ValueKind::Pixels, ValueKind::Pixels, ValueKind::Anchor, ValueKind::Colour},
     .help = "zone de dessin L x H, l'image placée à ANCRE",
     .selection = Reshapes,
     .reshape = canvasSize},
    {.id = Rotation,
     .dialog = ValueDialog::Angle,
     .cliName = "rotation",
     .valueNames = "DEGRÉS",
     .valueKinds = {ValueKind::Angle},
     .help = "tourne l'image dans le sens horaire",
     .selection = Reshapes,
     .reshape = rotate},
    // In the editor, Suppr and Backspace fill with the right-button colour.
    {.id = Remplir,
     .cliName = "remplir",
     .valueNames = "COULEUR",
     .valueKinds = {ValueKind::Colour},
     .help = "les pixels sélectionnés prennent la COULEUR",
     .selection = Fills,
     .run = fill},
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

QSize SizeFromValues(QSize from, int width, int height)
{
    // Exact in 64 bits: a side of at most 32767 pixels times at most 100000
    // hundredths of a percent.
    const auto ofSide = [](qint64 side, int value) -> qint64 {
        if (!(value & kPercent))
            return value;
        return std::max<qint64>(1, (side * (value & ~kPercent) + 5000) / 10000);
    };
    qint64 w = ofSide(from.width(), width);
    qint64 h = ofSide(from.height(), height);
    if (w == 0 && h == 0)
        return from;
    // The other side in proportion, rounded to nearest.
    if (w == 0)
        w = std::max<qint64>(1, (qint64(from.width()) * h * 2 + from.height()) / (2 * qint64(from.height())));
    else if (h == 0)
        h = std::max<qint64>(1, (qint64(from.height()) * w * 2 + from.width()) / (2 * qint64(from.width())));
    // Sizes past int are clamped: over the limits all the same.
    return QSize(int(std::min<qint64>(w, kPercent - 1)), int(std::min<qint64>(h, kPercent - 1)));
}

bool ResultAllowed(QSize size) { return effects::ResultSizeAllowed(size.width(), size.height()); }

QSize ReshapedSize(CommandId id, QSize from, const Values& v)
{
    switch (id) {
    case Rogner: return QSize(std::abs(v[2] - v[0]), std::abs(v[3] - v[1]));
    case Redimensionner: return SizeFromValues(from, v[0], v[1]);
    case Toile: return QSize(v[0], v[1]);
    case Rotation: return effects::RotatedSize(from.width(), from.height(), v[0] / 100.0);
    default: return from;
    }
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
