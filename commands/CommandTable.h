#pragma once

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
};

// What the selection mask means to a command.
enum class SelectionRule {
    WholeImage, // an effect: the whole image changes, whatever the mask
    ThroughMask, // a filter: only the pixels the mask leaves editable change
    SetsMask, // the selection tool: the mask changes, never a pixel
};

// Where the editor takes a command's values from.
enum class ValueDialog {
    None,
    Rgb, // the "RVB" dialog: red, green, blue, 0 to 255
    Contrast, // the contrast dialog: contrast, luminosity, 0 to 255
};

// What velmora-cli accepts for each value.
enum class ValueKind {
    None,
    Byte, // a dialog's track bar: digits only, 0 to 255
    Coordinate, // a pixel position: an optional minus sign, then digits
};

constexpr int kMaxValues = 4;
using Values = std::array<int, kMaxValues>;

// Does the work of a command on an image. `mask` may be null for a command
// that works on the whole image. A filter returns the filter object it made:
// it refers to the run's copy of the image, which is gone by then, so it may
// only be destroyed. Every other command returns null.
using Run = std::unique_ptr<TFiltre> (*)(TBitmap& image, TSelection* mask, const Values& values);

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
    ValueKind valueKind = ValueKind::None;
    const char* help = nullptr; // one line, in French

    SelectionRule selection = SelectionRule::WholeImage;
    Run run = nullptr;

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
