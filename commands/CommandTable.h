#pragma once

#include "raster/Exception.h"
#include "raster/TColor.h"

#include <QImage>
#include <QSize>
#include <array>
#include <memory>
#include <span>
#include <string_view>

class TBitmap;
class TFiltre;
class TSelection;

// The one table of the image commands. Each row says once what a command is
// called in the editor's effects menu and palettes and on velmora-cli's
// command line, which values it takes and from where, what the selection
// means to it, and the function that does the work. The editor's menu,
// palettes and document window, and velmora-cli's parser and help, all read
// it: a new command is a row here plus its kernel.
namespace commands {

enum class CommandId {
    Mirroir,
    Flip,
    VagueX,
    VagueY,
    Tunnel,
    PouetPouet,
    Negatif,
    NoirBlanc,
    Couleurs,
    Contraste,
    Flou,
    Blur,
    Nettete,
    Estampage,
    Aquarelle,
    Selection,
    Tout,
    Rogner,
    Autorogner,
    Redimensionner,
    Toile,
    Rotation,
    Remplir,
};

// What the selection mask means to a command.
enum class SelectionRule {
    WholeImage, // an effect: the whole image changes, whatever the mask
    ThroughMask, // a filter: only the pixels the mask leaves editable change
    SetsMask, // the selection tool: the mask changes, never a pixel
    Reshapes, // a new size or orientation: afterwards every pixel is editable
    Fills, // the pixels the mask leaves editable take one colour; only their rows are kept for undo
};

// Where the editor takes a command's values from.
enum class ValueDialog {
    None,
    Rgb, // the "RVB" dialog: red, green, blue, 0 to 255
    Contrast, // the contrast dialog: contrast, luminosity, 0 to 255
    Resize, // "Redimensionner l'image": width, height, filter
    Canvas, // "Taille de la zone de dessin": width, height, anchor, colour
    Angle, // "Rotation...": the angle
};

// What velmora-cli accepts for each value, and how the value is held.
enum class ValueKind {
    None,
    Byte, // a dialog's track bar: digits only, 0 to 255
    Coordinate, // a pixel position: an optional minus sign, then digits
    Size, // pixels, or a percentage ("50%", "12.5%"): see kPercent; 0 keeps the proportions
    Pixels, // a number of pixels, 1 to kMaxBitmapSide
    Filter, // lanczos, bicubique, bilineaire or proche: an effects::ResampleFilter
    Anchor, // haut-gauche ... bas-droite: an effects::CanvasAnchor
    Colour, // RRGGBB in hexadecimal: 0xRRGGBB
    Angle, // degrees from -360 to 360, at most two decimals: in hundredths
};

constexpr int kMaxValues = 4;
using Values = std::array<int, kMaxValues>;
using ValueKinds = std::array<ValueKind, kMaxValues>;

// A Colour value, 0xRRGGBB, and the raster layer's colour.
constexpr int ToRrggbb(TColor c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }
constexpr TColor FromRrggbb(int v) { return RGBColor(std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)); }

// A Size value with this bit set is a percentage of the image's side, in
// hundredths of a percent; without it, a number of pixels.
constexpr int kPercent = 1 << 30;
// The largest percentage a Size value may give, in hundredths (1000 %).
constexpr int kMaxPercent = 100000;

// The width and height that the Size values `width` and `height` give an
// image of `from` pixels: a percentage of the side rounded to nearest (at
// least 1), 0 for one of them keeping the other's proportion (rounded to
// nearest, at least 1). Either may come out over the bitmaps' limits; both 0
// gives the image's own size.
QSize SizeFromValues(QSize from, int width, int height);

// True when an image of `size` may be made: each side from 1 to
// kMaxBitmapSide and at most kMaxBitmapBytes of rows.
bool ResultAllowed(QSize size);

// The size that the change of size or orientation `id` gives an image of
// `from` pixels with `values` (an autocrop: `from`, not knowing the pixels).
// It may be over the limits; ResultAllowed tells.
QSize ReshapedSize(CommandId id, QSize from, const Values& values);

// A size change that the values do not allow on this image: a result over the
// bitmaps' limits, a rectangle outside the image. The message is French.
class ValueError : public ERasterError {
public:
    using ERasterError::ERasterError;
};

// Does the work of a command on an image. `mask` may be null for a command
// that works on the whole image. A filter returns the filter object it made:
// it refers to the run's copy of the image, which is gone by then, so it may
// only be destroyed. Every other command returns null.
using Run = std::unique_ptr<TFiltre> (*)(TBitmap& image, TSelection* mask, const Values& values);

// Makes the image of a new size or orientation from the image, leaving it as
// it is; `background` fills what the old image does not cover where the
// values name no colour (the editor's right-button colour, velmora-cli's
// white). A null image means there is nothing to change (a crop of the whole
// image, an autocrop that would take nothing away). Throws ValueError for a
// result over the bitmaps' limits or a rectangle outside the image, and
// std::bad_alloc when the memory cannot be had; nothing is allocated for a
// refused size.
using Reshape = QImage (*)(const TBitmap& image, const TSelection& mask, const Values& values, TColor background);

struct Command {
    CommandId id;

    // In the editor; null where the command has no such place.
    const char* menuItem = nullptr; // the effects menu's item that runs it
    const char* menuCaption = nullptr; // that item's caption, mnemonic included
    const char* button = nullptr; // the effects palette's button that runs it
    const char* hint = nullptr; // that button's hint
    // The never-shown filters palette has a button of the same name, with a
    // caption and a hint of its own.
    const char* filtresCaption = nullptr;
    const char* filtresHint = nullptr;
    ValueDialog dialog = ValueDialog::None;
    // The window shows the result before the arrow comes back (the negative
    // and the filters); the other commands give the arrow back first.
    bool repaintBeforeArrow = false;

    // On velmora-cli's command line.
    const char* cliName = nullptr;
    const char* valueNames = ""; // as the help names them: "R V B"
    ValueKinds valueKinds{}; // one per name in valueNames
    const char* help = nullptr; // one line, in French

    SelectionRule selection = SelectionRule::WholeImage;
    Run run = nullptr; // every rule but Reshapes
    Reshape reshape = nullptr; // Reshapes

    // How many values the command takes: one per name in valueNames.
    int ValueCount() const;
};

// Every command, in the order of velmora-cli's help.
std::span<const Command> AllCommands();

const Command& Find(CommandId id);

// The command whose `field` is `name` (FindBy(&Command::button, "btn_rot")), or
// null.
const Command* FindBy(const char* Command::*field, std::string_view name);

} // namespace commands
